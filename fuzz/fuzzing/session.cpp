#include "fuzzing/session.hpp"

#include <stdio.h>
#include <stdlib.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "textio/entry.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace fuzzing {

namespace {

constexpr int kUnitCount = 100;

std::filesystem::path make_scratch_directory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "mapconv-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  return pattern;
}

void remove_scratch_directory() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory(), ignored);
}

void empty_scratch_directory() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(scratch_directory(), ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

// A stream that takes every write and keeps nothing: console output costs no system call.
std::FILE* discarding_output() {
  static std::FILE* const stream = [] {
    cookie_io_functions_t functions{};
    functions.write = [](void*, const char*, std::size_t size) -> ssize_t {
      return static_cast<ssize_t>(size);
    };
    return fopencookie(nullptr, "w", functions);
  }();
  if (stream == nullptr) fail("cannot open a discarding stream");
  return stream;
}

// Whether a unit other than the console's is connected, or a console unit was opened on a file.
bool units_left_connected() {
  for (int unit = 0; unit < kUnitCount; ++unit) {
    const bool console = unit == textio::kConsoleInput || unit == textio::kConsoleOutput ||
                         unit == textio::kErrorOutput;
    if (console ? !textio::unit_file_name(unit).empty() : textio::unit_connected(unit)) {
      return true;
    }
  }
  return false;
}

// The text with its control characters, NULs and bytes above 126 written as \xNN.
std::string printable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= ' ' && byte < 127) {
      shown += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

}  // namespace

void set_program_arguments(const std::vector<std::string>& arguments) {
  // The entry wrapper keeps the pointers for the whole process.
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  texts = arguments;
  pointers.clear();
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  textio::run_program(static_cast<int>(texts.size()), pointers.data(), [](int, char**) {});
}

const std::filesystem::path& scratch_directory() {
  static const std::filesystem::path directory = [] {
    std::filesystem::path made = make_scratch_directory();
    std::atexit(remove_scratch_directory);
    return made;
  }();
  return directory;
}

SilencedConsole::SilencedConsole(std::string_view console_input) : input_(console_input) {
  // fmemopen accepts an empty buffer and then reads the end of the file at once.
  input_stream_ = fmemopen(input_.data(), input_.size(), "r");
  if (input_stream_ == nullptr) fail("fmemopen failed");
  textio::set_console_streams(input_stream_, discarding_output(), discarding_output());
}

SilencedConsole::~SilencedConsole() {
  textio::set_console_streams(stdin, stdout, stderr);
  std::fclose(input_stream_);
}

ConsoleSession::~ConsoleSession() {
  if (units_left_connected()) fail("the program code left a unit connected");
  textio::reset_program_state();
}

Session::Session(std::string_view console_input)
    : previous_directory_(std::filesystem::current_path()), console_(console_input) {
  std::filesystem::current_path(scratch_directory());
}

Session::~Session() {
  textio::reset_program_state();
  empty_scratch_directory();
  std::filesystem::current_path(previous_directory_);
}

void trace(const std::string& line) {
  static const bool tracing = std::getenv("MAPCONV_FUZZ_TRACE") != nullptr;
  if (tracing) std::fprintf(stderr, "%s\n", printable(line).c_str());
}

void fail(const std::string& what) {
  std::fprintf(stderr, "\n==== fuzz check failed: %s\n", printable(what).c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzzing
