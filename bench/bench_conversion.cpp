// Whole conversions, from opening the map file to closing the grid file, for cubic grids of
// 64, 128 and 256 steps in P 21/c (a quarter of the cell stored) and F d -3 m (an eighth).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion/convert_map.hpp"
#include "conversion/driver.hpp"
#include "expfile/store.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"
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
void convert(const fs::path& directory) {
  int experiment_unit = 0;
  textio::NEWUNT(experiment_unit);
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = expfile::kRecordLength;
  textio::open_unit(experiment_unit, (directory / "BENCH.EXP").string(), options);
  conversion::convert_map(experiment_unit, textio::kConsoleOutput,
                          conversion::conversion_request(experiment_unit, textio::kConsoleOutput));
  expfile::ISAMCLOSE(experiment_unit, "KEEP");
}

void BM_Conversion(benchmark::State& state, Experiment experiment) {
  const fs::path directory = write_experiment(experiment);
  std::FILE* quiet = std::fopen("/dev/null", "w");
  textio::set_console_streams(nullptr, quiet, nullptr);
  for (auto _ : state) convert(directory);
  textio::reset_units();
  std::fclose(quiet);
  fs::remove_all(directory);
  const long points = static_cast<long>(experiment.grid) * experiment.grid * experiment.grid;
  state.SetItemsProcessed(state.iterations() * points);
}

Experiment p21c(int n) {
  return {"P 21/c", n, {n, n / 4 + 1, n}};
}
Experiment fd3m(int n) {
  return {"F d -3 m", n, {n / 2 + 1, n / 2 + 1, n / 2 + 1}};
}

BENCHMARK_CAPTURE(BM_Conversion, P21c_64, p21c(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Conversion, P21c_128, p21c(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Conversion, P21c_256, p21c(256))->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Conversion, Fd3m_64, fd3m(64))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Conversion, Fd3m_128, fd3m(128))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Conversion, Fd3m_256, fd3m(256))->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
