// What a failing run says on standard error, for scripts that log standard output away: one line
// starting with the program's name that names the cause in words. The terminal keeps its own
// lines as they are; these come beside them.
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace startup {

// Writes "<program>: <cause>" on standard error.
void write_failure_cause(std::string_view cause);

// A file beside `file_name` whose name differs from it only in case (the first in name order),
// or nothing: the suite names its files in capitals, so such a file is never opened.
std::optional<std::string> file_name_in_other_case(const std::string& file_name);

// While one lives, the console input calls the question it waits at by `name` ("the map-type
// question") when standard input ends there.
class NamedQuestion {
 public:
  explicit NamedQuestion(std::string_view name);
  ~NamedQuestion();
  NamedQuestion(const NamedQuestion&) = delete;
  NamedQuestion& operator=(const NamedQuestion&) = delete;
};

// The cause of a failed console or file operation with `status` on `unit`, in words: the end of
// standard input at the named question, or the operation, the file and the reason.
std::string io_failure_cause(int status, int unit);

}  // namespace startup
