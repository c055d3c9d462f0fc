// Runs a built program in a fresh temporary directory and collects everything it left behind:
// exit status, standard output, standard error and the files in the directory.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace support {

inline constexpr const char* kPipeWithoutReader = "|";

struct RunRequest {
  std::vector<std::string> arguments;              // after the program name
  std::map<std::string, std::string> environment;  // added to (or replacing) the inherited one
  std::string standard_input;
  std::map<std::string, std::string> files;  // relative name -> bytes, placed before the run
  std::chrono::seconds time_limit{60};       // the program is killed after this
  // The largest file the program may write, in bytes (RLIMIT_FSIZE); no limit when unset. A write
  // beyond it raises SIGXFSZ, which ends the program, or fails with EFBIG when the signal is
  // ignored.
  std::optional<std::uint64_t> file_size_limit;
  bool file_size_signal_ignored = false;
  // Where standard output and error go instead of being collected: the named file (such as
  // /dev/full, or one of the run's files by its relative name), opened for appending as the
  // shell's >> does, or nowhere when the name is empty: the descriptor is then closed.
  // kPipeWithoutReader is a pipe whose reader has gone, as in `mapconv ... | true`.
  std::optional<std::string> standard_output_to;
  std::optional<std::string> standard_error_to;
  // Made in the run's directory after the files: directories, symbolic links (relative name ->
  // target) and FIFOs, which are read while the program runs.
  std::vector<std::string> directories;
  std::map<std::string, std::string> symbolic_links;
  std::vector<std::string> fifos;
};

struct RunResult {
  int exit_status = -1;  // valid when neither signalled nor timed out
  bool signalled = false;
  int signal = 0;
  bool timed_out = false;
  std::string standard_output;
  std::string standard_error;
  std::map<std::string, std::string> files;  // relative name -> bytes, after the run
  // Every other name after the run: "-> target" for a symbolic link, else "directory", "fifo"
  // or "other". A link to a regular file is also in `files`.
  std::map<std::string, std::string> other_entries;
  std::map<std::string, std::string> read_from_fifos;  // FIFO name -> all the program wrote to it
};

// Starts `program` (made absolute) with the request's arguments, environment and standard streams
// in a new directory holding the request's files, waits for it, and removes the directory.
// Throws std::system_error when the program cannot be started. A run of mapconv that wrote a grid
// file is made again with --ccp4, which must end alike, leave the same files and beside the grid
// file the map that grd2ccp4 makes of it, byte for byte, naming it as grd2ccp4 does.
RunResult run_built_program(const std::filesystem::path& program, const RunRequest& request);

// The request's directories, links and FIFOs as `RunResult::other_entries` gives them.
std::map<std::string, std::string> entries_made(const RunRequest& request);

// One of several runs that share a directory.
struct SharedRun {
  std::filesystem::path program;
  RunRequest request;  // its files are not placed: the runs find what their directory holds
  std::chrono::milliseconds delay{0};  // how long after the first release this run is released
};

// Starts every run in `directory`, each held before it executes its program until its delay
// has passed, and waits for all. The results' files are left empty: the directory is shared,
// so the caller reads it once with files_in. Throws std::system_error when a program cannot be
// started, after the runs that could have been started have ended.
std::vector<RunResult> run_together(const std::filesystem::path& directory,
                                    const std::vector<SharedRun>& runs);

// Relative name -> bytes of every regular file under `directory`.
std::map<std::string, std::string> files_in(const std::filesystem::path& directory);

// The Windows build's programs under test (`make test-windows`): when MAPCONV_TEST_WINDOWS_PROGRAMS
// names a directory, a program NAME whose NAME.exe is there runs as that .exe under wine
// (MAPCONV_TEST_WINE, or wine from the path). Its standard output and error then come back with
// CR LF line ends taken as LF, and the Windows status of an abort (3) as the abort signal. Every
// single run is also made with the Linux program beside it, and the two must leave the same
// files, but for listings, which carry the program's date.
bool testing_windows_programs();
// The wine that runs them.
std::string wine_program();

// Runs `command` through the shell and returns its standard output (with standard error when
// `with_errors`) and its status as pclose gives it.
std::pair<std::string, int> run_shell_command(const std::string& command, bool with_errors = true);

}  // namespace support

// Skips a test that needs what Windows does not have, when the Windows programs are under test.
#define MAPCONV_SKIP_ON_WINDOWS(reason) \
  if (::support::testing_windows_programs()) GTEST_SKIP() << "not on Windows: " << (reason)
