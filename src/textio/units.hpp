// The unit table: units 0-99, each either free or connected to a file or a console stream.
// Units 5, 6 and 0 are standard input, output and error. A unit used without an open is attached
// to the file "fort." followed by its number.
#pragma once

#include <cstdio>
#include <string>

namespace textio {

inline constexpr int kConsoleInput = 5;
inline constexpr int kConsoleOutput = 6;
inline constexpr int kErrorOutput = 0;

enum class Access { sequential, direct };
enum class Form { formatted, unformatted };
enum class Disposition { keep, remove };

struct OpenOptions {
  std::string status = "UNKNOWN";  // "OLD", "NEW", "UNKNOWN" or "SCRATCH" (any case)
  Access access = Access::sequential;
  Form form = Form::formatted;
  int record_length = 0;  // bytes per record, direct access only
  bool append = false;    // sequential: position at the end of an existing file
};

// Connects `unit` to the file `name`. An "UNKNOWN" or "NEW" sequential file opened without
// append is replaced whole. try_open_unit returns the status; open_unit throws IoFailure.
int try_open_unit(int unit, const std::string& name, const OpenOptions& options = {});
void open_unit(int unit, const std::string& name, const OpenOptions& options = {});

// Disconnects `unit`, keeping or removing its file. Closing a free unit does nothing.
int try_close_unit(int unit, Disposition disposition = Disposition::keep);
void close_unit(int unit, Disposition disposition = Disposition::keep);

// Closes every connected unit (0-99), flushing the console streams.
void close_all_units();

// Inquiries.
bool unit_connected(int unit);
bool unit_is_direct(int unit);
std::string unit_file_name(int unit);  // the name as opened; empty when not connected
int unit_record_length(int unit);      // bytes per direct-access record; 0 otherwise
bool file_exists(const std::string& name);

// The first unit, counting up from `unit`, that is not connected; a start value below 11 or
// above 90 is replaced by 11 first.
void NEWUNT(int& unit);

// Writes any buffered output of `unit` to its file.
void flush_unit(int unit);

// Test support: connects the console units to other streams (nullptr keeps the current one)
// and returns the unit table to its start state.
void set_console_streams(std::FILE* input, std::FILE* output, std::FILE* error);
void reset_units();

}  // namespace textio
