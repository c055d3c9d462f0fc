// The analysis of a 256^3 map as grdpeaks does it: the statistics, and the peak search under
// P 21/c on a grid that carries the group; and grdsection's whole work after the grid is read
// (statistics, peaks, the section sampled and contoured, the SVG text). The map is a sum of a few
// waves of the cell, smooth like a Fourier map, with maxima all over it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/map_grid.hpp"
#include "analysis/peaks.hpp"
#include "analysis/space_group.hpp"
#include "analysis/statistics.hpp"
#include "grdsection/section_run.hpp"
#include "grdsection/svg_picture.hpp"

namespace {

constexpr int kGrid = 256;

// cos 2 pi (2x + 3y) cos 2 pi 5z + cos 2 pi (7x) cos 2 pi (4y + 2z): products of one-dimensional
// tables, so that making the map takes a moment.
std::vector<float> wave_map() {
  std::vector<float> values(std::size_t(kGrid) * kGrid * kGrid);
  const auto wave = [](int n, int i) { return std::cos(2.0 * std::numbers::pi * n * i / kGrid); };
  std::size_t index = 0;
  for (int k = 0; k < kGrid; ++k) {
    for (int j = 0; j < kGrid; ++j) {
      for (int i = 0; i < kGrid; ++i, ++index) {
        values[index] = static_cast<float>(
            std::cos(2.0 * std::numbers::pi * (2.0 * i + 3.0 * j) / kGrid) * wave(5, k) +
            wave(7, i) * std::cos(2.0 * std::numbers::pi * (4.0 * j + 2.0 * k) / kGrid));
      }
    }
  }
  return values;
}

const std::vector<float>& map_values() {
  static const std::vector<float> values = wave_map();
  return values;
}

void BM_MapStatistics(benchmark::State& state) {
  const std::vector<float>& values = map_values();
  for (auto _ : state) benchmark::DoNotOptimize(analysis::map_statistics(values));
}
BENCHMARK(BM_MapStatistics)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindPeaks(benchmark::State& state) {
  const std::vector<float>& values = map_values();
  const analysis::MapGrid map{{kGrid, kGrid, kGrid}, values};
  const analysis::UnitCell cell({10.0, 12.0, 14.0}, {90.0, 101.0, 90.0});
  const analysis::SpaceGroup group = *analysis::group_of_symbol("P 21/c");
  const analysis::MapStatistics statistics = analysis::map_statistics(values);
  for (auto _ : state) {
    benchmark::DoNotOptimize(analysis::find_peaks(map, cell, group, statistics, {false, 20, 1.0}));
  }
}
BENCHMARK(BM_FindPeaks)->Unit(benchmark::kMillisecond)->UseRealTime();

// Through the map's highest peak, z constant, one cell and the margin, levels every sigma.
void BM_Section(benchmark::State& state) {
  gridfile::GridFile grid;
  grid.title = "Waves";
  grid.lengths = {10.0f, 12.0f, 14.0f};
  grid.angles = {90.0f, 101.0f, 90.0f};
  grid.divisions = {kGrid, kGrid, kGrid};
  grid.values.assign(map_values().begin(), map_values().end());
  const analysis::SpaceGroup group = *analysis::group_of_symbol("P 21/c");
  grdsection::Options options;
  options.name = "WAVES";
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string svg = grdsection::svg_text(grdsection::section_picture(options, grid, group));
    bytes = svg.size();
    benchmark::DoNotOptimize(svg.data());
  }
  state.counters["svg_bytes"] = double(bytes);
}
BENCHMARK(BM_Section)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
