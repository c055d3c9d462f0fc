// Internal to textio: the unit table's entries, the transfers on them and the byte-level record
// operations, shared by the unit table (units.cpp) and the data transfers (records.cpp). Only the
// textio target has this folder on its include path.
#pragma once

#ifndef MAPCONV_INSIDE_TEXTIO
#error "unit_io.hpp is internal to textio: use units.hpp and records.hpp"
#endif

#include <cstddef>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "textio/file_replacement.hpp"
#include "textio/units.hpp"

namespace textio {

// One operation as the I/O failure report describes it: a data transfer, an open, a close or a
// sync. Each operation owns its Transfer and hands it to the report. An operation begun inside
// another (the open that attaches a free unit to "fort.N", the close of a unit's old connection
// before it is opened anew) describes itself in the outer one's Transfer, so that the report
// names the latest operation begun.
struct Transfer {
  std::string_view operation;  // "read", "write", "open", "close" or "sync"
  int unit = 0;
  bool internal = false;    // on a text variable rather than a unit
  std::string file_name{};  // named when the unit holds no file by the time of the report
  std::string format{};     // empty when no format list was in use
  bool reading = false;
  bool sequential = true;
  bool formatted = true;
};

// The I/O failure report of `transfer`, thrown as IoFailure.
[[noreturn]] void raise_io_failure(const Transfer& transfer, int status);

// Ends an operation of the main thread: records `transfer` as the latest, which the
// raise_io_failure(status) of a caller that took the status describes, and hands back `status`.
int end_transfer(const Transfer& transfer, int status);
// The same for a caller that does not take the status: a failure raises the report.
void end_transfer_or_raise(const Transfer& transfer, int status);

// What the C stream under a unit did last. A stream that was written must be flushed before it is
// read, and one that was read positioned before it is written; flushing a stream being read would
// lose its buffered input on some systems.
enum class StreamDirection { none, reading, writing };

struct Unit {
  int number = 0;
  bool connected = false;
  bool console = false;
  std::string name;
  std::FILE* file = nullptr;
  Access access = Access::sequential;
  Form form = Form::formatted;
  std::size_t record_length = 0;
  bool written = false;  // a sequential file is cut at the end of what was written
  std::string pending;   // sequential output not yet handed to the C library
  StreamDirection stream_direction = StreamDirection::none;
  // Pending when the unit writes through a temporary file, which owns `file` then; `name` is
  // still the file it replaces.
  FileReplacement replacement;
  bool kept_at_the_end = false;  // the end of the run keeps the temporary file
  // The unit's latest transfer (at first its opening), in whose terms the report of a failed
  // close or sync is made.
  Transfer lately;
};

// The unit of `transfer`, attached to "fort.N" when free, with `transfer` as its latest transfer;
// nullptr, with the status, when there is none. An attach describes itself in `transfer`.
// The table is not otherwise changed: a worker thread in its turn may call this on a connected
// unit.
Unit* unit_for_transfer(Transfer& transfer, int& status);
const Unit* find_unit(int number);

// Sequential formatted records; the line end is added here (CR LF for files, LF on the console).
int write_sequential_record(Unit& unit, std::string_view text, bool leave_open);
int read_sequential_record(Unit& unit, std::string& text);
// The line end of records written to this unit.
std::string_view line_end(const Unit& unit);
// Adds output to the unit's buffer, handing full buffers to the file; returns a status. Only the
// unit's own entry changes, but for the first failure of a console unit (console_output_failure).
int append_output(Unit& unit, const char* text, std::size_t length);

// Direct-access records of the unit's record length.
int read_direct_record(Unit& unit, int record, std::span<std::byte> bytes, bool pad_with_blanks);
int write_direct_record(Unit& unit, int record, std::span<const std::byte> bytes);
// Consecutive records from `first_record` on, into `bytes`; `got` is the number of bytes read.
int read_direct_records(Unit& unit, int first_record, std::span<std::byte> bytes, std::size_t& got);

}  // namespace textio
