// Console input of the suite: prompted lines with macro recording and playback, answers typed
// ahead on one line, and the report that ends a run on a failed console operation.
//
// All of it reads and writes through textio units: 5 is the terminal input, 6 the terminal
// output. Macro files are formatted sequential files on units from 30 (played) and 40 (recorded).
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <string>
#include <string_view>

namespace startup {

// GETANS modes.
inline constexpr int kNewLine = 0;       // always read a new line and take its first token
inline constexpr int kNextToken = 1;     // next token of the current line, else a new line
inline constexpr int kTokenOrBlank = 2;  // next token of the current line, else a blank answer

// Shows `prompt` and returns one input line in `line`, cut or blank-padded to the field's width,
// with any comment from "!" blanked. A "|" in the prompt ends a prompt line, a "`" ends the
// prompt. Lines starting with "@" are macro commands and never reach the caller.
void RDLINE(std::string_view prompt, std::string& line);

// Hands out the next answer token into `answer` (cut or blank-padded to its width); the value of
// `answer` on entry is the default kept by a line that starts with ",".
void GETANS(std::string_view prompt, int mode, std::string& answer);

// Takes the command-line arguments from number `first` on as answers typed ahead: joined by
// blanks into the answer line, as if typed before the first question, so that questions taking
// the next token take them in order. Blanks, tabs and commas inside an argument separate answers
// as on a typed line. Nothing changes when they hold no answer.
void type_ahead_arguments(int first);

// The answers typed ahead by type_ahead_arguments that no question took, as they were given;
// empty when every one was taken. A question that reads a new line leaves the rest untaken.
std::string untaken_typed_ahead_answers();

// The next of the answers typed ahead by type_ahead_arguments, without taking it: what the next
// question would take from them; empty when none is left to it.
std::string next_typed_ahead_answer();

// Finds the next token of `line` from the 1-based column `position`, which moves past the token
// and its separator (blank, tab or comma). `token` keeps its width; it receives the token's
// characters followed by the separator.
void NXTTOK(std::string_view line, int& position, std::string& token, int& token_length);

// Upper-cases the letters a-z among the first `length` characters of `text`.
void UPCASE(std::string& text, int length);

// Reports a failed I/O operation on the terminal, names its cause in words on standard error (see
// failure_cause.hpp) and stops the run with an empty stop text.
[[noreturn]] void IOERR(int status, int unit);

// IOERR's report line alone, for callers that add a line before they stop: they name the cause
// on standard error themselves.
void write_io_error_report(int status, int unit);

}  // namespace startup
