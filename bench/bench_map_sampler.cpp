// The map sampler alone: MAPVAL at every point of the cell, in the grid file's order, and whole
// rows of z as the grid writer samples them, for cubic grids in P 21/c (a quarter of the cell
// stored) and F d -3 m (an eighth).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_maps.hpp"

namespace {

void BM_MapSampler(benchmark::State& state, bench::MapCase c) {
  const conversion::MapBlock block = bench::smooth_block(c);
  const symmetry::OperatorSet operators = bench::operators_of(c.symbol);
  for (auto _ : state) {
    conversion::MapSampler sampler(block, operators);
    float sum = 0.0f;
    bench::walk_cell(c.grid, [&](const conversion::Point& p) { sum += sampler.MAPVAL(p); });
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * c.grid * c.grid * c.grid);
}

void BM_MapSamplerRows(benchmark::State& state, bench::MapCase c) {
  const conversion::MapBlock block = bench::smooth_block(c);
  const symmetry::OperatorSet operators = bench::operators_of(c.symbol);
  const float n = static_cast<float>(c.grid);
  std::vector<float> z;
  for (int k = 0; k < c.grid; ++k) z.push_back(static_cast<float>(k) / n);
  std::vector<conversion::Sample> row(z.size());
  for (auto _ : state) {
    conversion::MapSampler sampler(block, operators);
    float sum = 0.0f;
    for (int i = 0; i < c.grid; ++i) {
      for (int j = 0; j < c.grid; ++j) {
        sampler.sample_row(static_cast<float>(i) / n, static_cast<float>(j) / n, z.data(), z.size(),
                           row.data());
        for (const conversion::Sample& s : row) sum += s.value;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * c.grid * c.grid * c.grid);
}

BENCHMARK_CAPTURE(BM_MapSampler, P21c_64, bench::p21c(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, P21c_128, bench::p21c(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, Fd3m_64, bench::fd3m(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, Fd3m_128, bench::fd3m(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSamplerRows, P21c_127, bench::p21c(127))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSamplerRows, P21c_128, bench::p21c(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSamplerRows, Fd3m_128, bench::fd3m(128))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
