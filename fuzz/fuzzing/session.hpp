// One run of a fuzz target: a console fed from the input and silenced on output, designed stops
// caught, and the program-wide state returned to its start by the program's one reset
// (textio::reset_program_state) at the end. A Session also gives the run a scratch directory of
// its own; a ConsoleSession, for targets that work on the console units, internal texts and files
// they name themselves, does no directory work, so that it costs next to nothing. The reset also
// forgets the parsed formats: the process then holds the memory it held before the input, and
// libFuzzer's leak check has no reason to run the input again.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textio/status.hpp"

namespace fuzzing {

// How the program code run inside a session ended.
enum class Ending { returned, stopped, io_failure };

struct Outcome {
  Ending ending = Ending::returned;
  std::string stop_text;  // the stop text, or the I/O failure report
};

// Runs program code, catching the two designed ways a run ends early.
template <typename Body>
Outcome run_catching_stops(Body&& body) {
  try {
    body();
  } catch (const textio::StopRun& stop) {
    return {Ending::stopped, stop.text};
  } catch (const textio::IoFailure& failure) {
    return {Ending::io_failure, failure.report};
  }
  return {};
}

// Makes `arguments` (argument 0 first) the command line that the program code sees.
void set_program_arguments(const std::vector<std::string>& arguments);

// The process's scratch directory, created on first use under the system's temporary directory
// and removed when the process exits.
const std::filesystem::path& scratch_directory();

// The console units for the life of the object: input reads `console_input`, output and errors
// are thrown away without a system call. On destruction the console units write out what they
// hold and go back to the standard streams.
class SilencedConsole {
 public:
  explicit SilencedConsole(std::string_view console_input);
  ~SilencedConsole();
  SilencedConsole(const SilencedConsole&) = delete;
  SilencedConsole& operator=(const SilencedConsole&) = delete;

 private:
  std::string input_;
  std::FILE* input_stream_ = nullptr;
};

// A silenced console fed from `console_input`, in whatever directory the process is in. The
// program code may use only the console units; a unit left connected at the end is a fault of
// the code under test (it would also have written "fort.N" into the current directory).
class ConsoleSession {
 public:
  explicit ConsoleSession(std::string_view console_input = {}) : console_(console_input) {}
  ~ConsoleSession();
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

  template <typename Body>
  Outcome run(Body&& body) {
    return run_catching_stops(body);
  }

 private:
  SilencedConsole console_;
};

// Enters the scratch directory with a silenced console fed from `console_input`. On destruction
// it closes every unit, resets the program-wide state (textio::reset_program_state), empties the
// scratch directory and returns to the directory it came from.
class Session {
 public:
  explicit Session(std::string_view console_input = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  template <typename Body>
  Outcome run(Body&& body) {
    return run_catching_stops(body);
  }

 private:
  std::filesystem::path previous_directory_;
  SilencedConsole console_;
};

// Writes a line to standard error when the environment variable MAPCONV_FUZZ_TRACE is set: what
// a target did, for reading a finding.
void trace(const std::string& line);

// Reports a broken property of the code under test and aborts, so that the fuzzer keeps the input.
[[noreturn]] void fail(const std::string& what);

}  // namespace fuzzing
