// One run of a fuzz target: a scratch directory of its own, a console fed from the input and
// silenced on output, designed stops caught, and all program-wide state returned to its start.
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

// Makes `arguments` (argument 0 first) the command line that the program code sees.
void set_program_arguments(const std::vector<std::string>& arguments);

// The process's scratch directory, created on first use under the system's temporary directory
// and removed when the process exits.
const std::filesystem::path& scratch_directory();

// Enters the scratch directory with the console input reading `console_input` and the console
// output and error streams going nowhere. On destruction it closes every unit, resets the
// program-wide state of every subsystem, empties the scratch directory and returns to the
// directory it came from.
class Session {
 public:
  explicit Session(std::string_view console_input = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs program code, catching the two designed ways a run ends early.
  template <typename Body>
  Outcome run(Body&& body) {
    try {
      body();
    } catch (const textio::StopRun& stop) {
      return {Ending::stopped, stop.text};
    } catch (const textio::IoFailure& failure) {
      return {Ending::io_failure, failure.report};
    }
    return {};
  }

 private:
  std::string input_;
  std::FILE* input_stream_ = nullptr;
  std::filesystem::path previous_directory_;
};

// Writes a line to standard error when the environment variable MAPCONV_FUZZ_TRACE is set: what
// a target did, for reading a finding.
void trace(const std::string& line);

// Reports a broken property of the code under test and aborts, so that the fuzzer keeps the input.
[[noreturn]] void fail(const std::string& what);

}  // namespace fuzzing
