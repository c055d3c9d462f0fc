// Runs a program as a child process with scripted standard input, for end-to-end tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace startup_test {

struct ChildRun {
  std::string out;     // standard output
  std::string err;     // standard error
  int exit_code = -1;  // -1 when the child did not exit normally
  int signal = 0;      // the signal that ended the child, 0 when it exited
};

struct ChildSetup {
  std::vector<std::string> arguments;  // argument 0 is the program's path
  std::string input;                   // all of standard input
  std::string directory;               // working directory of the child
  std::vector<std::pair<std::string, std::string>> set_environment;
  std::vector<std::string> unset_environment;
};

ChildRun run_child(const ChildSetup& setup);

// A fresh directory under the system's temporary directory, removed with its files on
// destruction.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

}  // namespace startup_test
