// The map sampler alone: MAPVAL at every point of the cell, in the grid file's order, for cubic
// grids in P 21/c (a quarter of the cell stored) and F d -3 m (an eighth).
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "conversion/map_block.hpp"
#include "conversion/map_sampler.hpp"
#include "symmetry/interpreter.hpp"
#include "symmetry/operator_set.hpp"

namespace {

struct Case {
  const char* symbol;
  int grid;
  conversion::Triple block_steps;
};

conversion::MapBlock smooth_block(const Case& c) {
  conversion::MapBlock block;
  block.density_minimum = -2.0f;
  block.density_maximum = 2.0f;
  block.density_range = 4.0f;
  block.grid_divisions = {c.grid, c.grid, c.grid};
  block.block_steps = c.block_steps;
  const double k = 2.0 * M_PI / c.grid;
  for (int z = 0; z < c.block_steps[2]; ++z) {
    for (int y = 0; y < c.block_steps[1]; ++y) {
      for (int x = 0; x < c.block_steps[0]; ++x) {
        double density = std::cos(k * x) * std::cos(2 * k * y) + std::sin(3 * k * z);
        block.values.push_back(static_cast<std::int16_t>(std::lround(density / 2.0 * 32767.0)));
      }
    }
  }
  return block;
}

symmetry::OperatorSet operators_of(const char* symbol) {
  symmetry::OperatorSet set;
  set.symbol = symbol;
  set.symbol.resize(symmetry::kSymbolWidth, ' ');
  symmetry::interpret_symbol(set, 0, 0);
  return set;
}

void BM_MapSampler(benchmark::State& state, Case c) {
  const conversion::MapBlock block = smooth_block(c);
  const symmetry::OperatorSet operators = operators_of(c.symbol);
  const float n = static_cast<float>(c.grid);
  for (auto _ : state) {
    conversion::MapSampler sampler(block, operators);
    float sum = 0.0f;
    for (int i = 0; i < c.grid; ++i) {
      for (int j = 0; j < c.grid; ++j) {
        for (int k = 0; k < c.grid; ++k) {
          sum += sampler.MAPVAL(
              {static_cast<float>(i) / n, static_cast<float>(j) / n, static_cast<float>(k) / n});
        }
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * c.grid * c.grid * c.grid);
}

Case p21c(int n) {
  return {"P 21/c", n, {n, n / 4 + 1, n}};
}
Case fd3m(int n) {
  return {"F d -3 m", n, {n / 2 + 1, n / 2 + 1, n / 2 + 1}};
}

BENCHMARK_CAPTURE(BM_MapSampler, P21c_64, p21c(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, P21c_128, p21c(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, Fd3m_64, fd3m(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MapSampler, Fd3m_128, fd3m(128))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
