#include "support/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>

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
  char** get() { return pointers_.data(); }

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
  char** argv;
  char** envp;
  const rlimit* file_size_limit;  // nullptr: unlimited
  bool file_size_signal_ignored;
  int failure_pipe;  // close-on-exec: the child writes errno there when it cannot start
};

// Limits apply to the program only, after its standard streams are open; an ignored signal
// stays ignored across execve.
bool apply_limits(const ChildSetup& setup) {
  if (setup.file_size_limit && setrlimit(RLIMIT_FSIZE, setup.file_size_limit) != 0) return false;
  return !setup.file_size_signal_ignored || signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
}

// Stands for a standard stream that the program gets closed.
constexpr int kLeftClosed = -2;

int open_output(const char* path) {
  return path == nullptr ? kLeftClosed : open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
}

// Every file is opened before the first descriptor is closed, so that none of them takes a
// standard descriptor's number.
bool attach(int opened, int descriptor) {
  if (opened == kLeftClosed) return close(descriptor) == 0 || errno == EBADF;
  return opened >= 0 && dup2(opened, descriptor) >= 0;
}

[[noreturn]] void exec_child(const ChildSetup& setup) {
  const int in = open(setup.input, O_RDONLY);
  const int out = open_output(setup.output);
  const int err = open_output(setup.error);
  if (attach(in, 0) && attach(out, 1) && attach(err, 2) && chdir(setup.directory) == 0 &&
      apply_limits(setup)) {
    execve(setup.program, setup.argv, setup.envp);
  }
  const int failure = errno;
  [[maybe_unused]] const ssize_t written = write(setup.failure_pipe, &failure, sizeof failure);
  _exit(127);
}

// Forks and execs; throws with the child's errno when the program could not be started.
pid_t start_child(ChildSetup setup) {
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
  int failure = 0;
  ssize_t got = 0;
  do {
    got = read(pipe_ends[0], &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  close(pipe_ends[0]);
  if (got > 0) {
    waitpid(child, nullptr, 0);
    throw std::system_error(failure, std::generic_category(), std::string("exec ") + setup.program);
  }
  return child;
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

RunResult run_built_program(const std::filesystem::path& program, const RunRequest& request) {
  const TempDirectory scratch;
  const std::filesystem::path work = scratch / "work";
  std::filesystem::create_directory(work);
  for (const auto& [name, bytes] : request.files) write_file_bytes(work / name, bytes);
  make_entries(work, request);
  write_file_bytes(scratch / "stdin", request.standard_input);

  const std::string program_path = std::filesystem::absolute(program).string();
  std::vector<std::string> arguments{program_path};
  arguments.insert(arguments.end(), request.arguments.begin(), request.arguments.end());
  ExecStrings argv(arguments);
  ExecStrings envp(merged_environment(request.environment));
  const std::string work_name = work.string();
  const std::string input = (scratch / "stdin").string();
  const std::string output = request.standard_output_to.value_or((scratch / "stdout").string());
  const std::string error = request.standard_error_to.value_or((scratch / "stderr").string());

  rlimit file_size_limit{};
  if (request.file_size_limit) {
    file_size_limit.rlim_cur = file_size_limit.rlim_max = *request.file_size_limit;
  }
  std::map<std::string, std::unique_ptr<FifoReader>> readers;
  for (const std::string& name : request.fifos) {
    readers[name] = std::make_unique<FifoReader>(work / name);
  }
  const pid_t child = start_child(
      {work_name.c_str(), input.c_str(), output.empty() ? nullptr : output.c_str(),
       error.empty() ? nullptr : error.c_str(), program_path.c_str(), argv.get(), envp.get(),
       request.file_size_limit ? &file_size_limit : nullptr, request.file_size_signal_ignored, -1});

  RunResult result;
  const int status = wait_with_limit(child, request.time_limit, result.timed_out);
  result.signalled = WIFSIGNALED(status);
  result.signal = result.signalled ? WTERMSIG(status) : 0;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  for (auto& [name, reader] : readers) result.read_from_fifos[name] = reader->finish();
  if (!request.standard_output_to) result.standard_output = read_file_bytes(output);
  if (!request.standard_error_to) result.standard_error = read_file_bytes(error);
  list_entries(work, result);
  return result;
}

std::map<std::string, std::string> entries_made(const RunRequest& request) {
  std::map<std::string, std::string> entries;
  for (const std::string& name : request.directories) entries[name] = "directory";
  for (const auto& [name, target] : request.symbolic_links) entries[name] = "-> " + target;
  for (const std::string& name : request.fifos) entries[name] = "fifo";
  return entries;
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
