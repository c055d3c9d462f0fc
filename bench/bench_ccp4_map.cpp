// What mapconv --ccp4 adds to a conversion of 256^3 points: the values of the grid file's order
// taken to the map's order and summed for the header's figures on the way.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "ccp4/map_values.hpp"
#include "gridfile/large_buffer.hpp"
#include "gridfile/plane_gatherer.hpp"

namespace {

constexpr int kGrid = 256;
constexpr ccp4::Divisions kDivisions = {kGrid, kGrid, kGrid};

std::vector<float> smooth_values() {
  std::vector<float> values;
  values.reserve(std::size_t(kGrid) * kGrid * kGrid);
  const double k = 2.0 * std::numbers::pi / kGrid;
  for (int i = 0; i < kGrid; ++i) {
    for (int j = 0; j < kGrid; ++j) {
      for (int z = 0; z < kGrid; ++z) {
        values.push_back(
            static_cast<float>(std::cos(k * i) * std::cos(2 * k * j) + std::sin(3 * k * z)));
      }
    }
  }
  return values;
}

const std::vector<float>& values() {
  static const std::vector<float> made = smooth_values();
  return made;
}

// The grid's values handed over as the conversion's chunks come, 32,768 at a time, into a map
// made anew each time, as a run makes it.
void BM_GatherIntoMapOrder(benchmark::State& state) {
  constexpr std::size_t kChunk = 32768;
  for (auto _ : state) {
    gridfile::MapValues map;
    gridfile::PlaneGatherer gatherer(kDivisions, map);
    for (std::size_t at = 0; at < values().size(); at += kChunk) {
      gatherer.append(values().data() + at, std::min(kChunk, values().size() - at));
    }
    gatherer.place_gathered();
    benchmark::DoNotOptimize(gatherer.statistics());
    benchmark::DoNotOptimize(map.data());
  }
}
BENCHMARK(BM_GatherIntoMapOrder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
