// The experiment file's index: building it from a file of 1,000, 10,000 and 30,000 records (the
// slot's capacity), and 1,000 exact and prefix reads against it. The records stand in no order,
// as in a file that has grown by appends, with one in fifty deleted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "expfile/store.hpp"
#include "support/experiment_file.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace {

namespace fs = std::filesystem;
constexpr int kUnit = 11;

std::string key_of(int n) {
  std::string digits = std::to_string(n);
  return "HST" + std::string(5 - digits.size(), '0') + digits + " BAK";
}

// Record n gets a key that scatters the key order over the file.
fs::path write_file(int records) {
  const fs::path file =
      fs::temp_directory_path() / ("mapconv_bench_" + std::to_string(records) + ".EXP");
  std::vector<support::ExperimentRecord> contents;
  for (int n = 0; n < records; ++n) {
    const int scattered = static_cast<int>((static_cast<long>(n) * 7919) % records);
    contents.push_back(n % 50 == 49 ? support::deleted_record()
                                    : support::ExperimentRecord{key_of(scattered), "value"});
  }
  support::write_experiment_file(file, contents);
  return file;
}

void open_file(const fs::path& file) {
  textio::open_unit(kUnit, file.string(),
                    {.status = "OLD", .access = textio::Access::direct, .record_length = 82});
}

void BM_IndexBuild(benchmark::State& state) {
  const fs::path file = write_file(static_cast<int>(state.range(0)));
  std::string value(68, ' ');
  for (auto _ : state) {
    open_file(file);
    benchmark::DoNotOptimize(expfile::KEYREAD(kUnit, "ZZZZZZZZZZZZ", value));
    expfile::ISAMCLOSE(kUnit, "KEEP");
  }
  textio::reset_program_state();
  fs::remove(file);
}

void BM_Lookups(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const fs::path file = write_file(records);
  open_file(file);
  std::string value(68, ' ');
  expfile::KEYREAD(kUnit, "ZZZZZZZZZZZZ", value);
  std::vector<std::string> requests;
  for (int n = 0; n < 1000; ++n) {
    const std::string key = key_of((n * 613) % records);
    requests.push_back(n % 2 == 0 ? key : key.substr(0, 8));
  }
  for (auto _ : state) {
    for (const std::string& request : requests) {
      benchmark::DoNotOptimize(expfile::KEYREAD(kUnit, request, value));
    }
  }
  textio::reset_program_state();
  fs::remove(file);
  state.SetItemsProcessed(state.iterations() * 1000);
}

BENCHMARK(BM_IndexBuild)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lookups)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
