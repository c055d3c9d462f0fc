#include "child_process.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace startup_test {
namespace {

// Runs in the forked child: only async-signal-safe work and exec, or _exit on failure.
[[noreturn]] void exec_child(const ChildSetup& setup, const std::string& input_path,
                             const std::string& out_path, const std::string& err_path,
                             const std::vector<char*>& argv) {
  const int input = open(input_path.c_str(), O_RDONLY);
  const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (input < 0 || out < 0 || err < 0) _exit(127);
  if (dup2(input, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
  if (!setup.directory.empty() && chdir(setup.directory.c_str()) != 0) _exit(127);
  for (const auto& [name, value] : setup.set_environment) setenv(name.c_str(), value.c_str(), 1);
  for (const std::string& name : setup.unset_environment) unsetenv(name.c_str());
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

ChildRun run_child(const ChildSetup& setup) {
  const TempDirectory streams;
  const std::string input_path = streams.file("stdin");
  const std::string out_path = streams.file("stdout");
  const std::string err_path = streams.file("stderr");
  write_file(input_path, setup.input);

  std::vector<std::string> arguments = setup.arguments;
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) exec_child(setup, input_path, out_path, err_path, argv);

  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
  ChildRun run;
  run.out = read_file(out_path);
  run.err = read_file(err_path);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return run;
}

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "startup-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace startup_test
