#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "os/os.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "unit_io.hpp"

namespace textio {

namespace {

constexpr int kUnitCount = 100;
constexpr int kLastFreeSearchStart = 90;
constexpr std::size_t kOutputChunk = 1 << 16;
// A piece of output this large is handed to the C library as it stands rather than gathered:
// copying it into the unit's buffer would cost more than the call it saves.
constexpr std::size_t kWholePiece = 1 << 12;

struct ConsoleStreams {
  std::FILE* input = stdin;
  std::FILE* output = stdout;
  std::FILE* error = stderr;
};

struct UnitTable {
  std::array<Unit, kUnitCount> units;
  ConsoleStreams console;
  // The first failed write of the console output streams, kept until the end of the run.
  int console_output_failure = 0;

  UnitTable() { connect_console(); }

  void connect_console() {
    for (int i = 0; i < kUnitCount; ++i) {
      units[i] = Unit{};
      units[i].number = i;
    }
    attach_console(kConsoleInput, console.input);
    attach_console(kConsoleOutput, console.output);
    attach_console(kErrorOutput, console.error);
  }

  void attach_console(int number, std::FILE* stream) {
    Unit& unit = units[number];
    unit.connected = true;
    unit.console = true;
    unit.file = stream;
  }
};

UnitTable& table() {
  return program_state<UnitTable>();
}

bool valid_unit_number(int number) {
  return number >= 0 && number < kUnitCount;
}

// Console output is written on without a check at many places (prompts, flushes before reads);
// its first failure is kept for the end of the run.
int noted_failure(const Unit& unit, int status) {
  int& first = table().console_output_failure;
  if (unit.console && status != kOk && first == kOk) first = status;
  return status;
}

// A stream that was read last must be positioned before it is written.
int write_to_file(Unit& unit, const char* text, std::size_t length) {
  errno = 0;
  if (unit.stream_direction == StreamDirection::reading && !unit.console) {
    if (int status = os::seek_to(unit.file, os::position_of(unit.file))) return status;
  }
  unit.stream_direction = StreamDirection::writing;
  if (std::fwrite(text, 1, length, unit.file) == length) return kOk;
  return noted_failure(unit, errno ? errno : kErrCantWrite);
}

int flush_pending(Unit& unit) {
  if (unit.pending.empty()) return kOk;
  int status = write_to_file(unit, unit.pending.data(), unit.pending.size());
  unit.pending.clear();
  return status;
}

// Only a stream that was written is flushed: some C libraries drop what a stream being read holds
// in its buffer when it is flushed.
int flush_to_system(Unit& unit) {
  int status = flush_pending(unit);
  if (unit.stream_direction != StreamDirection::writing) return status;
  if (std::fflush(unit.file) != 0 && status == kOk) {
    status = noted_failure(unit, errno ? errno : kErrCantWrite);
  }
  if (!unit.console) unit.stream_direction = StreamDirection::none;
  return status;
}

// Console output stays buffered, but both console streams are written out before the console
// is read or the other stream is written, so that prompts and messages appear in order.
void flush_console_output() {
  UnitTable& t = table();
  for (int number : {kConsoleOutput, kErrorOutput}) {
    Unit& unit = t.units[number];
    if (unit.connected && unit.console) flush_to_system(unit);
  }
}

std::FILE* open_stream(const std::string& name, bool exists, int& status) {
  std::FILE* file = os::open_file(name, exists ? "r+b" : "w+b", status);
  if (!file && exists && (status == EACCES || status == EROFS)) {
    file = os::open_file(name, "rb", status);
  }
  return file;
}

// A device or a FIFO written in place is there for any status but takes no file's place.
// A device or a FIFO takes what is written as it comes: it is opened for writing only, as a
// shell would, and neither read nor cut.
std::FILE* open_in_place(const std::string& name, bool keeps_contents, int& status) {
  return os::open_file(name, keeps_contents ? "r+b" : "wb", status);
}

int check_status_word(const std::string& status_word, bool exists, bool in_place) {
  std::string status = upper_case(trim_right(status_word));
  if (status == "OLD" && !exists) return ENOENT;
  if (status == "NEW" && exists && !in_place) return kErrNewFileExists;
  if (status != "OLD" && status != "NEW" && status != "UNKNOWN" && status != "SCRATCH") {
    return EINVAL;
  }
  return kOk;
}

// Direct access and appending keep what the file holds; sequential records replace it whole.
bool starts_from_old_contents(const OpenOptions& options) {
  return !options.starts_empty && (options.access == Access::direct || options.append);
}

// A rewritten sequential file ends where its new content ends. A file that ends there already
// (a new one) is left alone, and so are devices and FIFOs, which have no end to cut; one whose
// kind cannot be told is cut as a regular file would be.
int cut_after_content(std::FILE* file) {
  os::FileStatus status;
  const bool known = os::open_file_status(file, status) == 0;
  if (known && status.kind != os::FileKind::regular) return kOk;
  const std::int64_t end = os::position_of(file);
  if (end < 0 || (known && status.size == end)) return kOk;
  return os::truncate_file(file, end) != 0 ? kErrTruncationFailed : kOk;
}

// Writes out what the unit holds; returns the first failure.
int write_out(Unit& unit) {
  int status = flush_to_system(unit);
  if (status == kOk && unit.access == Access::sequential && unit.written) {
    status = cut_after_content(unit.file);
  }
  return status;
}

// Writes out what the unit holds and closes its stream; returns the first failure.
int close_stream(Unit& unit) {
  int status = write_out(unit);
  if (std::fclose(unit.file) != 0 && status == kOk) status = errno ? errno : kErrCantWrite;
  return status;
}

// What was written for a file made with status "NEW" whose name another file took meanwhile stays
// under its temporary name, and the terminal says where.
void report_kept_temporary(const std::string& replaced, const std::string& kept) {
  Unit& terminal = table().units[kConsoleOutput];
  if (!terminal.connected) return;
  write_sequential_record(terminal,
                          " **** " + replaced + " was made meanwhile: " +
                              "what was written for it is kept as " + kept + " ****",
                          false);
  flush_to_system(terminal);
}

// The new content takes the place of the named file only when all of it is on the disk.
int finish_replacement(FileReplacement& replacement, bool keep, int status) {
  if (keep && status == kOk) {
    const std::string replaced = replacement.replaced_path();
    const std::string kept = replacement.written_path();
    status = replacement.commit();
    if (status != kErrNewFileExists) return status;
    report_kept_temporary(replaced, kept);
    return kOk;
  }
  replacement.discard();
  return status;
}

// A close or a sync of a connected unit is reported in the terms of the unit's latest transfer,
// naming the file that the unit may no longer hold by then.
Transfer latest_on(const Unit& unit, std::string_view operation) {
  return {.operation = operation,
          .unit = unit.number,
          .file_name = unit.name,
          .reading = unit.lately.reading,
          .sequential = unit.lately.sequential,
          .formatted = unit.lately.formatted};
}

void release(Unit& unit) {
  int number = unit.number;
  unit = Unit{};
  unit.number = number;
}

int close_described(Transfer& transfer, int number, Disposition disposition) {
  transfer = {.operation = "close", .unit = number};
  if (!valid_unit_number(number)) return kErrIllegalUnit;
  Unit& unit = table().units[number];
  if (!unit.connected) return kOk;
  transfer = latest_on(unit, "close");
  if (unit.console) return flush_to_system(unit);
  const bool keep = disposition == Disposition::keep;
  FileReplacement replacement = std::move(unit.replacement);
  int status = replacement.pending() ? write_out(unit) : close_stream(unit);
  const std::string name = unit.name;
  release(unit);
  if (replacement.pending()) return finish_replacement(replacement, keep, status);
  if (!keep) {
    const int removed = os::remove_file(name);
    if (status == kOk) status = removed;
  }
  return status;
}

// The stream of a unit about to be connected to `name`; nullptr with the status.
std::FILE* open_unit_stream(const std::string& name, const OpenOptions& options,
                            FileReplacement& replacement, int& status) {
  bool scratch = upper_case(trim_right(options.status)) == "SCRATCH";
  bool exists = false;
  if (!scratch && (status = check_file_exists(name, exists))) return nullptr;
  ReplacementTarget target{name, false};
  if (options.through_temporary && !scratch && (status = replacement_target(name, target))) {
    return nullptr;
  }
  if ((status = check_status_word(options.status, exists, target.in_place))) return nullptr;
  if (options.access == Access::direct && options.record_length <= 0) {
    status = EINVAL;
    return nullptr;
  }
  std::FILE* file = nullptr;
  if (scratch) {
    file = os::open_scratch_file(status);
  } else if (target.in_place) {
    file = open_in_place(name, starts_from_old_contents(options), status);
  } else if (options.through_temporary) {
    status = replacement.begin(
        name, {.durable = options.durable,
               .copy_contents = starts_from_old_contents(options),
               .only_where_absent = upper_case(trim_right(options.status)) == "NEW"});
    file = replacement.stream();
  } else {
    file = open_stream(name, exists, status);
  }
  if (!file && status == kOk) status = kErrCantWrite;
  return file;
}

int open_described(Transfer& transfer, int number, const std::string& name,
                   const OpenOptions& options) {
  const Transfer opening{.operation = "open",
                         .unit = number,
                         .file_name = name,
                         .sequential = options.access == Access::sequential,
                         .formatted = options.form == Form::formatted};
  transfer = opening;
  if (!valid_unit_number(number)) return kErrIllegalUnit;
  if (trim_right(name).empty()) return kErrNullFileName;
  Unit& unit = table().units[number];
  // A failed close of the old connection (a temporary file that could not take its name) is
  // this open's failure: it must not pass without a word.
  if (unit.connected && !unit.console) {
    if (int status = close_described(transfer, number, Disposition::keep)) return status;
  }
  int status = kOk;
  FileReplacement replacement;
  std::FILE* file = open_unit_stream(name, options, replacement, status);
  if (!file) return status;
  if (options.append && os::seek_to_end(file) != 0) {
    if (!replacement.pending()) std::fclose(file);
    return kErrCantAppend;
  }
  unit = Unit{};
  unit.number = number;
  unit.connected = true;
  unit.name = name;
  unit.file = file;
  unit.replacement = std::move(replacement);
  unit.kept_at_the_end = options.kept_at_the_end;
  unit.access = options.access;
  unit.form = options.form;
  unit.record_length = static_cast<std::size_t>(options.record_length);
  unit.lately = opening;
  return kOk;
}

}  // namespace

const Unit* find_unit(int number) {
  return valid_unit_number(number) ? &table().units[number] : nullptr;
}

int try_open_unit(int number, const std::string& name, const OpenOptions& options) {
  Transfer transfer;
  return end_transfer(transfer, open_described(transfer, number, name, options));
}

void open_unit(int number, const std::string& name, const OpenOptions& options) {
  Transfer transfer;
  end_transfer_or_raise(transfer, open_described(transfer, number, name, options));
}

int try_close_unit(int number, Disposition disposition) {
  Transfer transfer;
  return end_transfer(transfer, close_described(transfer, number, disposition));
}

void close_unit(int number, Disposition disposition) {
  Transfer transfer;
  end_transfer_or_raise(transfer, close_described(transfer, number, disposition));
}

void close_all_units() {
  for (const Unit& unit : table().units) {
    const bool unfinished = unit.replacement.pending() && !unit.kept_at_the_end;
    try_close_unit(unit.number, unfinished ? Disposition::remove : Disposition::keep);
  }
}

bool unit_connected(int number) {
  const Unit* unit = find_unit(number);
  return unit && unit->connected;
}

bool unit_is_direct(int number) {
  const Unit* unit = find_unit(number);
  return unit && unit->connected && unit->access == Access::direct;
}

std::string unit_file_name(int number) {
  const Unit* unit = find_unit(number);
  return unit && unit->connected ? unit->name : std::string();
}

int unit_record_length(int number) {
  const Unit* unit = find_unit(number);
  return unit_is_direct(number) ? static_cast<int>(unit->record_length) : 0;
}

int check_file_exists(const std::string& name, bool& exists) {
  exists = false;
  if (trim_right(name).empty()) return kOk;
  os::FileStatus status;
  const int checked = os::file_status(std::string(trim_right(name)), status);
  exists = checked == 0;
  return checked == ENOENT ? kOk : checked;
}

bool file_exists(const std::string& name) {
  bool exists = false;
  return check_file_exists(name, exists) == kOk && exists;
}

void NEWUNT(int& unit) {
  if (unit < kFirstFreeUnit || unit > kLastFreeSearchStart) unit = kFirstFreeUnit;
  while (unit_connected(unit)) ++unit;
}

void flush_unit(int number) {
  if (!unit_connected(number)) return;
  flush_to_system(table().units[number]);
}

namespace {

std::optional<FileStamp> stamp_of(const os::FileStatus& status) {
  if (!status.identity_known) return std::nullopt;
  return FileStamp{status.identity.device,    status.identity.number,      status.size,
                   status.modified_seconds,   status.modified_nanoseconds, status.changed_seconds,
                   status.changed_nanoseconds};
}

}  // namespace

std::optional<FileStamp> unit_file_stamp(int number) {
  if (!unit_connected(number)) return std::nullopt;
  Unit& unit = table().units[number];
  os::FileStatus status;
  if (unit.console || flush_to_system(unit) != kOk ||
      os::open_file_status(unit.file, status) != 0) {
    return std::nullopt;
  }
  return stamp_of(status);
}

namespace {

std::string_view kind_refused(os::FileKind kind) {
  switch (kind) {
    case os::FileKind::regular:
      return "";
    case os::FileKind::directory:
      return "it is a directory";
    case os::FileKind::device:
      return "it is a device";
    case os::FileKind::fifo:
      return "it is a FIFO";
    case os::FileKind::socket:
      return "it is a socket";
    case os::FileKind::other:
      break;
  }
  return "it is not a regular file";
}

}  // namespace

std::optional<std::string> refusal_of_file_kind(const std::string& name) {
  os::FileStatus file;
  const int status = os::file_status(name, file);
  if (status == ENOENT) return std::nullopt;
  if (status != 0) return "it cannot be checked: " + status_message(status);
  const std::string_view refused = kind_refused(file.kind);
  if (refused.empty()) return std::nullopt;
  return std::string(refused);
}

bool unit_is_file(int number, const std::string& name) {
  if (!unit_connected(number)) return false;
  os::FileStatus stream;
  os::FileStatus file;
  if (os::open_file_status(table().units[number].file, stream) != 0 ||
      os::file_status(name, file) != 0) {
    return false;
  }
  return stream.identity_known && file.identity_known && stream.identity == file.identity;
}

std::optional<FileStamp> file_stamp(const std::string& name) {
  os::FileStatus status;
  if (os::file_status(name, status) != 0) return std::nullopt;
  return stamp_of(status);
}

void sync_unit(int number) {
  Transfer transfer{.operation = "sync", .unit = number, .sequential = !unit_is_direct(number)};
  int status = kOk;
  if (unit_connected(number)) {
    Unit& unit = table().units[number];
    transfer = latest_on(unit, "sync");
    status = flush_to_system(unit);
    if (status == kOk) status = sync_stream(unit.file);
  }
  end_transfer_or_raise(transfer, status);
}

void set_console_streams(std::FILE* input, std::FILE* output, std::FILE* error) {
  ConsoleStreams& console = table().console;
  flush_console_output();
  if (input) console.input = input;
  if (output) console.output = output;
  if (error) console.error = error;
  table().attach_console(kConsoleInput, console.input);
  table().attach_console(kConsoleOutput, console.output);
  table().attach_console(kErrorOutput, console.error);
}

int console_output_failure() {
  return table().console_output_failure;
}

Unit* unit_for_transfer(Transfer& transfer, int& status) {
  status = kOk;
  const int number = transfer.unit;
  if (!valid_unit_number(number)) {
    status = kErrIllegalUnit;
    return nullptr;
  }
  Unit& unit = table().units[number];
  Transfer asked = transfer;
  if (!unit.connected) {
    status = open_described(transfer, number, "fort." + std::to_string(number), {});
    if (status != kOk) return nullptr;
  }
  unit.lately = std::move(asked);
  return &unit;
}

std::string_view line_end(const Unit& unit) {
  return unit.console ? "\n" : "\r\n";
}

int append_output(Unit& unit, const char* text, std::size_t length) {
  if (length >= kWholePiece) {
    // A piece this large goes to the file as it stands, after the output already waiting.
    if (int status = flush_pending(unit)) return status;
    return write_to_file(unit, text, length);
  }
  unit.pending.append(text, length);
  return unit.pending.size() >= kOutputChunk ? flush_pending(unit) : kOk;
}

int write_sequential_record(Unit& unit, std::string_view text, bool leave_open) {
  if (unit.access != Access::sequential) return kErrDirectNotAllowed;
  if (unit.console) {
    Unit& other = table().units[unit.number == kErrorOutput ? kConsoleOutput : kErrorOutput];
    if (other.connected && other.console) flush_to_system(other);
  }
  unit.written = true;
  int status = append_output(unit, text.data(), text.size());
  if (!leave_open && status == kOk) {
    std::string_view end = line_end(unit);
    status = append_output(unit, end.data(), end.size());
  }
  return status;
}

int read_sequential_record(Unit& unit, std::string& text) {
  if (unit.access != Access::sequential) return kErrDirectNotAllowed;
  if (unit.console) {
    flush_console_output();
  } else if (int status = flush_to_system(unit)) {
    return status;
  }
  text.clear();
  unit.stream_direction = StreamDirection::reading;
  int c;
  bool any = false;
  while ((c = std::getc(unit.file)) != EOF) {
    any = true;
    if (c == '\n') break;
    text.push_back(static_cast<char>(c));
  }
  if (!any) {
    if (std::ferror(unit.file)) {
      std::clearerr(unit.file);
      return kErrCantRead;
    }
    std::clearerr(unit.file);
    return kEndOfFile;
  }
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return kOk;
}

namespace {

int seek_record(Unit& unit, int record) {
  if (unit.access != Access::direct) return kErrSequentialNotAllowed;
  if (record <= 0) return kErrNonPositiveRecord;
  if (int status = flush_to_system(unit)) return status;
  const std::int64_t offset =
      static_cast<std::int64_t>(record - 1) * static_cast<std::int64_t>(unit.record_length);
  return os::seek_to(unit.file, offset);
}

}  // namespace

int read_direct_record(Unit& unit, int record, std::span<std::byte> bytes, bool pad_with_blanks) {
  if (bytes.size() > unit.record_length) return kErrOffEndOfRecord;
  if (int status = seek_record(unit, record)) return status;
  unit.stream_direction = StreamDirection::reading;
  std::size_t got = std::fread(bytes.data(), 1, bytes.size(), unit.file);
  if (got < bytes.size()) {
    bool failed = std::ferror(unit.file);
    std::clearerr(unit.file);
    if (failed) return kErrCantRead;
    if (got == 0 || !pad_with_blanks) return kEndOfFile;
    std::memset(bytes.data() + got, ' ', bytes.size() - got);
  }
  return kOk;
}

int read_direct_records(Unit& unit, int first_record, std::span<std::byte> bytes,
                        std::size_t& got) {
  got = 0;
  if (int status = seek_record(unit, first_record)) return status;
  unit.stream_direction = StreamDirection::reading;
  got = std::fread(bytes.data(), 1, bytes.size(), unit.file);
  if (got < bytes.size()) {
    const bool failed = std::ferror(unit.file);
    std::clearerr(unit.file);
    if (failed) return kErrCantRead;
  }
  return kOk;
}

int write_direct_record(Unit& unit, int record, std::span<const std::byte> bytes) {
  if (bytes.size() > unit.record_length) return kErrOffEndOfRecord;
  if (int status = seek_record(unit, record)) return status;
  os::FileStatus before;
  if (int status = os::open_file_status(unit.file, before)) return status;
  errno = 0;
  // Every write reaches the file at once.
  if (std::fwrite(bytes.data(), 1, bytes.size(), unit.file) == bytes.size() &&
      std::fflush(unit.file) == 0) {
    return kOk;
  }
  const int status = errno ? errno : kErrCantWrite;
  // A record appended in part (a full disk, a file-size limit) would be read back as a record
  // of its own: the file is cut back to its length before the write.
  std::clearerr(unit.file);
  os::truncate_file(unit.file, before.size);
  return status;
}

}  // namespace textio
