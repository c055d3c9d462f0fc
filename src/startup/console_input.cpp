#include "startup/console_input.hpp"

#include <algorithm>
#include <cstddef>

#include "startup/failure_cause.hpp"
#include "textio/entry.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace startup {
namespace {

constexpr int kTerminalInput = textio::kConsoleInput;
using textio::kTerminal;
constexpr int kNoMacro = 0;
constexpr int kFirstPlayedMacroUnit = 30;
constexpr int kFirstRecordedMacroUnit = 40;
constexpr std::size_t kPromptBufferWidth = 132;
constexpr std::size_t kMacroNameWidth = 80;
constexpr std::size_t kAnswerLineWidth = 255;
constexpr char kBell = '\a';

constexpr std::string_view kAskMacroName = " Enter the name of your macro file: ";
constexpr std::string_view kAlreadyRecording = " You are already writing a macro to";
constexpr std::string_view kNotRecording = " You are NOT writing to a macro file!";
constexpr std::string_view kMacroNotFound = " File NOT found!!";
constexpr std::string_view kQuitHintStart = " Enter ";
constexpr std::string_view kQuitHintEnd = " to resume terminal input";
constexpr std::string_view kQuitWord = "QUIT";
constexpr std::string_view kReadingFromTerminal = " Commands will be read from the terminal";
constexpr std::string_view kReadingFromMacro = " The commands will be read from ";
constexpr std::string_view kMacroEmpty =
    " The macro file is empty, reading from the terminal is resumed.";
constexpr std::string_view kHelpLines[] = {
    " The commands for creating and reading a macro file are:",
    "  @M - Create a macro file",
    "       The name of a file to hold the macro will be requested",
    "  @Q - Terminate the macro file",
    "  @R - Open and read a Macro file",
    "       The name of the file containing the macro will be requested",
};

// The line reader's state for the whole run.
struct LineReaderState {
  int input_unit = kTerminalInput;
  int macro_unit = kNoMacro;  // the macro being recorded
  std::string macro_name = std::string(kMacroNameWidth, ' ');
};

// The answer routine's state for the whole run: answers typed ahead stay here for later questions.
struct AnswerState {
  std::string line = std::string(kAnswerLineWidth, ' ');
  int position = 0;  // 0 until the first line is read
  std::string token = std::string(kAnswerLineWidth, ' ');
  int token_length = 0;
  bool line_from_arguments = false;  // the line holds the command line's answers
  std::string untaken_arguments;     // what of them was left when a new line was read
};

LineReaderState& reader() {
  return textio::program_state<LineReaderState>();
}

AnswerState& answers() {
  return textio::program_state<AnswerState>();
}

bool is_blank_or_tab(char c) {
  return c == ' ' || c == '\t';
}
bool is_separator(char c) {
  return is_blank_or_tab(c) || c == ',';
}

std::string macro_file_name() {
  return std::string(textio::trim_right(reader().macro_name));
}

// The text of a field up to its last non-blank character, at least one character long.
std::string_view text_for_record(std::string_view field) {
  std::string_view text = textio::trim_right(field);
  return text.empty() ? field.substr(0, 1) : text;
}

// Writes the prompt lines ended by "|" and returns the final prompt text (at least one
// character); the prompt stops at "`", and no line holds more than the prompt buffer.
std::string write_prompt_lines(std::string_view prompt) {
  std::string buffer;
  for (char c : prompt.substr(0, prompt.find('`'))) {
    if (c == '|') {
      textio::write_record(kTerminal, "(1X,A)", buffer.empty() ? " " : buffer);
      buffer.clear();
    } else if (buffer.size() < kPromptBufferWidth) {
      buffer += c;
    }
  }
  return buffer.empty() ? " " : buffer;
}

void show_prompt(std::string_view prompt_text) {
  textio::write_record(kTerminal, "(A,A,A,$)", " ", prompt_text, " >");
}

void write_help_block() {
  textio::write_record(kTerminal, "(/1X,80(1H-))");
  for (std::string_view line : kHelpLines) textio::write_record(kTerminal, "(A)", line);
  textio::write_record(kTerminal, "(1X,80(1H-)/)");
}

void read_macro_name(int unit) {
  textio::write_record(kTerminal, "(A,$)", kAskMacroName);
  textio::read_record(unit, "(A)", reader().macro_name);
}

void start_recording() {
  LineReaderState& state = reader();
  if (state.macro_unit != kNoMacro) {
    textio::write_record(kTerminal, "(2A)", kAlreadyRecording, macro_file_name());
    return;
  }
  read_macro_name(state.input_unit);
  int unit = kFirstRecordedMacroUnit;
  textio::NEWUNT(unit);
  // The recording takes the macro file's name whole, when it ends, or not at all.
  textio::open_unit(unit, macro_file_name(),
                    {.status = "NEW", .through_temporary = true, .kept_at_the_end = true});
  state.macro_unit = unit;
}

void stop_recording() {
  LineReaderState& state = reader();
  if (state.macro_unit == kNoMacro) {
    textio::write_record(kTerminal, "(2A)", kNotRecording, std::string(1, kBell));
    return;
  }
  textio::close_unit(state.macro_unit);
  state.macro_unit = kNoMacro;
}

// Asks for macro file names until one opens or the user gives "QUIT"; returns the unit the
// commands are to be read from.
int open_macro_to_play() {
  for (;;) {
    read_macro_name(kTerminalInput);
    if (reader().macro_name.starts_with(kQuitWord)) return kTerminalInput;
    int unit = kFirstPlayedMacroUnit;
    textio::NEWUNT(unit);
    if (textio::try_open_unit(unit, macro_file_name(), {.status = "OLD"}) == textio::kOk) {
      return unit;
    }
    textio::write_record(kTerminal, "(7A)", kMacroNotFound, std::string(1, kBell), kQuitHintStart,
                         "\"", kQuitWord, "\"", kQuitHintEnd);
  }
}

void start_playing() {
  LineReaderState& state = reader();
  state.input_unit = open_macro_to_play();
  if (state.input_unit == kTerminalInput) {
    textio::write_record(kTerminal, "(A)", kReadingFromTerminal);
  } else {
    textio::write_record(kTerminal, "(2A)", kReadingFromMacro, macro_file_name());
  }
}

void handle_macro_command(std::string_view line) {
  const std::string command = textio::upper_case(textio::fit(line, 2));
  if (command == "@M") {
    start_recording();
  } else if (command == "@Q") {
    stop_recording();
  } else if (command == "@R" && reader().input_unit == kTerminalInput) {
    start_playing();
  } else {
    write_help_block();
  }
}

void resume_terminal_input() {
  LineReaderState& state = reader();
  textio::close_unit(state.input_unit);
  state.input_unit = kTerminalInput;
  textio::write_record(kTerminal, "(A)", kMacroEmpty);
}

// Records the line into the macro being written and echoes a line played from a macro file.
void record_and_echo(std::string_view line) {
  const LineReaderState& state = reader();
  if (state.macro_unit == kNoMacro && state.input_unit == kTerminalInput) return;
  const std::string_view text = text_for_record(line);
  if (state.macro_unit != kNoMacro) textio::write_record(state.macro_unit, "(A)", text);
  if (state.input_unit != kTerminalInput) {
    textio::write_record(kTerminal, "(1X,A)", text);
  }
}

void remove_comment(std::string& line) {
  const std::size_t bang = line.find('!');
  if (bang != std::string::npos) std::fill(line.begin() + bang, line.end(), ' ');
}

// The column of the first character of the next token, skipping blanks and tabs (1-based; one
// past the end of the line when none is left).
int token_start(std::string_view line, int position) {
  const int end = static_cast<int>(line.size());
  int column = std::max(position, 1);
  while (column <= end && is_blank_or_tab(line[column - 1])) ++column;
  return std::min(column, end + 1);
}

// The answer line from the position on, without the separators around it.
std::string rest_of_answer_line(const AnswerState& state) {
  const std::size_t from =
      std::min(static_cast<std::size_t>(std::max(state.position, 1)) - 1, state.line.size());
  std::string_view rest = std::string_view(state.line).substr(from);
  while (!rest.empty() && is_separator(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && is_separator(rest.back())) rest.remove_suffix(1);
  return std::string(rest);
}

// A new line replaces the command line's answers: what is left of them was not taken.
void leave_answers_from_arguments(AnswerState& state) {
  if (!state.line_from_arguments) return;
  state.untaken_arguments = rest_of_answer_line(state);
  state.line_from_arguments = false;
  state.line.assign(kAnswerLineWidth, ' ');
}

}  // namespace

void type_ahead_arguments(int first) {
  std::string line;
  for (int i = first; i < textio::argument_count(); ++i) {
    if (i > first) line += ' ';
    line += textio::argument(i);
  }
  if (std::all_of(line.begin(), line.end(), is_separator)) return;
  AnswerState& state = answers();
  // The line is as long as the arguments: none is cut at the width of a typed line.
  line.resize(std::max(line.size(), kAnswerLineWidth), ' ');
  state.line = line;
  state.position = 1;
  state.line_from_arguments = true;
}

std::string untaken_typed_ahead_answers() {
  const AnswerState& state = answers();
  return state.line_from_arguments ? rest_of_answer_line(state) : state.untaken_arguments;
}

std::string next_typed_ahead_answer() {
  const AnswerState& state = answers();
  if (!state.line_from_arguments) return "";
  const std::string rest = rest_of_answer_line(state);
  return rest.substr(0, rest.find_first_of(" \t,"));
}

void RDLINE(std::string_view prompt, std::string& line) {
  const std::string prompt_text = write_prompt_lines(prompt);
  bool terminal_failed = false;
  for (;;) {
    show_prompt(prompt_text);
    const int unit = reader().input_unit;
    const int status = textio::try_read_record(unit, "(A)", line);
    if (status != textio::kOk) {
      if (terminal_failed) IOERR(status, kTerminalInput);
      if (unit == kTerminalInput) {
        terminal_failed = true;
      } else {
        resume_terminal_input();
      }
      continue;
    }
    if (!line.empty() && line[0] == '@') {
      handle_macro_command(line);
      continue;
    }
    record_and_echo(line);
    remove_comment(line);
    return;
  }
}

void GETANS(std::string_view prompt, int mode, std::string& answer) {
  AnswerState& state = answers();
  int working_mode = mode;
  for (;;) {
    if (working_mode == kNewLine || state.position == 0) {
      leave_answers_from_arguments(state);
      RDLINE(prompt, state.line);
      state.position = 1;
    }
    const int start_position = state.position;
    NXTTOK(state.line, state.position, state.token, state.token_length);
    if (state.token_length > 0) {
      std::string_view token = std::string_view(state.token).substr(0, state.token_length);
      if (token.size() > 1 && token.back() == '/') {
        token.remove_suffix(1);
        // The next search starts at the "/", which becomes an answer of its own.
        state.position = token_start(state.line, start_position) + static_cast<int>(token.size());
      }
      textio::assign_field(answer, token);
      return;
    }
    if (start_position == 1 || working_mode == kTokenOrBlank) {
      if (state.token[0] != ',') textio::assign_field(answer, "");
      return;
    }
    working_mode = kNewLine;
  }
}

void NXTTOK(std::string_view line, int& position, std::string& token, int& token_length) {
  textio::assign_field(token, "");
  const int end = static_cast<int>(line.size());
  const int first = token_start(line, position);
  int column = first;
  while (column <= end && !is_separator(line[column - 1])) ++column;
  token_length = column - first;
  const int copied = std::min(column, end) - first + 1;  // the separator too, when there is one
  textio::assign_field(token, line.substr(first - 1, std::max(copied, 0)));
  position = std::min(column, end) + 1;
}

void UPCASE(std::string& text, int length) {
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(std::max(length, 0)));
  text.replace(0, count, textio::upper_case(std::string_view(text).substr(0, count)));
}

void IOERR(int status, int unit) {
  write_io_error_report(status, unit);
  // The report's number means little to a script that logs the terminal away.
  write_failure_cause(io_failure_cause(status, unit));
  textio::stop_run("");
}

void write_io_error_report(int status, int unit) {
  textio::write_record(kTerminal, "(A,I4,A,I3)", " FORTRAN error number",
                       textio::reported_number(status), " on unit", unit);
}

}  // namespace startup
