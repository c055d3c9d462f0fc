// The map sampler alone: MAPVAL at every point of the cell, in the grid file's order, for cubic
// grids in P 21/c (a quarter of the cell stored) and F d -3 m (an eighth).
#include <benchmark/benchmark.h>

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

BENCHMARK_CAPTURE(BM_MapSampler, P21c_64, bench::p21c(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, P21c_128, bench::p21c(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, Fd3m_64, bench::fd3m(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, Fd3m_128, bench::fd3m(128))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
