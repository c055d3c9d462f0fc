#include "startup/failure_cause.hpp"

#include <algorithm>
#include <vector>

#include "os/os.hpp"
#include "textio/entry.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace startup {
namespace {

// The question the console input waits at, for the run.
struct QuestionState {
  std::string name;
};

QuestionState& question() {
  return textio::program_state<QuestionState>();
}

}  // namespace

void write_failure_cause(std::string_view cause) {
  textio::write_record(textio::kErrorOutput, "(A)",
                       textio::program_name() + ": " + std::string(cause));
}

std::optional<std::string> file_name_in_other_case(const std::string& file_name) {
  const std::size_t name_start = os::file_name_start(file_name);  // 0 without a directory part
  const std::string directory = file_name.substr(0, name_start);
  const std::string wanted = textio::upper_case(file_name.substr(name_start));
  std::vector<std::string> found;
  for (const std::string& name : os::directory_entries(directory)) {
    if (textio::upper_case(name) == wanted && directory + name != file_name) found.push_back(name);
  }
  if (found.empty()) return std::nullopt;
  return directory + *std::min_element(found.begin(), found.end());
}

NamedQuestion::NamedQuestion(std::string_view name) {
  question().name = name;
}

NamedQuestion::~NamedQuestion() {
  question().name.clear();
}

std::string io_failure_cause(int status, int unit) {
  if (unit == textio::kConsoleInput && status == textio::kEndOfFile) {
    const std::string& name = question().name;
    return "standard input ended" + (name.empty() ? std::string() : " at " + name);
  }
  if (unit == textio::kConsoleInput) {
    return "standard input could not be read: " + textio::status_message(status);
  }
  const std::string file = textio::unit_file_name(unit);
  const std::string subject = file.empty() ? "unit " + std::to_string(unit) : file;
  return "a file operation on " + subject + " failed: " + textio::status_message(status);
}

}  // namespace startup
