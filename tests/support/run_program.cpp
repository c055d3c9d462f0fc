#include "support/run_program.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
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
  const char* output;
  const char* error;
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

[[noreturn]] void exec_child(const ChildSetup& setup) {
  const int in = open(setup.input, O_RDONLY);
  const int out = open(setup.output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(setup.error, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in >= 0 && out >= 0 && err >= 0 && dup2(in, 0) >= 0 && dup2(out, 1) >= 0 &&
      dup2(err, 2) >= 0 && chdir(setup.directory) == 0 && apply_limits(setup)) {
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

std::map<std::string, std::string> files_under(const std::filesystem::path& directory) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (entry.is_regular_file()) {
      files[std::filesystem::relative(entry.path(), directory).string()] =
          read_file_bytes(entry.path());
    }
  }
  return files;
}

}  // namespace

RunResult run_built_program(const std::filesystem::path& program, const RunRequest& request) {
  const TempDirectory scratch;
  const std::filesystem::path work = scratch / "work";
  std::filesystem::create_directory(work);
  for (const auto& [name, bytes] : request.files) write_file_bytes(work / name, bytes);
  write_file_bytes(scratch / "stdin", request.standard_input);

  const std::string program_path = std::filesystem::absolute(program).string();
  std::vector<std::string> arguments{program_path};
  arguments.insert(arguments.end(), request.arguments.begin(), request.arguments.end());
  ExecStrings argv(arguments);
  ExecStrings envp(merged_environment(request.environment));
  const std::string work_name = work.string();
  const std::string input = (scratch / "stdin").string();
  const std::string output = (scratch / "stdout").string();
  const std::string error = (scratch / "stderr").string();

  rlimit file_size_limit{};
  if (request.file_size_limit) {
    file_size_limit.rlim_cur = file_size_limit.rlim_max = *request.file_size_limit;
  }
  const pid_t child = start_child({work_name.c_str(), input.c_str(), output.c_str(), error.c_str(),
                                   program_path.c_str(), argv.get(), envp.get(),
                                   request.file_size_limit ? &file_size_limit : nullptr,
                                   request.file_size_signal_ignored, -1});

  RunResult result;
  const int status = wait_with_limit(child, request.time_limit, result.timed_out);
  result.signalled = WIFSIGNALED(status);
  result.signal = result.signalled ? WTERMSIG(status) : 0;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.standard_output = read_file_bytes(output);
  result.standard_error = read_file_bytes(error);
  result.files = files_under(work);
  return result;
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
