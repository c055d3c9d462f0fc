// The fault sweep: every scenario is run once cleanly, then once for every system call of the
// kinds that touch files, with that call failing (ENOSPC, EIO) or the program killed at it, under
// strace's fault injection. After every run each file must be its old bytes or what the clean run
// made of it, never cut or mixed; a run that ends without its result must say so and leave no
// temporary file. A scenario may start a plain run of the same program beside each faulted one,
// in the same directory: it must end as the clean run did, whatever the fault did to the other.
// FAULT_SWEEP_FULL=1 fails every call; otherwise the reads and seeks, which change nothing, are
// sampled. FAULT_SWEEP_SCENARIO=NAME runs one scenario only.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../e2e/experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace faults {
namespace {

using Files = std::map<std::string, std::string>;
using Records = std::vector<support::ExperimentRecord>;

const std::vector<std::string> kCallKinds = {
    "openat",    "read",       "write",     "pwrite64", "lseek",     "fsync",
    "fdatasync", "rename",     "renameat2", "close",    "ftruncate", "unlink",
    "fchmod",    "newfstatat", "link",      "flock",    "fcntl"};
// Calls that only read: in the short sweep a spread of their numbers is failed.
const std::set<std::string> kSampledKinds = {"read", "lseek"};
constexpr int kSampledNumbers = 12;

struct Scenario {
  std::string name;
  std::string program;
  std::vector<std::string> arguments;
  std::string input;
  Files files;
  Files environment;
  std::vector<std::string> temporaries;  // names a killed run may leave besides *.partial-*
  // Files that record what the run read (a macro): a run that stops keeps what it recorded, whole
  // records of what the clean run recorded.
  std::vector<std::string> recordings;
  // A plain run started with each faulted run on the same files. The runs meet in the start-up,
  // which runs on the main thread alone, so the scenario runs on one thread only.
  bool beside_a_plain_run = false;
};

// ---- Scenarios ----

e2e::Crystal cubic_cell() {
  e2e::Crystal crystal;
  crystal.lengths = {5.4307, 5.4307, 5.4307};
  crystal.angles = {90, 90, 90};
  return crystal;
}

// A P 1 map over the whole cell holding 0, 1 and 2.
std::string whole_cell_map(int divisions) {
  support::MapFile map;
  map.phase_name = "Fault sweep";
  map.grid_divisions = {divisions, divisions, divisions};
  map.block_steps = map.grid_divisions;
  for (int k = 0; k < divisions; ++k) {
    for (int j = 0; j < divisions; ++j) {
      for (int i = 0; i < divisions; ++i) map.values.push_back(float((i + 2 * j + k) % 3));
    }
  }
  map.density_minimum = 0.0f;
  map.density_maximum = 2.0f;
  return support::map_file_bytes(map);
}

Records current_records() {
  return e2e::experiment_records("Fault sweep", "P 1", cubic_cell());
}

// Without its version record, and with an atom type whose factors come from the atom data.
Records version_zero_records() {
  Records records = current_records();
  records.erase(records.begin());
  records.insert(records.end() - 1,
                 {{" EXPR  NATYP", "    1"},
                  {" EXPR ATYP 1", "SI        " + std::string(39, ' ') + " 14.00000   28.0860"}});
  return records;
}

Records version_five_records() {
  return e2e::as_version_five(current_records());
}

// A current file with a deleted record, which the working copy leaves out.
Records records_with_a_deleted_one() {
  Records records = current_records();
  records.insert(records.begin() + 2, support::deleted_record());
  return records;
}

std::string as_text_lines(const Records& records) {
  std::string text;
  for (const auto& [key, value] : records) {
    text += support::experiment_record(key, value).substr(0, 80) + "\n";
  }
  return text;
}

Files environment_with(Files more = {}) {
  more.insert({{"LC_ALL", "C"}, {"TZ", "UTC"}, {"TARN", MAPCONV_SOURCE_DIR}});
  return more;
}

std::vector<Scenario> scenarios() {
  const std::string map = whole_cell_map(8);
  return {
      {"ConversionOverAnOlderGridFile",
       MAPCONV_PROGRAM,
       {"ALPHA"},
       "",
       {{"ALPHA.EXP", support::experiment_file_bytes(current_records())},
        {"ALPHA.FOB", whole_cell_map(32)},
        {"ALPHA.grd", "An older grid file\r\n"}},
       environment_with(),
       {},
       {}},
      // Two files replaced by one run: the map of the grid is written before the grid file takes
      // its name, and takes its own after it. A map of 1 MB and more is written past the cache.
      {"ConversionWithItsMapOverOlderFiles",
       MAPCONV_PROGRAM,
       {"--ccp4", "ALPHA"},
       "",
       {{"ALPHA.EXP", support::experiment_file_bytes(current_records())},
        {"ALPHA.FOB", whole_cell_map(64)},
        {"ALPHA.grd", "An older grid file\r\n"},
        {"ALPHA.ccp4", "An older map"}},
       environment_with(),
       {},
       {}},
      {"UpgradeOfVersionZero",
       MAPCONV_PROGRAM,
       {"ALPHA"},
       "",
       {{"ALPHA.EXP", support::experiment_file_bytes(version_zero_records())}, {"ALPHA.FOB", map}},
       environment_with(),
       {},
       {}},
      {"UpgradeOfVersionFive",
       MAPCONV_PROGRAM,
       {"ALPHA"},
       "",
       {{"ALPHA.EXP", support::experiment_file_bytes(version_five_records())}, {"ALPHA.FOB", map}},
       environment_with(),
       {},
       {}},
      {"ConversionOfAForeignForm",
       STRTRN_DRIVER,
       {"VETRIS", "SHARED", "TERM", "abc"},
       "y\n",
       {{"ABC.EXP", as_text_lines(current_records())}},
       environment_with(),
       {},
       {}},
      {"WorkingCopy",
       STRTRN_DRIVER,
       {"MAPCONV", "COPY", "TERM", "abc"},
       "",
       {{"ABC.EXP", support::experiment_file_bytes(records_with_a_deleted_one())},
        {"ABC.O01", "an earlier backup"}},
       environment_with(),
       {},
       {}},
      {"WorkingCopyOfVersionZero",
       STRTRN_DRIVER,
       {"MAPCONV", "COPY", "TERM", "abc"},
       "",
       {{"ABC.EXP", support::experiment_file_bytes(version_zero_records())}},
       environment_with(),
       {},
       {}},
      {"ConversionOfAForeignFormBesideAnother",
       STRTRN_DRIVER,
       {"VETRIS", "SHARED", "TERM", "abc"},
       "y\n",
       {{"ABC.EXP", as_text_lines(current_records())}},
       environment_with(),
       {},
       {},
       true},
      {"MacroRecordedWhileConverting",
       MAPCONV_PROGRAM,
       {},
       "@M\nmac\nalpha\n@Q\nFOBS\n",
       {{"ALPHA.EXP", support::experiment_file_bytes(current_records())},
        {"ALPHA.FOB", map},
        {"ALPHA.FCL", map}},
       environment_with(),
       {},
       {"mac"}},
      {"TwoUpgradesOfVersionFiveAtOnce",
       MAPCONV_PROGRAM,
       {"ALPHA"},
       "",
       {{"ALPHA.EXP", support::experiment_file_bytes(
                          e2e::old_experiment_records(5, "Fault sweep", "P 1", cubic_cell()))},
        {"ALPHA.FOB", map}},
       environment_with(),
       {},
       {},
       true},
  };
}

// ---- Runs under strace ----

std::string strace_path() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / "strace";
    if (std::filesystem::exists(candidate)) return candidate.string();
  }
  return "";
}

const char* const kTraceFile = ".fault-sweep-trace";

support::RunRequest request_for(const Scenario& scenario, int threads,
                                std::vector<std::string> strace_options) {
  support::RunRequest request;
  request.arguments = {"-f", "-qq"};
  request.arguments.insert(request.arguments.end(), strace_options.begin(), strace_options.end());
  request.arguments.push_back("--");
  request.arguments.push_back(scenario.program);
  request.arguments.insert(request.arguments.end(), scenario.arguments.begin(),
                           scenario.arguments.end());
  request.environment = scenario.environment;
  request.environment["MAPCONV_THREADS"] = std::to_string(threads);
  request.standard_input = scenario.input;
  request.files = scenario.files;
  return request;
}

std::string joined_kinds() {
  std::string kinds;
  for (const std::string& kind : kCallKinds) kinds += (kinds.empty() ? "" : ",") + kind;
  return kinds;
}

// The most calls of each kind that one thread made: strace counts the calls of each thread on
// its own when it picks the one to fail.
std::map<std::string, int> calls_per_thread(const std::string& trace) {
  std::map<std::pair<std::string, std::string>, int> counts;
  std::stringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    std::stringstream fields(line);
    std::string thread, call;
    fields >> thread >> call;
    const std::size_t paren = call.find('(');
    if (paren == std::string::npos) continue;  // a resumed call or an exit
    ++counts[{call.substr(0, paren), thread}];
  }
  std::map<std::string, int> most;
  for (const auto& [key, count] : counts) most[key.first] = std::max(most[key.first], count);
  return most;
}

struct Fault {
  std::string kind;
  int number = 0;
  std::string injection;  // "error=ENOSPC", "error=EIO" or "signal=KILL"
};

std::string describe(const Fault& fault) {
  return fault.kind + " #" + std::to_string(fault.number) + " " + fault.injection;
}

std::vector<int> numbers_to_fail(const std::string& kind, int calls, bool full) {
  std::vector<int> numbers;
  const int step = !full && kSampledKinds.contains(kind) && calls > kSampledNumbers
                       ? (calls + kSampledNumbers - 1) / kSampledNumbers
                       : 1;
  for (int n = 1; n <= calls; n += step) numbers.push_back(n);
  return numbers;
}

std::vector<Fault> faults_of(const std::map<std::string, int>& calls, bool full) {
  std::vector<Fault> faults;
  for (const auto& [kind, count] : calls) {
    for (int n : numbers_to_fail(kind, count, full)) {
      for (const char* injection : {"error=ENOSPC", "error=EIO", "signal=KILL"}) {
        faults.push_back({kind, n, injection});
      }
    }
  }
  return faults;
}

struct FaultedRun {
  support::RunResult run;  // with the files of the directory, shared with the plain run if any
  std::optional<support::RunResult> plain_run;
  // The fault met a write to standard output or standard error too: strace counts the calls of
  // each thread, so the n-th write of the thread that reports may fail with another thread's.
  bool console_write_failed = false;
};

// The faulted run and a plain one released together in a directory of the scenario's files. The
// plain run is traced as the clean run is, so that neither starts the faster.
FaultedRun beside_a_plain_run(const std::string& strace, const Scenario& scenario, int threads,
                              const std::vector<std::string>& strace_options) {
  const support::TempDirectory directory;
  for (const auto& [name, bytes] : scenario.files) {
    support::write_file_bytes(directory / name, bytes);
  }
  std::vector<support::RunResult> runs = support::run_together(
      directory.path(), {{strace, request_for(scenario, threads, strace_options)},
                         {strace, request_for(scenario, threads, {"-o", "/dev/null"})}});
  runs[0].files = support::files_in(directory.path());
  return {runs[0], runs[1]};
}

FaultedRun faulted_run(const std::string& strace, const Scenario& scenario, int threads,
                       const Fault& fault) {
  const std::string injection =
      fault.kind + ":" + fault.injection + ":when=" + std::to_string(fault.number);
  std::vector<std::string> options = {"-o", kTraceFile, "-e", "trace=" + fault.kind};
  options.insert(options.end(), {"-e", "inject=" + injection});
  FaultedRun faulted =
      scenario.beside_a_plain_run
          ? beside_a_plain_run(strace, scenario, threads, options)
          : FaultedRun{support::run_built_program(strace, request_for(scenario, threads, options)),
                       std::nullopt};
  std::stringstream lines(faulted.run.files[kTraceFile]);
  faulted.run.files.erase(kTraceFile);
  for (std::string line; std::getline(lines, line);) {
    const bool console = line.find(" write(1, ") != std::string::npos ||
                         line.find(" write(2, ") != std::string::npos;
    if (console && line.find("(INJECTED)") != std::string::npos) {
      faulted.console_write_failed = true;
    }
  }
  return faulted;
}

// ---- Checks ----

bool is_temporary(const std::string& name, const Scenario& scenario) {
  return name.find(".partial-") != std::string::npos ||
         std::find(scenario.temporaries.begin(), scenario.temporaries.end(), name) !=
             scenario.temporaries.end();
}

bool is_recording_so_far(const std::string& name, const Scenario& scenario,
                         const support::RunResult& clean, const support::RunResult& run) {
  if (std::find(scenario.recordings.begin(), scenario.recordings.end(), name) ==
          scenario.recordings.end() ||
      !run.files.contains(name) || !clean.files.contains(name)) {
    return false;
  }
  const std::string& recorded = run.files.at(name);
  return clean.files.at(name).starts_with(recorded) &&
         (recorded.empty() || recorded.ends_with("\r\n"));
}

bool says_it_did_not_complete(const support::RunResult& run) {
  return !run.standard_error.empty() ||
         run.standard_output.find("FORTRAN error number") != std::string::npos;
}

enum class Outcome { completed, stopped, aborted, killed, other };

Outcome outcome_of(const support::RunResult& run) {
  if (run.signalled && run.signal == SIGKILL) return Outcome::killed;
  if (run.signalled && run.signal == SIGABRT) return Outcome::aborted;
  if (run.signalled || run.timed_out) return Outcome::other;
  if (run.exit_status == 0) return Outcome::completed;
  return run.exit_status == 1 ? Outcome::stopped : Outcome::other;
}

std::string end_of(const support::RunResult& run) {
  return run.timed_out   ? "did not end"
         : run.signalled ? "ended by signal " + std::to_string(run.signal)
                         : "ended with status " + std::to_string(run.exit_status);
}

// The plain run beside a faulted one ends as the clean run did, and its result stands: the
// faulted run may not undo it, nor make the plain run change the experiment a second time.
std::vector<std::string> plain_run_breaches(const support::RunResult& clean,
                                            const support::RunResult& plain,
                                            const support::RunResult& run) {
  if (outcome_of(plain) != Outcome::completed) {
    return {"the plain run beside it " + end_of(plain) +
            "\n  its standard error: " + plain.standard_error};
  }
  std::vector<std::string> found;
  for (const auto& [name, bytes] : clean.files) {
    if (!run.files.contains(name) || run.files.at(name) != bytes) {
      found.push_back("the plain run beside it completed, but " + name +
                      " is not what the clean run left");
    }
  }
  return found;
}

// What is wrong with the files and the end of a faulted run; empty when nothing is.
std::vector<std::string> breaches(const Scenario& scenario, const support::RunResult& clean,
                                  const FaultedRun& faulted) {
  const support::RunResult& run = faulted.run;
  std::vector<std::string> found;
  if (faulted.plain_run) found = plain_run_breaches(clean, *faulted.plain_run, run);
  const Outcome outcome = outcome_of(run);
  if (run.timed_out) found.push_back("the run did not end");
  if (outcome == Outcome::completed) {
    for (const auto& [name, bytes] : clean.files) {
      if (!run.files.contains(name) || run.files.at(name) != bytes) {
        found.push_back("exit 0, but " + name + " is not what the clean run left");
      }
    }
    for (const auto& [name, bytes] : run.files) {
      if (!clean.files.contains(name)) found.push_back("exit 0, but " + name + " was left");
    }
    return found;
  }
  std::set<std::string> names;
  for (const Files* files : {&scenario.files, &clean.files, &run.files}) {
    for (const auto& entry : *files) names.insert(entry.first);
  }
  for (const std::string& name : names) {
    const bool there = run.files.contains(name);
    if (is_temporary(name, scenario) && !scenario.files.contains(name)) {
      if (there && outcome != Outcome::killed) found.push_back("left " + name + " behind");
      continue;
    }
    const auto as_before = [&](const Files& files) {
      return files.contains(name) ? there && files.at(name) == run.files.at(name) : !there;
    };
    if (!as_before(scenario.files) && !as_before(clean.files) &&
        !(outcome != Outcome::killed && is_recording_so_far(name, scenario, clean, run))) {
      found.push_back(name + (there ? " is cut or mixed (" +
                                          std::to_string(run.files.at(name).size()) + " bytes)"
                                    : " is gone"));
    }
  }
  if (outcome != Outcome::killed && !faulted.console_write_failed &&
      !says_it_did_not_complete(run)) {
    found.push_back(end_of(run) + " without a message");
  }
  return found;
}

// ---- The sweep ----

struct Tally {
  std::map<Outcome, int> outcomes;
  int runs = 0;
  int findings = 0;
};

std::string summary(const std::string& scenario, int threads, const Tally& tally) {
  std::ostringstream text;
  text << scenario << " on " << threads << " thread(s): " << tally.runs << " faulted runs, "
       << tally.outcomes.at(Outcome::completed) << " exit 0, "
       << tally.outcomes.at(Outcome::stopped) << " exit 1, " << tally.outcomes.at(Outcome::aborted)
       << " abort, " << tally.outcomes.at(Outcome::killed) << " killed, "
       << tally.outcomes.at(Outcome::other) << " other; " << tally.findings << " findings";
  return text.str();
}

bool full_sweep() {
  const char* full = std::getenv("FAULT_SWEEP_FULL");
  return full != nullptr && std::string(full) == "1";
}

class FaultSweep : public ::testing::TestWithParam<int> {};

TEST_P(FaultSweep, LosesNothingAtAnyFailingCall) {
  const std::string strace = strace_path();
  ASSERT_FALSE(strace.empty()) << "the sweep needs strace (Debian package strace)";
  const int threads = GetParam();
  const char* only = std::getenv("FAULT_SWEEP_SCENARIO");
  for (const Scenario& scenario : scenarios()) {
    if (only != nullptr && *only != '\0' && scenario.name != only) continue;
    if (scenario.beside_a_plain_run && threads != 1) continue;
    support::RunResult traced = support::run_built_program(
        strace,
        request_for(scenario, threads, {"-o", kTraceFile, "-e", "trace=" + joined_kinds()}));
    const std::map<std::string, int> calls = calls_per_thread(traced.files[kTraceFile]);
    traced.files.erase(kTraceFile);
    const support::RunResult clean =
        support::run_built_program(strace, request_for(scenario, threads, {"-o", "/dev/null"}));
    ASSERT_EQ(clean.exit_status, 0)
        << scenario.name << ": " << clean.standard_output << clean.standard_error;
    ASSERT_EQ(clean.files, traced.files) << scenario.name << ": two clean runs differ";

    Tally tally;
    for (Outcome o : {Outcome::completed, Outcome::stopped, Outcome::aborted, Outcome::killed,
                      Outcome::other}) {
      tally.outcomes[o] = 0;
    }
    const std::vector<Fault> faults = faults_of(calls, full_sweep());
    // Two runs at a time, one per processor.
    for (std::size_t first = 0; first < faults.size(); first += 2) {
      std::vector<std::future<FaultedRun>> runs;
      for (std::size_t i = first; i < std::min(first + 2, faults.size()); ++i) {
        const Fault& fault = faults[i];
        runs.push_back(std::async(std::launch::async,
                                  [&] { return faulted_run(strace, scenario, threads, fault); }));
      }
      for (std::size_t i = 0; i < runs.size(); ++i) {
        const FaultedRun faulted = runs[i].get();
        const support::RunResult& run = faulted.run;
        ++tally.runs;
        ++tally.outcomes[outcome_of(run)];
        for (const std::string& breach : breaches(scenario, clean, faulted)) {
          ++tally.findings;
          ADD_FAILURE() << scenario.name << " on " << threads << " thread(s), "
                        << describe(faults[first + i]) << ": " << breach
                        << "\n  standard error: " << run.standard_error;
        }
      }
    }
    std::string counted;
    for (const auto& [kind, count] : calls) counted += " " + kind + " " + std::to_string(count);
    std::printf("%s\n  calls per thread:%s\n", summary(scenario.name, threads, tally).c_str(),
                counted.c_str());
    std::fflush(stdout);
  }
}

INSTANTIATE_TEST_SUITE_P(Threads, FaultSweep, ::testing::Values(1, 2));

}  // namespace
}  // namespace faults
