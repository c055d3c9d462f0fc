// The program's entry wrapper: the one place where stops and I/O failures end the process.
// Threads: the main thread only.
#pragma once

#include <functional>
#include <string>

namespace textio {

// Runs `body` and closes every unit however it ends, then:
// - a normal return gives kExitCompleted (0);
// - a StopRun writes "STOP <text> statement executed" to standard error (nothing for an empty
//   text) and gives the stop's exit status;
// - an IoFailure writes its report to standard error and aborts;
// - any other exception writes one line naming the program and the error to standard error
//   and gives kExitFault (2).
int run_program(int argc, char** argv, const std::function<void(int, char**)>& body);

// The command-line arguments as the program received them (argument 0 is the program).
int argument_count();
const char* argument(int index);
// The program's name without its directory, for the lines it writes on standard error.
std::string program_name();

}  // namespace textio
