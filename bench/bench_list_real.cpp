// The list-directed text of reals alone, without any file: values as a map walk produces them
// (decoded 16-bit codes, each met many times) and values that are all different, formatted
// directly and through the cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "bench_maps.hpp"
#include "textio/list_real.hpp"

namespace {

// Every value of the 16-bit codes of a map with densities from -2 to 2, decoded as the map
// sampler decodes a code at a stored grid point, in random order.
std::vector<float> decoded_codes(int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) {
    int code = -32767 + static_cast<int>(65534LL * i / std::max(count - 1, 1));
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
  for (float& v : values) v = std::bit_cast<float>(bits(random));
  return values;
}

// The values of a whole cell of the benchmark map in P 21/c, in the grid file's order.
std::vector<float> map_walk(int grid) {
  const bench::MapCase c = bench::p21c(grid);
  const conversion::MapBlock block = bench::smooth_block(c);
  const symmetry::OperatorSet operators = bench::operators_of(c.symbol);
  conversion::MapSampler sampler(block, operators);
  std::vector<float> values;
  bench::walk_cell(grid, [&](const conversion::Point& p) { values.push_back(sampler.MAPVAL(p)); });
  return values;
}

template <typename Format>
void format_all(benchmark::State& state, const std::vector<float>& values, Format format) {
  char buffer[textio::kListRealMaxLength];
  for (auto _ : state) {
    for (float v : values) {
      benchmark::DoNotOptimize(format(v, buffer));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}

std::size_t direct(float value, char* out) {
  return textio::format_list_real(value, out);
}

void BM_FormatDecodedCodes(benchmark::State& state) {
  format_all(state, decoded_codes(65535), direct);
}
BENCHMARK(BM_FormatDecodedCodes);

void BM_FormatDistinctValues(benchmark::State& state) {
  format_all(state, distinct_values(1 << 16), direct);
}
BENCHMARK(BM_FormatDistinctValues);

// A few thousand values met again and again: every call after the first round is a hit.
void BM_CacheHits(benchmark::State& state) {
  textio::ListRealCache cache;
  format_all(state, decoded_codes(static_cast<int>(state.range(0))),
             [&](float v, char* out) { return cache.format(v, out); });
}
BENCHMARK(BM_CacheHits)->Arg(1024)->Arg(8192)->Arg(65535);

// Values never met before: every call converts and fills a slot.
// The same values eight at a time, in vector registers where the processor has them.
void BM_FormatDecodedCodesEightAtOnce(benchmark::State& state) {
  const std::vector<float> values = decoded_codes(65534);
  char buffer[textio::kListRealBatch * (textio::kListRealMaxLength + 2)];
  const textio::ShortLineEnd line_end("\r\n");
  for (auto _ : state) {
    for (std::size_t i = 0; i + textio::kListRealBatch <= values.size();
         i += textio::kListRealBatch) {
      benchmark::DoNotOptimize(textio::format_list_real_lines(&values[i], line_end, buffer));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(BM_FormatDecodedCodesEightAtOnce);

void BM_CacheMisses(benchmark::State& state) {
  const std::vector<float> values = distinct_values(1 << 22);
  std::size_t next = 0;
  textio::ListRealCache cache;
  char buffer[textio::kListRealMaxLength];
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.format(values[next], buffer));
    benchmark::ClobberMemory();
    if (++next == values.size()) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheMisses);

// A whole cell at 128 steps as the grid file meets it, through a fresh cache each time.
void BM_CacheMapWalk(benchmark::State& state) {
  const std::vector<float> values = map_walk(128);
  char buffer[textio::kListRealMaxLength];
  for (auto _ : state) {
    textio::ListRealCache cache;
    for (float v : values) {
      benchmark::DoNotOptimize(cache.format(v, buffer));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(BM_CacheMapWalk)->Unit(benchmark::kMillisecond);

void BM_FormatMapWalk(benchmark::State& state) {
  format_all(state, map_walk(128), direct);
}
BENCHMARK(BM_FormatMapWalk)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
