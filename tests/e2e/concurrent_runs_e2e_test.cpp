// Several runs on one experiment started together, as from several terminals or a script that
// starts them in the background: they must leave the files that the same runs leave one after
// another, and each must end as it would alone. A run that has to wait for another may say so
// once on standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace e2e {
namespace {

using Files = std::map<std::string, std::string>;
using Records = std::vector<support::ExperimentRecord>;

constexpr int kRuns = 6;

const std::string kConvertedLine = "The EXP file was converted to version 6\n";

Crystal cubic_cell() {
  Crystal crystal;
  crystal.lengths = {5.4307, 5.4307, 5.4307};
  crystal.angles = {90, 90, 90};
  return crystal;
}

// Records that no step of the start-up changes: a large file keeps every run long in the
// start-up, where the runs meet.
Records padded(Records records, int count) {
  Records padding;
  for (int n = 1; n <= count; ++n) {
    const std::string number = std::to_string(n);
    padding.push_back({"PAD " + std::string(8 - number.size(), '0') + number, "  padding"});
  }
  records.insert(records.end() - 1, padding.begin(), padding.end());
  return records;
}

// A P 1 map over the whole cell holding 0, 1 and 2: small, so that the runs spend their time on
// the experiment file.
std::string small_map() {
  support::MapFile map;
  map.phase_name = "Concurrent runs";
  map.grid_divisions = map.block_steps = {8, 8, 8};
  for (int k = 0; k < 8; ++k) {
    for (int j = 0; j < 8; ++j) {
      for (int i = 0; i < 8; ++i) map.values.push_back(float((i + 2 * j + k) % 3));
    }
  }
  map.density_minimum = 0.0f;
  map.density_maximum = 2.0f;
  return support::map_file_bytes(map);
}

struct SharedCase {
  const char* name;
  const char* program;
  std::vector<std::string> arguments;
  std::string experiment_file;  // as the program names it
  Files files;
  int rounds;
};

void PrintTo(const SharedCase& c, std::ostream* os) {
  *os << c.name;
}

support::SharedRun shared_run(const SharedCase& c, std::chrono::milliseconds delay = {}) {
  support::SharedRun run{c.program, {}, delay};
  run.request.arguments = c.arguments;
  run.request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  return run;
}

void place(const Files& files, const std::filesystem::path& directory) {
  for (const auto& [name, bytes] : files) support::write_file_bytes(directory / name, bytes);
}

// The runs one after another, each started when the one before has ended.
struct SerialRuns {
  std::vector<support::RunResult> runs;
  Files files;
  std::chrono::steady_clock::duration first_run_time{};
};

SerialRuns one_after_another(const SharedCase& c) {
  const support::TempDirectory directory;
  place(c.files, directory.path());
  SerialRuns serial;
  for (int n = 0; n < kRuns; ++n) {
    const auto start = std::chrono::steady_clock::now();
    serial.runs.push_back(support::run_together(directory.path(), {shared_run(c)}).front());
    if (n == 0) serial.first_run_time = std::chrono::steady_clock::now() - start;
  }
  serial.files = support::files_in(directory.path());
  return serial;
}

// Runs started a tenth to three tenths of a lone run apart, wider from round to round, meet
// each other at every stage of the start-up, on a fast machine as on a slow one. Only how often
// they meet depends on it, never what they must leave.
std::chrono::milliseconds start_spacing(const SerialRuns& serial, int round, int rounds) {
  const double share = 0.1 + 0.2 * (round - 1) / std::max(1, rounds - 1);
  return std::chrono::duration_cast<std::chrono::milliseconds>(serial.first_run_time * share);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What a run may print: what one of the serial runs printed, or the first one's output without
// the line of the upgrade, from a run that found the file old and then upgraded by another.
bool is_serial_output(const std::string& output, const SerialRuns& serial) {
  for (const support::RunResult& run : serial.runs) {
    if (output == run.standard_output) return true;
  }
  std::string first = serial.runs.front().standard_output;
  const std::size_t converted = first.find(kConvertedLine);
  return converted != std::string::npos && output == first.erase(converted, kConvertedLine.size());
}

std::string program_file_name(const std::string& program) {
  return std::filesystem::path(program).filename().string();
}

// The records of two experiment files that differ, for the report.
std::string differing_records(const std::string& expected, const std::string& found) {
  std::vector<std::string> want, got;
  try {
    want = support::experiment_records(expected);
    got = support::experiment_records(found);
  } catch (const std::invalid_argument& error) {
    return std::string("\n  not whole records: ") + error.what();
  }
  std::string report;
  std::map<std::string, std::string> wanted;
  for (const std::string& record : want) wanted[record.substr(0, 12)] = record;
  for (const std::string& record : got) {
    const auto match = wanted.find(record.substr(0, 12));
    if (match == wanted.end()) {
      report += "\n  added:   " + record;
    } else if (match->second != record) {
      report += "\n  changed: " + record + "\n  from:    " + match->second;
    }
    if (match != wanted.end()) wanted.erase(match);
  }
  for (const auto& entry : wanted) report += "\n  missing: " + entry.second;
  return report;
}

void expect_same_files(const Files& found, const Files& expected, const std::string& experiment,
                       int round) {
  for (const auto& [name, bytes] : expected) {
    if (!found.contains(name)) {
      ADD_FAILURE() << "round " << round << ": " << name << " is missing";
    } else if (found.at(name) != bytes) {
      ADD_FAILURE() << "round " << round << ": " << name << " differs"
                    << (name == experiment ? differing_records(bytes, found.at(name)) : "");
    }
  }
  for (const auto& entry : found) {
    EXPECT_TRUE(expected.contains(entry.first)) << "round " << round << ": left " << entry.first;
  }
}

class SharedExperiment : public ::testing::TestWithParam<SharedCase> {};

TEST_P(SharedExperiment, RunsTogetherLeaveWhatRunsOneAfterAnotherLeave) {
  const SharedCase& c = GetParam();
  const SerialRuns serial = one_after_another(c);
  const support::RunResult& alone = serial.runs.front();
  for (const support::RunResult& run : serial.runs) {
    ASSERT_FALSE(run.signalled || run.timed_out) << run.standard_error;
    ASSERT_EQ(run.exit_status, alone.exit_status) << run.standard_output << run.standard_error;
  }
  int upgrades_one_after_another = 0;
  for (const support::RunResult& run : serial.runs) {
    upgrades_one_after_another += contains(run.standard_output, kConvertedLine);
  }
  const std::string waiting = program_file_name(c.program) +
                              ": waiting for another run to finish with " + c.experiment_file +
                              "\n";
  for (int round = 1; round <= c.rounds; ++round) {
    const support::TempDirectory directory;
    place(c.files, directory.path());
    std::vector<support::SharedRun> runs;
    for (int n = 0; n < kRuns; ++n) {
      runs.push_back(shared_run(c, n * start_spacing(serial, round, c.rounds)));
    }
    const std::vector<support::RunResult> together = support::run_together(directory.path(), runs);
    int upgrades = 0;
    for (const support::RunResult& run : together) {
      EXPECT_FALSE(run.signalled || run.timed_out) << "round " << round << ": " << run.signal;
      EXPECT_EQ(run.exit_status, alone.exit_status) << "round " << round;
      EXPECT_TRUE(run.standard_error == alone.standard_error ||
                  run.standard_error == waiting + alone.standard_error)
          << "round " << round << ": " << run.standard_error;
      EXPECT_TRUE(is_serial_output(run.standard_output, serial))
          << "round " << round << ": " << run.standard_output;
      upgrades += contains(run.standard_output, kConvertedLine);
    }
    EXPECT_EQ(upgrades, upgrades_one_after_another) << "round " << round << ": runs upgrading";
    expect_same_files(support::files_in(directory.path()), serial.files, c.experiment_file, round);
    if (HasFailure()) break;
  }
}

constexpr int kUpgradePadding = 20000;
// A working copy takes longer per record than an upgrade, and its runs meet from their start,
// on the file of the copy: a smaller file does.
constexpr int kWorkingCopyPadding = 2000;

Files alpha_files(const Records& records) {
  return {{"ALPHA.EXP", support::experiment_file_bytes(padded(records, kUpgradePadding))},
          {"ALPHA.FOB", small_map()}};
}

Records old_records(int version) {
  return old_experiment_records(version, "Concurrent runs", "P 1", cubic_cell());
}

// A current file with a deleted record, which every working copy leaves out, and a backup of an
// earlier one.
Files working_copy_files() {
  Records records = experiment_records("Concurrent runs", "P 1", cubic_cell());
  records.insert(records.begin() + 2, support::deleted_record());
  return {{"ABC.EXP", support::experiment_file_bytes(padded(records, kWorkingCopyPadding))},
          {"ABC.O01", "an earlier backup"}};
}

// An old file, long enough that a working copy and the upgrade of the copy that follows it take
// a while: a run that arrives after the copy took the name must still find the upgrade done.
Files old_working_copy_files(int version) {
  return {
      {"ABC.EXP", support::experiment_file_bytes(padded(old_records(version), kUpgradePadding))},
      {"ABC.O01", "an earlier backup"}};
}

// Rounds: the upgrades fail in nearly every round before runs on one experiment wait for each
// other, the working copies in every one.
std::vector<SharedCase> shared_cases() {
  const Records current = experiment_records("Concurrent runs", "P 1", cubic_cell());
  const std::vector<std::string> alpha = {"ALPHA"};
  const std::vector<std::string> copy = {"MAPCONV", "COPY", "TERM", "abc"};
  return {
      {"UpgradeOfVersionFive", MAPCONV_PROGRAM, alpha, "ALPHA.EXP", alpha_files(old_records(5)), 6},
      {"UpgradeOfVersionZero", MAPCONV_PROGRAM, alpha, "ALPHA.EXP", alpha_files(old_records(0)), 4},
      {"ConversionOfACurrentFile", MAPCONV_PROGRAM, alpha, "ALPHA.EXP", alpha_files(current), 2},
      {"WorkingCopy", STRTRN_DRIVER, copy, "ABC.EXP", working_copy_files(), 3},
      {"WorkingCopyOfVersionZero", STRTRN_DRIVER, copy, "ABC.EXP", old_working_copy_files(0), 3},
      {"WorkingCopyOfVersionFive", STRTRN_DRIVER, copy, "ABC.EXP", old_working_copy_files(5), 3},
  };
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedExperiment, ::testing::ValuesIn(shared_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A run stopped at the moment its working copy has taken the experiment's name, before the upgrade
// of the copy: another run started then must wait for it, and the two must leave what they leave
// one after the other.
class StoppedRun {
 public:
  StoppedRun(const std::filesystem::path& directory, const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {std::filesystem::absolute(STRTRN_DRIVER).string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + words[0]);
  }
  StoppedRun(const StoppedRun&) = delete;
  StoppedRun& operator=(const StoppedRun&) = delete;
  ~StoppedRun() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  bool running() {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) == 0) return pid_ > 0;
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  void stop() { kill(pid_, SIGSTOP); }
  void resume() { kill(pid_, SIGCONT); }
  int wait() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

ino_t file_number(const std::filesystem::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(SharedExperiment, RunArrivingAfterAWorkingCopyTookTheNameWaitsForItsUpgrade) {
  MAPCONV_SKIP_ON_WINDOWS("stops a run with a signal");
  const std::vector<std::string> copy = {"MAPCONV", "COPY", "TERM", "abc"};
  const Files files = old_working_copy_files(0);
  Files serial;
  {
    const support::TempDirectory directory;
    place(files, directory.path());
    for (int n = 0; n < 2; ++n) ASSERT_EQ(StoppedRun(directory.path(), copy).wait(), 0);
    serial = support::files_in(directory.path());
  }
  const support::TempDirectory directory;
  place(files, directory.path());
  const std::filesystem::path experiment = directory.path() / "ABC.EXP";
  const ino_t original = file_number(experiment);
  StoppedRun first(directory.path(), copy);
  while (first.running() && file_number(experiment) == original) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  first.stop();
  ASSERT_TRUE(first.running()) << "the first run ended before it could be stopped";
  StoppedRun second(directory.path(), copy);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(second.running()) << "the second run did not wait for the stopped one";
  first.resume();
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(second.wait(), 0);
  expect_same_files(support::files_in(directory.path()), serial, "ABC.EXP", 1);
}

}  // namespace
}  // namespace e2e
