// I/O status numbers, their messages, and the two ways a run ends early.
// Threads: any; nothing here keeps state.
#pragma once

#include <string>
#include <string_view>

namespace textio {

// Status of every I/O operation: 0 success, -1 end of file, 1..99 a C library error number,
// 100..132 a failure found by the record layer itself.
inline constexpr int kOk = 0;
inline constexpr int kEndOfFile = -1;
inline constexpr int kErrFormat = 100;       // "error in format"
inline constexpr int kErrIllegalUnit = 101;  // "illegal unit number"
inline constexpr int kErrDirectNotAllowed = 104;
inline constexpr int kErrSequentialNotAllowed = 105;
inline constexpr int kErrNullFileName = 107;
inline constexpr int kErrOffEndOfRecord = 110;
inline constexpr int kErrTruncationFailed = 111;
inline constexpr int kErrUnexpectedCharacter = 115;  // "read unexpected character"
inline constexpr int kErrBadVariableType = 117;
inline constexpr int kErrCantRead = 126;
inline constexpr int kErrCantWrite = 127;
inline constexpr int kErrNewFileExists = 128;
inline constexpr int kErrCantAppend = 129;
inline constexpr int kErrNonPositiveRecord = 130;

// The message for a status: the C library's text below 100, "end of file" for -1, the record
// layer's own message for 100..132, "illegal error number" otherwise.
std::string status_message(int status);

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
