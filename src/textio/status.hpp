// I/O status numbers, their messages, and the two ways a run ends early.
// Threads: any; nothing here keeps state.
#pragma once

#include <string>
#include <string_view>

namespace textio {

// Status of every I/O operation: 0 success, -1 end of file, a positive error number of the
// system, or a failure found by the record layer itself. The record layer's own statuses lie far
// above every error number of the system, so that the two never meet (a full disk quota is not
// "subscript for scalar variable"); reports show them by their numbers 100..132.
inline constexpr int kOk = 0;
inline constexpr int kEndOfFile = -1;
inline constexpr int kOwnStatusBase = 1 << 20;
constexpr int own_status(int number) {
  return kOwnStatusBase + number;
}
inline constexpr int kErrFormat = own_status(100);       // "error in format"
inline constexpr int kErrIllegalUnit = own_status(101);  // "illegal unit number"
inline constexpr int kErrDirectNotAllowed = own_status(104);
inline constexpr int kErrSequentialNotAllowed = own_status(105);
inline constexpr int kErrNullFileName = own_status(107);
inline constexpr int kErrOffEndOfRecord = own_status(110);
inline constexpr int kErrTruncationFailed = own_status(111);
inline constexpr int kErrUnexpectedCharacter = own_status(115);  // "read unexpected character"
inline constexpr int kErrBadVariableType = own_status(117);
inline constexpr int kErrCantRead = own_status(126);
inline constexpr int kErrCantWrite = own_status(127);
inline constexpr int kErrNewFileExists = own_status(128);
inline constexpr int kErrCantAppend = own_status(129);
inline constexpr int kErrNonPositiveRecord = own_status(130);

// The message for a status: "end of file" for -1, the record layer's own message for its own
// statuses, the C library's text for the system's error numbers, "illegal error number" otherwise.
std::string status_message(int status);

// The number that a report shows for a status: the record layer's own as 100..132, every other
// as it is.
int reported_number(int status);

// Exit statuses of a run.
inline constexpr int kExitCompleted = 0;  // the run produced its result
inline constexpr int kExitStopped = 1;    // a stop ended the run without its result
inline constexpr int kExitFault = 2;      // an unexpected error of the program ended the run

// Thrown to stop the run with a stop text. Only the program's entry wrapper catches it.
struct StopRun {
  std::string text;
  int exit_status = kExitStopped;
};

// Thrown when an I/O operation whose caller does not take the status fails. `report` holds the
// whole I/O failure report, line by line, each line ending in a line feed.
struct IoFailure {
  int status = 0;
  std::string report;
};

// Stops the run: the entry wrapper writes "STOP <text> statement executed" (nothing for an empty
// text), closes every unit and exits with `exit_status`. A stop ends a run without its result
// unless its caller says that it is the run's normal end (kExitCompleted).
[[noreturn]] void stop_run(std::string_view text, int exit_status = kExitStopped);

}  // namespace textio
