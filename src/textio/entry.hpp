// The program's entry wrapper: the one place where stops and I/O failures end the process.
#pragma once

#include <functional>

namespace textio {

// Runs `body`. A StopRun writes "STOP <text> statement executed" to standard error (nothing for
// an empty text), closes every unit and returns 0. An IoFailure writes its report to standard
// error, closes every unit and aborts. A normal return closes every unit and returns 0.
int run_program(int argc, char** argv, const std::function<void(int, char**)>& body);

// The command-line arguments as the program received them (argument 0 is the program).
int argument_count();
const char* argument(int index);

}  // namespace textio
