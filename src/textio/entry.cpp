#include "textio/entry.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "os/os.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace textio {

namespace {

// The program's arguments as UTF-8 text, whatever the system handed over.
struct Arguments {
  std::vector<std::string> values;
};

Arguments& arguments() {
  return program_state<Arguments>();
}

// How the body of the run ended: the exit status, the text for the error stream and whether
// the process ends abnormally.
struct RunEnd {
  int exit_status = kExitCompleted;
  std::string error_text;
  bool abort = false;
};

RunEnd unexpected_error(const char* what) {
  return {kExitFault, program_name() + ": run ended by an unexpected error: " + what + "\n"};
}

RunEnd run_body(int argc, char** argv, const std::function<void(int, char**)>& body) {
  try {
    body(argc, argv);
    return {};
  } catch (const StopRun& stop) {
    std::string text = stop.text.empty() ? "" : "STOP " + stop.text + " statement executed\n";
    return {stop.exit_status, text};
  } catch (const IoFailure& failure) {
    return {.error_text = failure.report, .abort = true};
  } catch (const std::exception& error) {
    return unexpected_error(error.what());
  } catch (...) {
    return unexpected_error("unknown exception");
  }
}

void write_error_text(const std::string& text) {
  flush_unit(kConsoleOutput);
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

int argument_count() {
  return static_cast<int>(arguments().values.size());
}

const char* argument(int index) {
  const std::vector<std::string>& values = arguments().values;
  return index >= 0 && index < argument_count() ? values[static_cast<std::size_t>(index)].c_str()
                                                : nullptr;
}

std::string program_name() {
  std::string path = argument(0) ? argument(0) : "";
  std::string name = path.substr(os::file_name_start(path));
  // "mapconv", not "mapconv.exe", on systems that name programs by their extension.
  if (name.size() > 4 && upper_case(name.substr(name.size() - 4)) == ".EXE")
    name.resize(name.size() - 4);
  return name;
}

int run_program(int argc, char** argv, const std::function<void(int, char**)>& body) {
  // A run starts from the program's start state, however many ran in this process before it.
  reset_program_state();
  os::fail_writes_instead_of_signals();
  arguments() = {os::program_arguments(argc, argv)};
  RunEnd end = run_body(argc, argv, body);
  // Every end of a run, normal or not, closes the units here and only here.
  close_all_units();
  if (int status = console_output_failure();
      status != kOk && end.exit_status == kExitCompleted && !end.abort) {
    // The terminal lines are the run's account of its result (the map scaling factor among
    // them): a run whose account was lost does not report success.
    end.exit_status = kExitStopped;
    end.error_text += program_name() +
                      ": the terminal output could not be written: " + status_message(status) +
                      "\n";
  }
  if (!end.error_text.empty()) write_error_text(end.error_text);
  if (end.abort) os::abort_process();
  return end.exit_status;
}

}  // namespace textio
