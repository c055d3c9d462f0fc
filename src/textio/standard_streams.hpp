// The standard descriptors 0, 1 and 2 as the program found them. A process started with one of
// them closed would hand that number to the next file it opens, and the terminal lines written to
// that stream would go into the file (an experiment file opened for update among them).
// Threads: the main thread only, before any file is opened.
#pragma once

namespace textio {

// Gives each standard descriptor that is closed a stand-in on the null device, opened the other
// way round (standard input for writing, the output streams for reading), so that every transfer
// on it still fails as on a closed descriptor while no file can take its number. Returns false
// when a stand-in could not be made: the program must then open no file.
bool reserve_standard_descriptors();

}  // namespace textio
