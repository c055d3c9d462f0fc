// Whole conversions, from opening the map file to closing the grid file, for cubic grids of
// 64, 128 and 256 steps in P 21/c (a quarter of the cell stored) and F d -3 m (an eighth), on one
// thread and on two. Beside them, the yardstick: a plain writer that prints the same number of
// values with one fprintf("  %.9G\r\n") each. A 127-step grid puts the screw axis's images
// between grid points, so that every value there is interpolated. The conversions' CPU column is
// the whole process's, all threads together: divided by the grid points it gives the CPU per
// point.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_maps.hpp"
#include "conversion/convert_map.hpp"
#include "conversion/driver.hpp"
#include "expfile/store.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace {

namespace fs = std::filesystem;

struct Experiment {
  const char* symbol;
  int grid;
  std::array<int, 3> block_steps;
};

fs::path write_experiment(const Experiment& e) {
  fs::path directory = fs::temp_directory_path() / ("mapconv_bench_" + std::to_string(e.grid) +
                                                    "_" + std::to_string(e.block_steps[1]));
  fs::create_directories(directory);
  support::MapFile map;
  map.phase_name = "Benchmark phase";
  map.grid_divisions = {e.grid, e.grid, e.grid};
  map.block_steps = e.block_steps;
  const double k = 2.0 * M_PI / e.grid;
  for (int z = 0; z < e.block_steps[2]; ++z) {
    for (int y = 0; y < e.block_steps[1]; ++y) {
      for (int x = 0; x < e.block_steps[0]; ++x) {
        map.values.push_back(
            static_cast<float>(std::cos(k * x) * std::cos(2 * k * y) + std::sin(3 * k * z)));
      }
    }
  }
  map.density_minimum = -2.0f;
  map.density_maximum = 2.0f;
  support::write_map_file(directory / "BENCH.FOB", map);
  support::write_experiment_file(directory / "BENCH.EXP",
                                 {{"     VERSION", "    6"},
                                  {"      DESCR ", "  Benchmark"},
                                  {"  FOUR CDAT1", "           1"},
                                  {"CRS1  ABC   ", "  10.00000  10.00000  10.00000"},
                                  {"CRS1  ANGLES", "  90.00000  90.00000  90.00000"},
                                  {"CRS1  SG SYM", e.symbol},
                                  {" EXPR FOBSRL", "      8193"},
                                  {"ZZZZZZZZZZZZ", ""}});
  return directory;
}

// One conversion as the driver runs it, from the opened experiment to the closed grid file.
void convert(const fs::path& directory, int threads) {
  int experiment_unit = 0;
  textio::NEWUNT(experiment_unit);
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = expfile::kRecordLength;
  textio::open_unit(experiment_unit, (directory / "BENCH.EXP").string(), options);
  const conversion::ConversionRun run{
      expfile::ExperimentPath::of_name((directory / "BENCH").string()), experiment_unit,
      textio::kConsoleOutput};
  conversion::convert_map(run, conversion::conversion_request(run),
                          conversion::ThreadCount{threads});
  expfile::ISAMCLOSE(experiment_unit, "KEEP");
}

long points_of(const Experiment& experiment) {
  return static_cast<long>(experiment.grid) * experiment.grid * experiment.grid;
}

void BM_Conversion(benchmark::State& state, Experiment experiment, int threads) {
  const fs::path directory = write_experiment(experiment);
  std::FILE* quiet = std::fopen("/dev/null", "w");
  textio::set_console_streams(nullptr, quiet, nullptr);
  for (auto _ : state) convert(directory, threads);
  textio::reset_program_state();
  std::fclose(quiet);
  fs::remove_all(directory);
  state.SetItemsProcessed(state.iterations() * points_of(experiment));
}

void BM_PrintfWriter(benchmark::State& state, Experiment experiment) {
  const bench::MapCase map_case{experiment.symbol, experiment.grid, experiment.block_steps};
  const conversion::MapBlock block = bench::smooth_block(map_case);
  conversion::MapSampler sampler(block, bench::operators_of(experiment.symbol));
  std::vector<float> values;
  bench::walk_cell(experiment.grid,
                   [&](const conversion::Point& p) { values.push_back(sampler.MAPVAL(p)); });
  const fs::path file = fs::temp_directory_path() / "mapconv_bench_printf.grd";
  for (auto _ : state) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    for (float value : values) std::fprintf(out, "  %.9G\r\n", static_cast<double>(value));
    std::fclose(out);
  }
  fs::remove(file);
  state.SetItemsProcessed(state.iterations() * points_of(experiment));
}

Experiment p21c(int n) {
  return {"P 21/c", n, {n, n / 4 + 1, n}};
}
Experiment fd3m(int n) {
  return {"F d -3 m", n, {n / 2 + 1, n / 2 + 1, n / 2 + 1}};
}

#define CONVERSION_BENCHMARKS(name, experiment, iterations)         \
  BENCHMARK_CAPTURE(BM_PrintfWriter, name, experiment)              \
      ->Unit(benchmark::kMillisecond)                               \
      ->Iterations(iterations);                                     \
  BENCHMARK_CAPTURE(BM_Conversion, name##_1_thread, experiment, 1)  \
      ->Unit(benchmark::kMillisecond)                               \
      ->MeasureProcessCPUTime()                                     \
      ->UseRealTime()                                               \
      ->Iterations(iterations);                                     \
  BENCHMARK_CAPTURE(BM_Conversion, name##_2_threads, experiment, 2) \
      ->Unit(benchmark::kMillisecond)                               \
      ->MeasureProcessCPUTime()                                     \
      ->UseRealTime()                                               \
      ->Iterations(iterations)

CONVERSION_BENCHMARKS(P21c_64, p21c(64), 40);
CONVERSION_BENCHMARKS(P21c_127, p21c(127), 10);
CONVERSION_BENCHMARKS(P21c_128, p21c(128), 10);
CONVERSION_BENCHMARKS(P21c_256, p21c(256), 3);
CONVERSION_BENCHMARKS(Fd3m_64, fd3m(64), 40);
CONVERSION_BENCHMARKS(Fd3m_128, fd3m(128), 10);
CONVERSION_BENCHMARKS(Fd3m_256, fd3m(256), 3);

}  // namespace

BENCHMARK_MAIN();
