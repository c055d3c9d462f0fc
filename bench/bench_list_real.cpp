// The list-directed text of reals alone, without any file: values as a map walk produces them
// (decoded 16-bit codes, each seen many times) and values that are all different.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "textio/records.hpp"

namespace {

// Every value of the 16-bit codes of a map with densities from -2 to 2, decoded as the map
// sampler decodes a code at a stored grid point, in random order.
std::vector<float> decoded_codes() {
  std::vector<float> values;
  for (int code = -32767; code <= 32767; ++code) {
    values.push_back((static_cast<float>(code) / 32767.0f + 1.0f) * 4.0f * 0.5f + -2.0f);
  }
  std::shuffle(values.begin(), values.end(), std::mt19937(7));
  return values;
}

// Values of all magnitudes, no two alike.
std::vector<float> distinct_values(std::size_t count) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<std::uint32_t> bits(0x00000001, 0x7F7FFFFF);
  std::vector<float> values(count);
  for (float& v : values) {
    std::uint32_t b = bits(random);
    std::memcpy(&v, &b, sizeof v);
  }
  return values;
}

void format_all(benchmark::State& state, const std::vector<float>& values) {
  char buffer[textio::kListRealMaxLength];
  for (auto _ : state) {
    for (float v : values) {
      benchmark::DoNotOptimize(textio::format_list_real(v, buffer));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}

void BM_FormatDecodedCodes(benchmark::State& state) {
  format_all(state, decoded_codes());
}
BENCHMARK(BM_FormatDecodedCodes);

void BM_FormatDistinctValues(benchmark::State& state) {
  format_all(state, distinct_values(1 << 16));
}
BENCHMARK(BM_FormatDistinctValues);

}  // namespace

BENCHMARK_MAIN();
