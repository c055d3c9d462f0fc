#include "support/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <numeric>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "support/files.hpp"

extern char** environ;

namespace support {
namespace {

// Argument and environment strings kept alive, with the null-terminated pointer arrays that
// execve wants, built before the fork so that the child only makes system calls.
class ExecStrings {
 public:
  explicit ExecStrings(std::vector<std::string> strings) : strings_(std::move(strings)) {
    for (std::string& s : strings_) pointers_.push_back(s.data());
    pointers_.push_back(nullptr);
  }
  char* const* get() const { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

std::vector<std::string> merged_environment(const std::map<std::string, std::string>& additions) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::string name = text.substr(0, text.find('='));
    if (!additions.contains(name)) result.push_back(text);
  }
  for (const auto& [name, value] : additions) result.push_back(name + "=" + value);
  return result;
}

struct ChildSetup {
  const char* directory;
  const char* input;
  const char* output;  // nullptr: closed
  const char* error;   // nullptr: closed
  const char* program;
  char* const* argv;
  char* const* envp;
  const rlimit* file_size_limit;  // nullptr: unlimited
  bool file_size_signal_ignored;
  int failure_pipe;  // close-on-exec: the child writes errno there when it cannot start
  // The read end of the child's start gate (-1: none), and the write ends of every gate, which
  // the child must not hold: a gate abandoned by the parent then reads as its end.
  int gate = -1;
  const std::vector<int>* gate_writers = nullptr;
};

// Waits for the byte that releases the child; false when the gate was abandoned instead.
bool pass_gate(const ChildSetup& setup) {
  if (setup.gate < 0) return true;
  for (const int writer : *setup.gate_writers) {
    if (writer >= 0) close(writer);
  }
  char released = 0;
  ssize_t got = 0;
  do {
    got = read(setup.gate, &released, 1);
  } while (got < 0 && errno == EINTR);
  return got == 1;
}

// Limits apply to the program only, after its standard streams are open; an ignored signal
// stays ignored across execve.
bool apply_limits(const ChildSetup& setup) {
  if (setup.file_size_limit && setrlimit(RLIMIT_FSIZE, setup.file_size_limit) != 0) return false;
  return !setup.file_size_signal_ignored || signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
}

// Stands for a standard stream that the program gets closed.
constexpr int kLeftClosed = -2;

int open_output(const char* path) {
  if (path == nullptr) return kLeftClosed;
  if (std::string_view(path) != kPipeWithoutReader) {
    return open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
  }
  int ends[2];
  if (pipe(ends) != 0) return -1;
  close(ends[0]);
  return ends[1];
}

// Every file is opened before the first descriptor is closed, so that none of them takes a
// standard descriptor's number.
bool attach(int opened, int descriptor) {
  if (opened == kLeftClosed) return close(descriptor) == 0 || errno == EBADF;
  return opened >= 0 && dup2(opened, descriptor) >= 0;
}

[[noreturn]] void exec_child(const ChildSetup& setup) {
  if (!pass_gate(setup)) _exit(127);
  // In the run's directory first, so that a stream may go to one of the run's files.
  const bool moved = chdir(setup.directory) == 0;
  const int in = open(setup.input, O_RDONLY);
  const int out = open_output(setup.output);
  const int err = open_output(setup.error);
  if (moved && attach(in, 0) && attach(out, 1) && attach(err, 2) && apply_limits(setup)) {
    execve(setup.program, setup.argv, setup.envp);
  }
  const int failure = errno;
  [[maybe_unused]] const ssize_t written = write(setup.failure_pipe, &failure, sizeof failure);
  _exit(127);
}

struct StartedChild {
  pid_t pid = -1;
  int failure_pipe = -1;  // the read end; closed once the start is confirmed
};

StartedChild fork_child(ChildSetup setup) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe2");
  setup.failure_pipe = pipe_ends[1];
  const pid_t child = fork();
  if (child == 0) exec_child(setup);
  const int fork_error = errno;
  close(pipe_ends[1]);
  if (child < 0) {
    close(pipe_ends[0]);
    throw std::system_error(fork_error, std::generic_category(), "fork");
  }
  return {child, pipe_ends[0]};
}

// Waits until the child has executed its program; throws with the child's errno, after
// reaping it, when it could not.
void confirm_start(const StartedChild& child, const std::string& program) {
  int failure = 0;
  ssize_t got = 0;
  do {
    got = read(child.failure_pipe, &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  close(child.failure_pipe);
  if (got > 0) {
    waitpid(child.pid, nullptr, 0);
    throw std::system_error(failure, std::generic_category(), "exec " + program);
  }
}

int wait_with_limit(pid_t child, std::chrono::seconds limit, bool& timed_out) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (true) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR)
      throw std::system_error(errno, std::generic_category(), "waitpid");
    if (std::chrono::steady_clock::now() > deadline) {
      timed_out = true;
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

constexpr int kWindowsAbortStatus = 3;

std::optional<std::string> environment_value(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// The Windows program that stands for `program`, when the Windows programs are under test.
std::optional<std::string> windows_program_for(const std::string& program) {
  const std::optional<std::string> directory = environment_value("MAPCONV_TEST_WINDOWS_PROGRAMS");
  if (!directory) return std::nullopt;
  const std::filesystem::path exe = std::filesystem::path(*directory) /
                                    (std::filesystem::path(program).filename().string() + ".exe");
  if (!std::filesystem::exists(exe)) return std::nullopt;
  return std::filesystem::absolute(exe).string();
}

// Wine hands the arguments over in the locale's character set: UTF-8, whatever the test asked of
// the Linux program.
std::map<std::string, std::string> for_wine(std::map<std::string, std::string> environment) {
  environment["LC_ALL"] = "C.UTF-8";
  return environment;
}

// A Windows console writes CR LF; the tests compare lines.
std::string with_unix_line_ends(std::string text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result.push_back(text[i]);
  }
  return result;
}

// A run ready to be forked: its program, arguments, environment and the scratch directory of
// its standard streams. Not movable: the setup points into it.
class PreparedRun {
 public:
  // `as_built` runs the Linux program even when the Windows programs are under test.
  PreparedRun(const std::filesystem::path& program, const RunRequest& request,
              const std::filesystem::path& directory, bool as_built = false)
      : windows_program_(as_built ? std::nullopt : windows_copy_of(program)),
        program_(windows_program_ ? wine_program() : std::filesystem::absolute(program).string()),
        directory_(directory.string()),
        input_((scratch_ / "stdin").string()),
        output_(request.standard_output_to.value_or((scratch_ / "stdout").string())),
        error_(request.standard_error_to.value_or((scratch_ / "stderr").string())),
        output_redirected_(request.standard_output_to.has_value()),
        error_redirected_(request.standard_error_to.has_value()),
        argv_(windows_program_
                  ? with_program(program_, with_program(*windows_program_, request.arguments))
                  : with_program(program_, request.arguments)),
        envp_(merged_environment(windows_program_ ? for_wine(request.environment)
                                                  : request.environment)),
        limited_(request.file_size_limit.has_value()),
        file_size_signal_ignored_(request.file_size_signal_ignored) {
    write_file_bytes(input_, request.standard_input);
    if (limited_) file_size_limit_.rlim_cur = file_size_limit_.rlim_max = *request.file_size_limit;
  }
  PreparedRun(const PreparedRun&) = delete;
  PreparedRun& operator=(const PreparedRun&) = delete;

  const std::string& program() const { return program_; }

  ChildSetup setup() const {
    return {directory_.c_str(),
            input_.c_str(),
            output_.empty() ? nullptr : output_.c_str(),
            error_.empty() ? nullptr : error_.c_str(),
            program_.c_str(),
            argv_.get(),
            envp_.get(),
            limited_ ? &file_size_limit_ : nullptr,
            file_size_signal_ignored_,
            -1};
  }

  // The end of the run from its wait status, with what it wrote on its standard streams.
  RunResult result(int status, bool timed_out) const {
    RunResult result;
    result.timed_out = timed_out;
    result.signalled = WIFSIGNALED(status);
    result.signal = result.signalled ? WTERMSIG(status) : 0;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!output_redirected_) result.standard_output = read_file_bytes(output_);
    if (!error_redirected_) result.standard_error = read_file_bytes(error_);
    if (windows_program_) {
      result.standard_output = with_unix_line_ends(result.standard_output);
      result.standard_error = with_unix_line_ends(result.standard_error);
      if (result.exit_status == kWindowsAbortStatus) {
        result.signalled = true;
        result.signal = SIGABRT;
        result.exit_status = -1;
      }
    }
    return result;
  }

 private:
  std::optional<std::string> windows_copy_of(const std::filesystem::path& program) const {
    const std::optional<std::string> exe = windows_program_for(program.string());
    if (!exe) return std::nullopt;
    const std::filesystem::path copy = scratch_.path() / std::filesystem::path(*exe).filename();
    std::filesystem::copy_file(*exe, copy);
    std::filesystem::last_write_time(copy, std::filesystem::last_write_time(program));
    return copy.string();
  }

  static std::vector<std::string> with_program(const std::string& program,
                                               const std::vector<std::string>& arguments) {
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
  }

  const TempDirectory scratch_;
  // Run from a copy in the scratch directory, which carries the Linux program's time.
  const std::optional<std::string> windows_program_;
  const std::string program_, directory_, input_, output_, error_;
  const bool output_redirected_, error_redirected_;
  const ExecStrings argv_, envp_;
  rlimit file_size_limit_{};
  bool limited_;
  bool file_size_signal_ignored_;
};

// One pipe per run held before its start: the byte written to it releases the run, and its
// end without a byte sends the run away unstarted.
class StartGates {
 public:
  StartGates() = default;
  StartGates(const StartGates&) = delete;
  StartGates& operator=(const StartGates&) = delete;
  ~StartGates() {
    for (const int reader : readers_) close_if_open(reader);
    abandon();
  }

  void add() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
      throw std::system_error(errno, std::generic_category(), "pipe2");
    readers_.push_back(ends[0]);
    writers_.push_back(ends[1]);
  }
  int reader(std::size_t i) const { return readers_[i]; }
  const std::vector<int>& writers() const { return writers_; }
  void close_reader(std::size_t i) { close_if_open(std::exchange(readers_[i], -1)); }

  void release(std::size_t i) {
    const char go = 1;
    if (write(writers_[i], &go, 1) != 1)
      throw std::system_error(errno, std::generic_category(), "release");
    close_if_open(std::exchange(writers_[i], -1));
  }
  void abandon() {
    for (int& writer : writers_) close_if_open(std::exchange(writer, -1));
  }

 private:
  static void close_if_open(int descriptor) {
    if (descriptor >= 0) close(descriptor);
  }
  std::vector<int> readers_, writers_;
};

// Reads a FIFO while the program runs. The read end is open before the program starts, so that
// the program's open for writing does not wait for a reader; the reading ends only when told, after
// the program ended, so that a program that never opened the FIFO leaves it with nothing read.
class FifoReader {
 public:
  explicit FifoReader(const std::filesystem::path& path) {
    if (mkfifo(path.c_str(), 0600) != 0) fail("mkfifo " + path.string());
    fifo_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fifo_ < 0) fail("open " + path.string());
    if (pipe2(stop_, O_CLOEXEC) != 0) fail("pipe2");
    reader_ = std::thread([this] { read_until_stopped(); });
  }
  FifoReader(const FifoReader&) = delete;
  FifoReader& operator=(const FifoReader&) = delete;
  ~FifoReader() {
    if (reader_.joinable()) finish();
    close_descriptors();
  }

  // Everything written to the FIFO; call once the program ended.
  std::string finish() {
    const char stop = 0;
    [[maybe_unused]] const ssize_t written = write(stop_[1], &stop, 1);
    reader_.join();
    return std::move(bytes_);
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    const int error = errno;
    close_descriptors();
    throw std::system_error(error, std::generic_category(), what);
  }

  void close_descriptors() {
    for (int* descriptor : {&fifo_, &stop_[0], &stop_[1]}) {
      if (*descriptor >= 0) close(*descriptor);
      *descriptor = -1;
    }
  }

  // Linux reports a FIFO that never had a writer as neither readable nor hung up, so the poll
  // waits for the program; once its writer is gone the FIFO stays hung up and only the stop is
  // waited for.
  void read_until_stopped() {
    bool writer_gone = false;
    while (true) {
      pollfd polled[2] = {{stop_[0], POLLIN, 0}, {fifo_, POLLIN, 0}};
      if (poll(polled, writer_gone ? 1 : 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (polled[0].revents != 0) break;
      if (polled[1].revents != 0) writer_gone = !read_available();
    }
    read_available();
  }

  // Reads what the FIFO holds; false when no writer has it open.
  bool read_available() {
    std::array<char, 1 << 16> buffer;
    while (true) {
      const ssize_t got = read(fifo_, buffer.data(), buffer.size());
      if (got > 0) {
        bytes_.append(buffer.data(), static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        return got < 0;
      }
    }
  }

  int fifo_ = -1;
  int stop_[2] = {-1, -1};
  std::string bytes_;
  std::thread reader_;
};

void make_entries(const std::filesystem::path& work, const RunRequest& request) {
  for (const std::string& name : request.directories) {
    std::filesystem::create_directories(work / name);
  }
  for (const auto& [name, target] : request.symbolic_links) {
    std::filesystem::create_symlink(target, work / name);
  }
}

std::string kind_of(const std::filesystem::directory_entry& entry) {
  if (entry.is_symlink()) return "-> " + std::filesystem::read_symlink(entry.path()).string();
  if (entry.is_directory()) return "directory";
  if (entry.is_fifo()) return "fifo";
  return "other";
}

// Names are taken as listed: resolving them would give a link its target's name.
void list_entries(const std::filesystem::path& directory, RunResult& result) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    const std::string name = entry.path().lexically_relative(directory).string();
    const bool regular = entry.is_regular_file();
    if (regular) result.files[name] = read_file_bytes(entry.path());
    if (!regular || entry.is_symlink()) result.other_entries[name] = kind_of(entry);
  }
}

}  // namespace

std::map<std::string, std::string> files_in(const std::filesystem::path& directory) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (entry.is_regular_file()) {
      files[std::filesystem::relative(entry.path(), directory).string()] =
          read_file_bytes(entry.path());
    }
  }
  return files;
}

namespace {

RunResult run_in_new_directory(const std::filesystem::path& program, const RunRequest& request,
                               bool as_built) {
  const TempDirectory scratch;
  const std::filesystem::path work = scratch / "work";
  std::filesystem::create_directory(work);
  for (const auto& [name, bytes] : request.files) write_file_bytes(work / name, bytes);
  make_entries(work, request);
  std::map<std::string, std::unique_ptr<FifoReader>> readers;
  for (const std::string& name : request.fifos) {
    readers[name] = std::make_unique<FifoReader>(work / name);
  }
  const PreparedRun run(program, request, work, as_built);
  const StartedChild child = fork_child(run.setup());
  confirm_start(child, run.program());
  bool timed_out = false;
  const int status = wait_with_limit(child.pid, request.time_limit, timed_out);
  RunResult result = run.result(status, timed_out);
  for (auto& [name, reader] : readers) result.read_from_fifos[name] = reader->finish();
  list_entries(work, result);
  return result;
}

// Files that must be the same bytes whichever system made them: all but listings (they carry
// the program's date) and kept temporary files (their names carry the process id).
std::map<std::string, std::string> compared_files(const RunResult& result) {
  std::map<std::string, std::string> files;
  for (const auto& [name, bytes] : result.files) {
    const bool listing = name.ends_with(".LST") || name.ends_with(".lst");
    if (!listing && name.find(".partial-") == std::string::npos) files[name] = bytes;
  }
  return files;
}

void expect_same_files_as_linux(const std::filesystem::path& program, const RunRequest& request,
                                const RunResult& windows) {
  const RunResult linux_run = run_in_new_directory(program, request, true);
  const std::map<std::string, std::string> expected = compared_files(linux_run);
  const std::map<std::string, std::string> got = compared_files(windows);
  for (const auto& [name, bytes] : expected) {
    const auto found = got.find(name);
    if (found == got.end()) {
      ADD_FAILURE() << "the Windows program left no " << name << ", the Linux one did";
    } else if (found->second != bytes) {
      ADD_FAILURE() << "the Windows program's " << name << " differs from the Linux one's";
    }
  }
  for (const auto& [name, bytes] : got) {
    if (!expected.contains(name)) ADD_FAILURE() << "only the Windows program left " << name;
  }
}

// ---- The map of every grid file: mapconv --ccp4 against grd2ccp4 ----

constexpr std::string_view kGridExtension = ".grd";
constexpr std::string_view kMapOption = "--ccp4";

// The grid files that a run of mapconv without --ccp4 wrote, when it ended well and the same run
// with the option can be compared with it: no file-size limit, FIFO or standard error of its own.
std::vector<std::string> grid_files_written(const std::filesystem::path& program,
                                            const RunRequest& request, const RunResult& result) {
  if (program.filename() != "mapconv" || result.exit_status != 0 || result.signalled ||
      result.timed_out || request.file_size_limit || !request.fifos.empty() ||
      request.standard_error_to ||
      (!request.arguments.empty() && request.arguments.front() == kMapOption)) {
    return {};
  }
  std::vector<std::string> grids;
  for (const auto& [name, bytes] : result.files) {
    // A grid file kept under its temporary name (one made meanwhile under the name) is no grid
    // file of the name: grd2ccp4 would not find it.
    if (name.find(".partial-") != std::string::npos) return {};
    const auto before = request.files.find(name);
    const bool written = before == request.files.end() || before->second != bytes;
    if (written && name.ends_with(kGridExtension)) grids.push_back(name);
  }
  return grids;
}

std::string map_beside(const std::string& grid) {
  return grid.substr(0, grid.size() - kGridExtension.size()) + ".ccp4";
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// What mapconv --ccp4 adds on standard error: grd2ccp4's notes and report line for the same map,
// under mapconv's name.
std::vector<std::string> map_lines_of(const RunResult& grd2ccp4) {
  std::vector<std::string> lines;
  for (const std::string& note : lines_of(grd2ccp4.standard_error)) {
    lines.push_back("mapconv: " + note.substr(note.find(": ") + 2));
  }
  lines.push_back("mapconv: " + lines_of(grd2ccp4.standard_output).at(0));
  return lines;
}

// The same run with --ccp4 must end alike, say the same on the terminal, leave the same files and
// beside the grid file the very map that grd2ccp4 makes of it (and say so as grd2ccp4 does).
void expect_the_map_of_the_grid(const std::filesystem::path& program, const RunRequest& request,
                                const RunResult& plain, const std::string& grid) {
  RunRequest with_map = request;
  with_map.arguments.insert(with_map.arguments.begin(), std::string(kMapOption));
  const RunResult mapped = run_built_program(program, with_map);
  RunRequest of_grid;
  of_grid.arguments = {grid};
  of_grid.files = plain.files;
  of_grid.environment = request.environment;
  const RunResult converted = run_built_program(GRD2CCP4_FOR_MAP_CHECK, of_grid);
  ASSERT_EQ(converted.exit_status, 0) << grid << ": " << converted.standard_error;
  EXPECT_EQ(mapped.exit_status, plain.exit_status) << "with --ccp4";
  EXPECT_EQ(mapped.standard_output, plain.standard_output) << "with --ccp4";
  const std::string map = map_beside(grid);
  std::map<std::string, std::string> files = mapped.files;
  const auto found = files.find(map);
  ASSERT_NE(found, files.end()) << "mapconv --ccp4 left no " << map;
  EXPECT_TRUE(found->second == converted.files.at(map))
      << "mapconv --ccp4 wrote another " << map << " than grd2ccp4 makes of " << grid;
  files.erase(found);
  EXPECT_TRUE(files == plain.files) << "mapconv --ccp4 left other files than mapconv";
  std::vector<std::string> added = lines_of(mapped.standard_error);
  for (const std::string& line : map_lines_of(converted)) {
    const auto at = std::find(added.begin(), added.end(), line);
    EXPECT_NE(at, added.end()) << "mapconv --ccp4 does not say: " << line << "\n"
                               << mapped.standard_error;
    if (at != added.end()) added.erase(at);
  }
  EXPECT_EQ(added, lines_of(plain.standard_error)) << "with --ccp4";
}

}  // namespace

std::string wine_program() {
  if (const std::optional<std::string> wine = environment_value("MAPCONV_TEST_WINE")) return *wine;
  for (const char* candidate : {"/usr/bin/wine", "/usr/local/bin/wine", "/usr/lib/wine/wine64"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return "wine";
}

bool testing_windows_programs() {
  return environment_value("MAPCONV_TEST_WINDOWS_PROGRAMS").has_value();
}

RunResult run_built_program(const std::filesystem::path& program, const RunRequest& request) {
  RunResult result = run_in_new_directory(program, request, false);
  if (windows_program_for(program.string())) {
    // Under wine every run costs many times a Linux one: the Windows program's map is compared
    // with the Linux program's by the tests that run it with --ccp4.
    expect_same_files_as_linux(program, request, result);
    return result;
  }
  for (const std::string& grid : grid_files_written(program, request, result)) {
    expect_the_map_of_the_grid(program, request, result, grid);
  }
  return result;
}

std::map<std::string, std::string> entries_made(const RunRequest& request) {
  std::map<std::string, std::string> entries;
  for (const std::string& name : request.directories) entries[name] = "directory";
  for (const auto& [name, target] : request.symbolic_links) entries[name] = "-> " + target;
  for (const std::string& name : request.fifos) entries[name] = "fifo";
  return entries;
}

std::vector<RunResult> run_together(const std::filesystem::path& directory,
                                    const std::vector<SharedRun>& runs) {
  std::deque<PreparedRun> prepared;
  for (const SharedRun& run : runs) prepared.emplace_back(run.program, run.request, directory);
  StartGates gates;
  std::vector<StartedChild> children;
  std::exception_ptr failure;
  try {
    for (std::size_t i = 0; i < runs.size(); ++i) gates.add();
    for (std::size_t i = 0; i < runs.size(); ++i) {
      ChildSetup setup = prepared[i].setup();
      setup.gate = gates.reader(i);
      setup.gate_writers = &gates.writers();
      children.push_back(fork_child(setup));
      gates.close_reader(i);
    }
    std::vector<std::size_t> order(runs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&runs](std::size_t a, std::size_t b) {
      return runs[a].delay < runs[b].delay;
    });
    const auto first_release = std::chrono::steady_clock::now();
    for (const std::size_t i : order) {
      std::this_thread::sleep_until(first_release + runs[i].delay);
      gates.release(i);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  gates.abandon();  // a run never released ends without starting its program
  std::vector<RunResult> results(children.size());
  for (std::size_t i = 0; i < children.size(); ++i) {
    try {
      confirm_start(children[i], prepared[i].program());
    } catch (...) {
      if (!failure) failure = std::current_exception();
      continue;
    }
    bool timed_out = false;
    const int status = wait_with_limit(children[i].pid, runs[i].request.time_limit, timed_out);
    results[i] = prepared[i].result(status, timed_out);
  }
  if (failure) std::rethrow_exception(failure);
  return results;
}

std::pair<std::string, int> run_shell_command(const std::string& command, bool with_errors) {
  std::FILE* pipe = popen((command + (with_errors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (pipe == nullptr) return {"cannot start: " + command, -1};
  std::string output;
  std::array<char, 4096> buffer;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    output.append(buffer.data(), n);
  }
  return {output, pclose(pipe)};
}

}  // namespace support
