// Reading a grid file's value lines: the loop over the lines in mapconv's form on one thread, and
// a whole grid file of 128^3 values as grd2ccp4 reads it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gridfile/grid_reader.hpp"
#include "gridfile/value_text.hpp"

namespace {

constexpr int kGrid = 128;

// Value lines as mapconv writes them, for a smooth map of densities between -2 and 2.
std::string value_lines(int count) {
  std::string text;
  char line[40];
  for (int v = 0; v < count; ++v) {
    std::snprintf(line, sizeof line, "  %.9G\r\n", 2.0 * std::sin(v * 0.001) * std::cos(v * 0.37));
    text += line;
  }
  return text;
}

void BM_PlainValueLines(benchmark::State& state) {
  const std::string text = value_lines(kGrid * kGrid * kGrid);
  gridfile::LargeBuffer<float> values;
  values.reserve(kGrid * kGrid * kGrid);
  for (auto _ : state) {
    values.clear();
    benchmark::DoNotOptimize(gridfile::read_plain_value_lines(
        text.data(), text.data() + text.size(), 1024, values.capacity(), values));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PlainValueLines)->Unit(benchmark::kMillisecond);

void BM_ReadGridFile(benchmark::State& state) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "bench_grid.grd";
  {
    std::ofstream file(path, std::ios::binary);
    file << "Benchmark map\r\n  10.00000  11.00000  12.00000   90.0000   90.0000   90.0000\r\n"
         << " 128 128 128\r\n"
         << value_lines(kGrid * kGrid * kGrid);
  }
  for (auto _ : state) benchmark::DoNotOptimize(gridfile::read_grid_file(path));
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadGridFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
