// The unit table: units 0-99, each either free or connected to a file or a console stream.
// Units 5, 6 and 0 are standard input, output and error. A unit used without an open is attached
// to the file "fort." followed by its number.
//
// Threads: the main thread only; the unit table has no lock. The one transfer that worker
// threads may make is write_whole_records (records.hpp), which changes only the entry of the
// unit it writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace textio {

inline constexpr int kConsoleInput = 5;
inline constexpr int kConsoleOutput = 6;
inline constexpr int kErrorOutput = 0;
// The terminal of the suite, where every message goes: the console output.
inline constexpr int kTerminal = kConsoleOutput;
// Units below this one are left to the console and the program's fixed uses.
inline constexpr int kFirstFreeUnit = 11;

enum class Access { sequential, direct };
enum class Form { formatted, unformatted };
enum class Disposition { keep, remove };

struct OpenOptions {
  std::string status = "UNKNOWN";  // "OLD", "NEW", "UNKNOWN" or "SCRATCH" (any case)
  Access access = Access::sequential;
  Form form = Form::formatted;
  int record_length = 0;  // bytes per record, direct access only
  bool append = false;    // sequential: position at the end of an existing file
  // Write through a temporary file beside `name`, which takes the place of `name` only when the
  // unit is closed (see close_unit), so that `name` never holds a part of the new content.
  bool through_temporary = false;
  // Through a temporary file: start empty even for direct access, as for a file written anew.
  bool starts_empty = false;
  // Through a temporary file: the end of the run, however it ends, puts the file in its place as
  // a keeping close would, rather than removing it (a recording of what the run read).
  bool kept_at_the_end = false;
  // Through a temporary file: sync it, and its rename, to the disk when the unit is closed. A
  // file that the program can always make again from others may leave that to the system.
  bool durable = true;
};

// Connects `unit` to the file `name`. An "UNKNOWN" or "NEW" sequential file opened without
// append is replaced whole. try_open_unit returns the status; open_unit throws IoFailure.
// Through a temporary file, the unit starts from a copy of an existing file when it is opened
// for direct access or for appending, and empty when it is sequential, whose records replace the
// file whole; inquiries and failure reports still name `name`. A file that this process may not
// write is refused then, with the error number of the refusal.
int try_open_unit(int unit, const std::string& name, const OpenOptions& options = {});
void open_unit(int unit, const std::string& name, const OpenOptions& options = {});

// Disconnects `unit`, keeping or removing its file. Closing a free unit does nothing.
// A unit writing through a temporary file, closed with keep, syncs its temporary file to the disk
// and renames it over the file it replaces; closed with remove, or when any of that fails, it
// removes the temporary file and leaves the named file as it was.
int try_close_unit(int unit, Disposition disposition = Disposition::keep);
void close_unit(int unit, Disposition disposition = Disposition::keep);

// Closes every connected unit (0-99), flushing the console streams. This is the end of the run,
// normal or not: a unit still writing through a temporary file here was not finished by its
// owner, so its temporary file is removed and the file it would have replaced left as it was,
// unless it was opened to be kept at the end.
void close_all_units();

// The status of the first write to standard output or standard error that failed in this run;
// 0 when none did.
int console_output_failure();

// Inquiries.
bool unit_connected(int unit);
bool unit_is_direct(int unit);
std::string unit_file_name(int unit);  // the name as opened; empty when not connected
int unit_record_length(int unit);      // bytes per direct-access record; 0 otherwise
// Whether the file `name` is there: 0 with `exists` set, or the error number of a check that
// failed for a reason other than the file's absence, which says nothing about the file.
int check_file_exists(const std::string& name, bool& exists);
// The same as a plain answer, for callers that only list or look for files: a failed check
// counts as absent there.
bool file_exists(const std::string& name);
// Why the file `name` (links followed) is no file to read records from: "it is a directory",
// "it is a device", "it is a FIFO", "it is a socket", or why it cannot be checked; nothing for a
// regular file and for a name that leads to no file.
std::optional<std::string> refusal_of_file_kind(const std::string& name);

// The first unit, counting up from `unit`, that is not connected; a start value below 11 or
// above 90 is replaced by 11 first.
void NEWUNT(int& unit);

// What tells one state of a file from another: the file itself, its size, and the times of its
// last change of content and of status. A file changed in place within one tick of the system's
// clock keeps its times, so only under a lock that every writer takes do equal identities mean
// equal contents.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  std::int64_t changed_seconds = 0;
  std::int64_t changed_nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

// The identity of the file open on `unit`, its buffered output written first; nothing for a free
// or console unit, or when the system cannot tell.
std::optional<FileStamp> unit_file_stamp(int unit);

// The identity of the file `name`; nothing when it cannot be had.
std::optional<FileStamp> file_stamp(const std::string& name);

// Whether the stream of `unit` (a console unit too) is the file that `name` leads to: the same
// file under any name. False when either cannot be looked at.
bool unit_is_file(int unit, const std::string& name);

// Writes any buffered output of `unit` to its file.
void flush_unit(int unit);

// Writes any buffered output of `unit` to its file and has the system put the file on the disk;
// a failure raises IoFailure.
void sync_unit(int unit);

// Test support: connects the console units to other streams (nullptr keeps the current one)
// until reset_program_state (program_state.hpp) returns them to the standard streams.
void set_console_streams(std::FILE* input, std::FILE* output, std::FILE* error);

}  // namespace textio
