#include "textio/status.hpp"

#include <array>
#include <cstring>

namespace textio {

namespace {

constexpr int kFirstOwnNumber = 100;
constexpr std::array<const char*, 33> kOwnMessages = {
    "error in format",
    "illegal unit number",
    "formatted io not allowed",
    "unformatted io not allowed",
    "direct io not allowed",
    "sequential io not allowed",
    "can't backspace file",
    "null file name",
    "can't stat file",
    "unit not connected",
    "off end of record",
    "truncation failed in endfile",
    "incomprehensible list input",
    "out of free space",
    "unit not connected",
    "read unexpected character",
    "bad logical input field",
    "bad variable type",
    "bad namelist name",
    "variable not in namelist",
    "no end record",
    "variable count incorrect",
    "subscript for scalar variable",
    "invalid array section",
    "substring out of bounds",
    "subscript out of bounds",
    "can't read file",
    "can't write file",
    "'new' file exists",
    "can't append to file",
    "non-positive record number",
    "I/O started while already doing I/O",
    "Temporary file name (TMPDIR?) too long",
};

}  // namespace

std::string status_message(int status) {
  if (status == kEndOfFile) return "end of file";
  if (status > 0 && status < kOwnStatusBase) return std::strerror(status);
  const int index = reported_number(status) - kFirstOwnNumber;
  if (status > 0 && index >= 0 && index < static_cast<int>(kOwnMessages.size())) {
    return kOwnMessages[index];
  }
  return "illegal error number " + std::to_string(reported_number(status));
}

int reported_number(int status) {
  return status >= kOwnStatusBase ? status - kOwnStatusBase : status;
}

void stop_run(std::string_view text, int exit_status) {
  throw StopRun{std::string(text), exit_status};
}

}  // namespace textio
