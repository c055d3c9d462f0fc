// The program-wide state of every subsystem and its one reset. Each piece (the unit table, the
// parsed formats, the command line, the record index, the console input, the page settings, ...)
// is a plain struct owned by one .cpp file and reached only through program_state<Piece>(),
// which makes it on first use and registers it with reset_program_state. A reset therefore
// reaches every piece that exists, and no caller has to know which pieces those are.
//
// Threads: only the main thread, or one thread at a time while the others wait on it, may call
// these; a worker thread never makes or resets a piece.
#pragma once

namespace textio {

// Closes every unit (see close_all_units), then returns every piece of program-wide state to
// its start. The entry calls it before each run, the test fixtures after each test and the fuzz
// sessions after each input.
void reset_program_state();

// Registers `reset`, which returns one piece to its start, with reset_program_state.
void register_state_reset(void (*reset)());

// The one instance of the program-wide `Piece`: value-initialised on first use and again by
// every reset_program_state.
template <typename Piece>
Piece& program_state() {
  static Piece& instance = []() -> Piece& {
    static Piece piece{};
    register_state_reset([] { piece = Piece{}; });
    return piece;
  }();
  return instance;
}

}  // namespace textio
