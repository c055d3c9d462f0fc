#include "expfile/conversion.hpp"

#include <fcntl.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>

#include "expfile/experiment_path.hpp"
#include "expfile/store.hpp"
#include "expfile/terminal.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace expfile {
namespace {

constexpr std::size_t kForeignRecordLength = 80;
constexpr std::string_view kRecordEnd = "\r\n";

// A size that cannot be had counts as 0, which is taken for the 80-byte form.
std::uintmax_t file_size_or_zero(const std::string& name) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(name, error);
  return error ? 0 : size;
}

int open_source(const std::string& name, textio::Access access, int& unit) {
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = access;
  if (access == textio::Access::direct) {
    options.form = textio::Form::unformatted;
    options.record_length = static_cast<int>(kForeignRecordLength);
  }
  unit = textio::kFirstFreeUnit;
  textio::NEWUNT(unit);
  return textio::try_open_unit(unit, name, options);
}

// The new experiment file must not exist yet: creating it over a file that the rename left in
// place ends the run rather than mixing two files. It is written through a temporary file, so
// that a conversion that fails half-way leaves no cut-off experiment file beside NAME.CRP.
int create_experiment(const std::string& name) {
  textio::OpenOptions options;
  options.status = "NEW";
  options.access = textio::Access::direct;
  options.record_length = kRecordLength;
  options.through_temporary = true;
  int unit = textio::kFirstFreeUnit;
  textio::NEWUNT(unit);
  textio::open_unit(unit, name, options);
  return unit;
}

void write_converted_record(int unit, int record, std::string_view text) {
  std::string bytes = textio::fit(text, kForeignRecordLength);
  bytes += kRecordEnd;
  textio::write_direct(unit, record, "(A)", bytes);
}

void copy_fixed_records(int source, int target) {
  std::string text(kForeignRecordLength, ' ');
  const auto bytes = std::as_writable_bytes(std::span(text.data(), text.size()));
  for (int record = 1; textio::try_read_direct_bytes(source, record, bytes) == textio::kOk;
       ++record) {
    write_converted_record(target, record, text);
  }
}

void copy_text_lines(int source, int target) {
  std::string line(kForeignRecordLength, ' ');
  for (int record = 1; textio::try_read_record(source, "(A)", line) == textio::kOk; ++record) {
    write_converted_record(target, record, line);
  }
}

[[noreturn]] void refuse_name_without_extension(const std::string& name) {
  write_line(" **** No working copy made: the experiment file name \"" + name +
             "\" holds no .EXP ****");
  textio::stop_run("Run terminated in WORKCOPY");
}

// The start-up's failure report ends the run; should it return, the run still ends here.
[[noreturn]] void fail(const ExperimentOpening& opening, int status, int unit) {
  opening.report_failure(status, unit);
  textio::stop_run("Run terminated in WORKCOPY");
}

// Every live record, in key order. The copy starts at the first record in key order rather
// than at the title record, so that no record whose key sorts before the title is lost; in an
// ordinary file the title record is that first record. A record whose key comes back blank is
// not copied.
void copy_live_records(int source, int target) {
  std::string value(kValueLength, ' ');
  if (KEYREAD(source, std::string_view(), value) != 0) return;
  std::string key = value.substr(0, kKeyLength);
  const std::string blank_key(kKeyLength, ' ');
  for (int status = KEYREAD(source, key, value); status == 0;
       status = KEYREAD(source, key, value)) {
    if (key != blank_key) WRITEXP(target, key, value);
    key = blank_key;
  }
}

bool holds_last_record(int unit) {
  std::string value(kValueLength, ' ');
  return KEYREAD(unit, kLastRecordKey, value) == 0;
}

// One more than the highest backup number in use, from 01; after FF the count wraps to 00.
std::string next_backup_name(const ExperimentPath& experiment) {
  int number = 256;
  do {
    --number;
  } while (number > 0 && !textio::file_exists(experiment.backup(number)));
  return experiment.backup(number + 1);
}

}  // namespace

void CONVERT(std::string_view name, int name_length, int& status) {
  const ExperimentPath experiment =
      ExperimentPath::of_name(name.substr(0, static_cast<std::size_t>(name_length)));
  const std::string experiment_name = experiment.experiment_file();
  const std::string source_name = experiment.converted_source();
  RENAME(experiment_name, source_name);
  write_line("");
  write_line(" File " + experiment_name + " Renamed to " + source_name);
  write_line("");

  const bool fixed_records = file_size_or_zero(source_name) % kForeignRecordLength == 0;
  write_line(fixed_records ? " File is apparently unix direct access format"
                           : " File is apparently sequential access format");
  write_line(" conversion to DOS direct access attempted");
  int source = 0;
  status = open_source(source_name,
                       fixed_records ? textio::Access::direct : textio::Access::sequential, source);
  if (status != textio::kOk) return;

  const int target = create_experiment(experiment_name);
  if (fixed_records) {
    copy_fixed_records(source, target);
  } else {
    copy_text_lines(source, target);
  }
  textio::close_unit(source);
  textio::close_unit(target);
  write_line(" Conversion complete");
}

void WORKCOPY(int& unit, std::string_view disposition, const ExperimentOpening& opening) {
  const std::string old_name = textio::unit_file_name(unit);
  const std::optional<ExperimentPath> experiment = ExperimentPath::of_file(old_name);
  if (!experiment) refuse_name_without_extension(old_name);
  const std::string new_name = experiment->working_copy();

  // A NAME.NEW left behind by an interrupted copy would be opened as it stands and its stale
  // records mixed into the copy.
  std::error_code ignored;
  std::filesystem::remove(new_name, ignored);
  int new_unit = textio::kFirstFreeUnit;
  if (int status = opening.open("NEW", new_name, new_unit)) fail(opening, status, new_unit);

  if (textio::unit_is_direct(unit)) copy_live_records(unit, new_unit);
  if (!holds_last_record(new_unit)) {
    ISAMCLOSE(unit, "KEEP");
    ISAMCLOSE(new_unit, "DELETE");
    write_line(" **** FATAL ERROR - copy of experiment file failed ****");
    fail(opening, 1, unit);
  }
  // The copy is to take the experiment file's place: it must be on the disk before the renames.
  textio::sync_unit(new_unit);

  const bool keep_old = !disposition.starts_with('D');
  ISAMCLOSE(unit, disposition);
  if (keep_old) RENAME(old_name, next_backup_name(*experiment));
  ISAMCLOSE(new_unit, "KEEP");
  RENAME(new_name, old_name);

  int reopened = unit;
  if (int status = opening.open("SHARED", old_name, reopened)) fail(opening, status, reopened);
  unit = reopened;
}

void HEX4(std::string& text, int n) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  const auto value = static_cast<unsigned>(n);
  text.assign(4, ' ');
  for (int place = 0; place < 4; ++place) {
    text[static_cast<std::size_t>(3 - place)] = kDigits[(value >> (4 * place)) & 15U];
  }
}

int RENAME(const std::string& old_name, const std::string& new_name) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, old_name.c_str(), AT_FDCWD, new_name.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  // File systems without the no-replace rename fall back to a check before the rename.
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(new_name, error))) return EEXIST;
  return std::rename(old_name.c_str(), new_name.c_str()) == 0 ? 0 : errno;
}

}  // namespace expfile
