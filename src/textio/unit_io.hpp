// Internal to textio: the unit table's entries and the byte-level record operations on them,
// shared by the unit table (units.cpp) and the data transfers (records.cpp).
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "textio/temporary_file.hpp"
#include "textio/units.hpp"

namespace textio {

// What a transfer does, as the I/O failure report describes it.
struct TransferMode {
  bool reading = false;
  bool sequential = true;
  bool formatted = true;
};

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
  // Set when the unit writes through a temporary file; `name` is still the file it replaces.
  std::optional<TemporaryFile> temporary;
  bool kept_at_the_end = false;  // the end of the run keeps the temporary file
  // The unit's latest transfer (at first its opening), which the report of a failed close or
  // sync names.
  TransferMode lately;
};

// What the I/O failure report describes: the latest operation.
struct TransferContext {
  std::string operation;
  bool internal = false;
  int unit = 0;
  std::string file_name;  // the file being opened, before the unit holds it
  std::string format;     // empty when no format list was in use
  bool reading = false;
  bool sequential = true;
  bool formatted = true;
};
TransferContext& current_transfer();
void begin_transfer(std::string_view operation, int unit, std::string_view format, bool reading,
                    bool sequential, bool formatted);

// The unit ready for a transfer, attaching "fort.N" to a free unit; nullptr with a status.
Unit* unit_for_transfer(int number, int& status);
const Unit* find_unit(int number);

// Sequential formatted records; the line end is added here (CR LF for files, LF on the console).
int write_sequential_record(Unit& unit, std::string_view text, bool leave_open);
int read_sequential_record(Unit& unit, std::string& text);
// The line end of records written to this unit.
std::string_view line_end(const Unit& unit);
// Adds output to the unit's buffer, handing full buffers to the file; returns a status.
int append_output(Unit& unit, const char* text, std::size_t length);

// Direct-access records of the unit's record length.
int read_direct_record(Unit& unit, int record, std::span<std::byte> bytes, bool pad_with_blanks);
int write_direct_record(Unit& unit, int record, std::span<const std::byte> bytes);
// Consecutive records from `first_record` on, into `bytes`; `got` is the number of bytes read.
int read_direct_records(Unit& unit, int first_record, std::span<std::byte> bytes, std::size_t& got);

}  // namespace textio
