// Console input: arbitrary typed text and an arbitrary macro file "MAC1" through a series of
// RDLINE and GETANS questions, until the typed text runs out. Every field keeps its width, a
// line never reaches the caller with its comment or as a macro command, and an answer is one
// token.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzzing/inputs.hpp"
#include "fuzzing/session.hpp"
#include "startup/console_input.hpp"
#include "support/files.hpp"

namespace {

constexpr int kMaxQuestions = 200;
constexpr std::string_view kDefaultAnswer = "DFLT";
// The default series when the input names no questions: GETANS modes 1, 0 and 2 and RDLINE.
constexpr std::string_view kDefaultQuestions = "\x25\x03\x4a\x50";

constexpr std::string_view kPrompts[] = {
    "Enter a value",
    "First line of the question|Enter a value",
    "Question|with two lines|`and a hidden tail",
    "",
};

bool starts_with_command(std::string_view line, char command) {
  return line.size() >= 2 && line[0] == '@' && (line[1] == command || line[1] == command + 32);
}

// A macro command reads a file name from the next line of its own source; a name with a "/"
// could reach beyond the scratch directory, so such inputs are left alone. "@R" reads the names
// from the terminal until one opens, so after it no typed line may hold a "/".
bool reaches_outside(std::string_view text, bool typed) {
  bool after_command = false;
  bool after_play = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if ((after_command || after_play) && line.find('/') != std::string_view::npos) return true;
    after_command = starts_with_command(line, 'M') || (typed && starts_with_command(line, 'R'));
    after_play = after_play || (typed && starts_with_command(line, 'R'));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return false;
}

void check_line(const std::string& line, std::size_t width) {
  if (line.size() != width) fuzzing::fail("RDLINE changed the width of its field");
  if (line.find('!') != std::string::npos) fuzzing::fail("RDLINE kept a comment: [" + line + "]");
  if (!line.empty() && line[0] == '@') fuzzing::fail("RDLINE handed out a macro command");
}

void check_answer(const std::string& answer, std::size_t width) {
  if (answer.size() != width) fuzzing::fail("GETANS changed the width of its field");
  const std::string_view token(answer.data(), answer.find_last_not_of(' ') + 1);
  if (token.find_first_of(" \t,!") != std::string_view::npos) {
    fuzzing::fail("GETANS handed out more than a token: [" + answer + "]");
  }
}

// One question: the low two bits choose RDLINE or a GETANS mode, the next two the prompt and
// the rest the field's width.
void ask(std::uint8_t question) {
  const std::string_view prompt = kPrompts[question >> 2 & 3];
  const std::size_t width = 1 + static_cast<std::size_t>(question >> 4) * 17;
  const int kind = question & 3;
  if (kind == 3) {
    std::string line(width, ' ');
    startup::RDLINE(prompt, line);
    check_line(line, width);
    return;
  }
  std::string answer(kDefaultAnswer);
  answer.resize(width, ' ');
  startup::GETANS(prompt, kind, answer);
  check_answer(answer, width);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::ConsoleInput input =
      fuzzing::decode_console_input({reinterpret_cast<const char*>(data), size});
  if (reaches_outside(input.typed, true) || reaches_outside(input.macro, false)) return 0;
  const std::string_view questions =
      input.questions.empty() ? kDefaultQuestions : std::string_view(input.questions);
  fuzzing::Session session(input.typed);
  support::write_file_bytes("MAC1", input.macro);
  session.run([&] {
    for (int n = 0; n < kMaxQuestions; ++n) {
      ask(static_cast<std::uint8_t>(questions[static_cast<std::size_t>(n) % questions.size()]));
    }
  });
  return 0;
}
