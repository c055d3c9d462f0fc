// List-directed real output into a file: one value per record, as the grid file is written.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/unit_output.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace {

std::vector<float> sample_values(std::size_t count) {
  std::mt19937 random(12345);
  std::normal_distribution<float> density(0.0f, 3.0f);
  std::vector<float> values(count);
  for (float& v : values) v = density(random);
  return values;
}

void BM_ListRealToFile(benchmark::State& state) {
  const std::vector<float> values = sample_values(1 << 20);
  const std::string name = "bench_list_output.tmp";
  constexpr int kUnit = 11;
  for (auto _ : state) {
    textio::open_unit(kUnit, name);
    for (float v : values) support::write_list_real(kUnit, v);
    textio::close_unit(kUnit);
  }
  std::remove(name.c_str());
  state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(BM_ListRealToFile)->Unit(benchmark::kMillisecond);

void BM_GenericListRecordToFile(benchmark::State& state) {
  const std::vector<float> values = sample_values(1 << 18);
  const std::string name = "bench_list_generic.tmp";
  constexpr int kUnit = 12;
  for (auto _ : state) {
    textio::open_unit(kUnit, name);
    for (float v : values) textio::write_list(kUnit, v);
    textio::close_unit(kUnit);
  }
  std::remove(name.c_str());
  state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(BM_GenericListRecordToFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
