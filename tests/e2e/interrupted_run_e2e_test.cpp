// Runs of mapconv that end before their work is done (a file-size limit that makes a write fail
// or kills the program, a refused map): the files that were there before keep every byte, and a
// failure that the program reports leaves no temporary file behind.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace e2e {
namespace {

using Files = std::map<std::string, std::string>;

// How the file-size limit meets the run: none, or a limit with SIGXFSZ ignored or at its default
// (which would end the program at the write, but the program ignores it: the write fails with
// EFBIG either way).
enum class Limit { none, write_fails, signal_at_default };

// How the run ends: the signal that ended it, or else its exit status.
struct RunEnd {
  int signal = 0;
  int exit_status = 0;
};

constexpr RunEnd kExitsNormally{0, 0};
constexpr RunEnd kStops{0, 1};
constexpr RunEnd kAborts{SIGABRT};

const Triple kGrid = {32, 32, 32};

Crystal cubic_cell() {
  Crystal crystal;
  crystal.lengths = {5.4307, 5.4307, 5.4307};
  crystal.angles = {90, 90, 90};
  return crystal;
}

// Values 0, 1 and 2 over the whole cell in P 1, so that the grid file is known exactly.
int grid_value(int i, int j, int k) {
  return (i + 2 * j + k) % 3;
}

support::MapFile whole_cell_map() {
  support::MapFile map;
  map.phase_name = "Interrupted run";
  map.grid_divisions = kGrid;
  map.block_steps = kGrid;
  for (int k = 0; k < kGrid[2]; ++k) {
    for (int j = 0; j < kGrid[1]; ++j) {
      for (int i = 0; i < kGrid[0]; ++i) map.values.push_back(float(grid_value(i, j, k)));
    }
  }
  map.density_minimum = 0.0f;
  map.density_maximum = 2.0f;
  return map;
}

// A map whose limits are equal: refused by the map reader before any grid file is opened.
support::MapFile null_map() {
  support::MapFile map = whole_cell_map();
  map.density_minimum = map.density_maximum = 1.0f;
  return map;
}

// 32 x 32 x 32 value lines of 6 bytes: far beyond the limit of the runs that write the grid.
std::string expected_grid_file() {
  std::string grid = "Interrupted run" + std::string(35, ' ') + " FOBS" + std::string(11, ' ') +
                     "\r\n   5.43070   5.43070   5.43070   90.0000   90.0000   90.0000\r\n" +
                     "  32  32  32\r\n";
  for (int i = 0; i < kGrid[0]; ++i) {
    for (int j = 0; j < kGrid[1]; ++j) {
      for (int k = 0; k < kGrid[2]; ++k) {
        grid += "  " + std::to_string(grid_value(i, j, k)) + ".\r\n";
      }
    }
  }
  return grid;
}

const std::string kOlderGridFile = "An older grid file\r\n" + std::string(30000, '7') + "\r\n";

// Runs `program` with `arguments` in a directory holding `files`, under the limit.
support::RunResult run_limited(const char* program, std::vector<std::string> arguments,
                               const Files& files, Limit limit, std::uint64_t limit_bytes,
                               const Files& environment = {}, const std::string& input = "") {
  support::RunRequest request;
  request.arguments = std::move(arguments);
  request.files = files;
  request.standard_input = input;
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.environment.insert(environment.begin(), environment.end());
  if (limit != Limit::none) request.file_size_limit = limit_bytes;
  request.file_size_signal_ignored = limit == Limit::write_fails;
  return run_on_one_and_two_threads(program, request);
}

void expect_end(const support::RunResult& run, RunEnd end) {
  EXPECT_FALSE(run.timed_out);
  if (end.signal == 0) {
    EXPECT_FALSE(run.signalled) << "signal " << run.signal;
    EXPECT_EQ(run.exit_status, end.exit_status);
  } else {
    EXPECT_TRUE(run.signalled);
    EXPECT_EQ(run.signal, end.signal);
  }
}

// The files of the run: exactly `expected`, with these bytes. A failed write removes its
// temporary file, whatever the limit.
void expect_files(const support::RunResult& run, const Files& expected) {
  for (const auto& [name, bytes] : expected) {
    ASSERT_TRUE(run.files.contains(name)) << name;
    EXPECT_TRUE(run.files.at(name) == bytes) << name << " differs";
  }
  for (const auto& entry : run.files) {
    EXPECT_TRUE(expected.contains(entry.first)) << "left behind: " << entry.first;
  }
}

std::string last_line(const std::string& text) {
  const std::size_t start = text.rfind('\n', text.size() - 2);
  return text.substr(start == std::string::npos ? 0 : start + 1);
}

struct GridCase {
  const char* name;
  support::MapFile map;
  std::optional<std::string> old_grid;
  Limit limit;
  RunEnd end;
  const char* standard_error;  // nullptr: not checked
  const char* last_output_line;
  bool grid_written;
};

void PrintTo(const GridCase& c, std::ostream* os) {
  *os << c.name;
}

class GridFileRun : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridFileRun, LeavesTheOlderGridFileWholeUnlessItEndsNormally) {
  const GridCase& c = GetParam();
  if (c.limit != Limit::none) MAPCONV_SKIP_ON_WINDOWS("needs a file-size limit");
  constexpr std::uint64_t kLimit = 20000;
  Files files = {{"ALPHA.EXP", support::experiment_file_bytes(
                                   experiment_records("Interrupted run", "P 1", cubic_cell()))},
                 {"ALPHA.FOB", support::map_file_bytes(c.map)}};
  if (c.old_grid) files["ALPHA.grd"] = *c.old_grid;
  const support::RunResult run = run_limited(MAPCONV_PROGRAM, {"ALPHA"}, files, c.limit, kLimit);
  expect_end(run, c.end);
  if (c.standard_error) {
    EXPECT_EQ(run.standard_error, c.standard_error);
  }
  if (c.last_output_line) {
    EXPECT_EQ(last_line(run.standard_output), c.last_output_line);
  }
  Files expected = files;
  if (c.grid_written) expected["ALPHA.grd"] = expected_grid_file();
  expect_files(run, expected);
}

const std::string kWritingLine = " Writing file: ALPHA.grd" + std::string(41, ' ') + "\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, GridFileRun,
    ::testing::Values(GridCase{"NormalRunReplacesTheOlderFile", whole_cell_map(), kOlderGridFile,
                               Limit::none, kExitsNormally, "", kWritingLine.c_str(), true},
                      GridCase{"ReportedWriteFailure", whole_cell_map(), kOlderGridFile,
                               Limit::write_fails, kAborts,
                               "write: File too large\n"
                               "apparent state: unit 12 named ALPHA.grd\n"
                               "lately writing sequential formatted external IO\n",
                               kWritingLine.c_str(), false},
                      GridCase{"ReportedWriteFailureWithoutAnOlderFile", whole_cell_map(),
                               std::nullopt, Limit::write_fails, kAborts, nullptr,
                               kWritingLine.c_str(), false},
                      GridCase{"SignalAtTheLimitIsIgnored", whole_cell_map(), kOlderGridFile,
                               Limit::signal_at_default, kAborts, nullptr, nullptr, false},
                      GridCase{"RefusedMap", null_map(), kOlderGridFile, Limit::none, kStops,
                               "STOP REDFMP statement executed\n",
                               " **** Null Fourier map - ERROR ****\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A version 0 experiment: without a version record. Its upgrade rewrites the last-record marker
// in place and then appends the version record.
std::vector<support::ExperimentRecord> version_zero_records() {
  std::vector<support::ExperimentRecord> records =
      experiment_records("Interrupted run", "P 1", cubic_cell());
  records.erase(records.begin());
  return records;
}

std::vector<support::ExperimentRecord> upgraded_records() {
  std::vector<support::ExperimentRecord> records = version_zero_records();
  records.back().value = "  Last record in the file";
  records.push_back({"     VERSION", "    6"});
  return records;
}

std::vector<support::ExperimentRecord> version_zero_records_with_an_atom_type() {
  return with_an_atom_type(version_zero_records());
}

struct UpgradeCase {
  const char* name;
  std::vector<support::ExperimentRecord> records;
  Limit limit;
  Files environment;
  RunEnd end;
  const char* standard_error;  // nullptr: not checked
  bool upgraded;
};

void PrintTo(const UpgradeCase& c, std::ostream* os) {
  *os << c.name;
}

class ExperimentUpgradeRun : public ::testing::TestWithParam<UpgradeCase> {};

const std::string kOldFileWarning =
    " **** WARNING *****   This is an old EXP file\n"
    "  It is version   0 and current files are version   6\n"
    " Use VETRIS to convert it.\n";

TEST_P(ExperimentUpgradeRun, LeavesTheOldFileOrTheWholeUpgradedOne) {
  const UpgradeCase& c = GetParam();
  if (c.limit != Limit::none) MAPCONV_SKIP_ON_WINDOWS("needs a file-size limit");
  const std::string old_file = support::experiment_file_bytes(c.records);
  // The copy may grow to the old file's size and no further: the first append fails.
  const std::uint64_t limit = old_file.size();
  const Files files = {{"ALPHA.EXP", old_file},
                       {"ALPHA.FOB", support::map_file_bytes(whole_cell_map())}};
  const support::RunResult run =
      run_limited(MAPCONV_PROGRAM, {"ALPHA"}, files, c.limit, limit, c.environment);
  expect_end(run, c.end);
  if (c.standard_error) {
    EXPECT_EQ(run.standard_error, c.standard_error);
  }
  { EXPECT_TRUE(run.standard_output.starts_with(kOldFileWarning)) << run.standard_output; }
  Files expected = {{"ALPHA.FOB", files.at("ALPHA.FOB")}};
  expected["ALPHA.EXP"] =
      c.upgraded ? support::experiment_file_bytes(upgraded_records()) : old_file;
  if (c.upgraded) expected["ALPHA.grd"] = expected_grid_file();
  expect_files(run, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExperimentUpgradeRun,
    ::testing::Values(
        UpgradeCase{"NormalRunUpgradesTheFile",
                    version_zero_records(),
                    Limit::none,
                    {},
                    kExitsNormally,
                    "",
                    true},
        UpgradeCase{"ReportedAppendFailure",
                    version_zero_records(),
                    Limit::write_fails,
                    {},
                    kAborts,
                    "write: File too large\n"
                    "apparent state: unit 11 named ALPHA.EXP\n"
                    "last format: (A)\n"
                    "lately writing direct formatted external IO\n",
                    false},
        UpgradeCase{"SignalAtTheAppendIsIgnored",
                    version_zero_records(),
                    Limit::signal_at_default,
                    {},
                    kAborts,
                    nullptr,
                    false},
        UpgradeCase{"StoppedWithoutTheAtomData",
                    version_zero_records_with_an_atom_type(),
                    Limit::none,
                    {{"TARN", ""}, {"tarn", ""}},
                    kStops,
                    "STOP ERROR - Environment variable TARN is undefined statement executed\n",
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

// An experiment file written as text lines of 80 characters: its last-record marker does not
// stand at the start of an 82-byte record, so the file reads as incomplete and the suite's
// experiment editor offers to reformat it.
std::vector<support::ExperimentRecord> records_to_convert() {
  std::vector<support::ExperimentRecord> records = {{"     VERSION", "    6"},
                                                    {"      DESCR ", "  Converted"}};
  for (int n = 1; n <= 17; ++n) records.push_back({"CRS1  REC" + std::to_string(n), "  value"});
  records.push_back({"ZZZZZZZZZZZZ", "  Last EXP file record"});
  return records;
}

std::string as_text_lines(const std::vector<support::ExperimentRecord>& records) {
  std::string text;
  for (const auto& [key, value] : records) {
    text += support::experiment_record(key, value).substr(0, 80) + "\n";
  }
  return text;
}

struct ConversionCase {
  const char* name;
  Limit limit;
  RunEnd end;
  bool converted;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
  *os << c.name;
}

class ConversionRun : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionRun, LeavesNoCutOffExperimentFile) {
  const ConversionCase& c = GetParam();
  if (c.limit != Limit::none) MAPCONV_SKIP_ON_WINDOWS("needs a file-size limit");
  const std::string source = as_text_lines(records_to_convert());
  // Less than the 82-byte records need, more than the terminal output takes.
  constexpr std::uint64_t kLimit = 1000;
  const support::RunResult run = run_limited(STRTRN_DRIVER, {"VETRIS", "SHARED", "TERM", "abc"},
                                             {{"ABC.EXP", source}}, c.limit, kLimit, {}, "y\n");
  expect_end(run, c.end);
  if (c.limit != Limit::none) {
    EXPECT_TRUE(
        run.standard_error.starts_with("write: File too large\n"
                                       "apparent state: unit 12 named ABC.EXP\n"))
        << run.standard_error;
  }
  // The old file stays the experiment file unless the conversion completes; NAME.CRP, its
  // second name, stays only beside the converted file.
  Files expected = {{"ABC.EXP", source}};
  if (c.converted) expected["ABC.EXP"] = support::experiment_file_bytes(records_to_convert());
  if (c.converted) expected["ABC.CRP"] = source;
  expect_files(run, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionRun,
    ::testing::Values(ConversionCase{"NormalRunConverts", Limit::none, kExitsNormally, true},
                      ConversionCase{"ReportedWriteFailure", Limit::write_fails, kAborts, false},
                      ConversionCase{"SignalAtTheLimitIsIgnored", Limit::signal_at_default, kAborts,
                                     false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
