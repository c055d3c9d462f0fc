#include "expfile/foreign_form.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "expfile/experiment_path.hpp"
#include "expfile/file_rename.hpp"
#include "expfile/store.hpp"
#include "expfile/terminal.hpp"
#include "os/os.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace expfile {
namespace {

constexpr std::size_t kForeignRecordLength = 80;
constexpr std::string_view kRecordEnd = "\r\n";

// The size of the file, 0 when there is none, which is taken for the 80-byte form; returns 0 or
// the error number of a size that cannot be had, which would decide the form by chance.
int size_or_zero(const std::string& name, std::uintmax_t& size) {
  os::FileStatus file;
  const int status = os::file_status(name, file);
  size = status == 0 ? static_cast<std::uintmax_t>(file.size) : 0;
  return status == ENOENT ? 0 : status;
}

// NAME.CRP must be the file that is converted: one that is there already (left by an earlier
// conversion, or the user's own) is neither converted nor replaced, and NAME.EXP stays as it is.
void refuse_conversion(const std::string& experiment_name, const std::string& source_name,
                       int status) {
  const std::string reason =
      status == EEXIST ? source_name + " is there already; move it away and run again"
                       : source_name + " could not be made: " + textio::status_message(status);
  write_line(" **** " + experiment_name + " was not converted and is left as it is: " + reason +
             " ****");
  textio::write_record(
      textio::kErrorOutput, "(A)",
      textio::program_name() + ": " + experiment_name + " was not converted: " + reason);
}

// A NAME.CRP that is NAME.EXP itself under a second name was left by a conversion that was
// killed: it holds the very content to convert, and serves as it is.
bool is_second_name_of(const std::string& kept, const std::string& name) {
  os::FileStatus kept_file;
  os::FileStatus file;
  return os::file_status(kept, kept_file) == 0 && os::file_status(name, file) == 0 &&
         kept_file.identity_known && kept_file.identity == file.identity;
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

// The new experiment file is written through a temporary file, so that a conversion that fails
// half-way leaves the old file in place; the old content is kept as NAME.CRP.
int create_experiment(const std::string& name) {
  textio::OpenOptions options;
  options.status = "UNKNOWN";
  options.access = textio::Access::direct;
  options.record_length = kRecordLength;
  options.through_temporary = true;
  options.starts_empty = true;
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

// The copy ends at the end of the source; a read that fails otherwise would leave a converted
// file without the rest of the records, so it ends the run.
bool more_to_copy(int read_status) {
  if (read_status == textio::kEndOfFile) return false;
  if (read_status != textio::kOk) textio::raise_io_failure(read_status);
  return true;
}

void copy_fixed_records(int source, int target) {
  std::string text(kForeignRecordLength, ' ');
  const auto bytes = std::as_writable_bytes(std::span(text.data(), text.size()));
  for (int record = 1; more_to_copy(textio::try_read_direct_bytes(source, record, bytes));
       ++record) {
    write_converted_record(target, record, text);
  }
}

void copy_text_lines(int source, int target) {
  std::string line(kForeignRecordLength, ' ');
  for (int record = 1; more_to_copy(textio::try_read_record(source, "(A)", line)); ++record) {
    write_converted_record(target, record, line);
  }
}

void convert_records(int source, int target, bool fixed_records) {
  if (fixed_records) {
    copy_fixed_records(source, target);
  } else {
    copy_text_lines(source, target);
  }
  textio::close_unit(source);
  textio::close_unit(target);
}

// Reads NAME.CRP in the form that its size suggests and writes NAME.EXP anew from it; returns
// the status of sizing and opening the source.
int convert_source(const std::string& source_name, const std::string& experiment_name) {
  std::uintmax_t size = 0;
  if (int status = size_or_zero(source_name, size)) return status;
  const bool fixed_records = size % kForeignRecordLength == 0;
  write_line(fixed_records ? " File is apparently unix direct access format"
                           : " File is apparently sequential access format");
  write_line(" conversion to DOS direct access attempted");
  int source = 0;
  const textio::Access access = fixed_records ? textio::Access::direct : textio::Access::sequential;
  if (int status = open_source(source_name, access, source)) return status;
  convert_records(source, create_experiment(experiment_name), fixed_records);
  return textio::kOk;
}

}  // namespace

void CONVERT(std::string_view name, int name_length, int& status) {
  const ExperimentPath experiment =
      ExperimentPath::of_name(name.substr(0, static_cast<std::size_t>(name_length)));
  const std::string experiment_name = experiment.experiment_file();
  const std::string source_name = experiment.converted_source();
  // NAME.CRP is the old file under a second name: NAME.EXP stays until the converted file
  // replaces it.
  int named = add_second_name(experiment_name, source_name);
  if (named == EEXIST && is_second_name_of(source_name, experiment_name)) named = 0;
  if (named != 0) {
    refuse_conversion(experiment_name, source_name, named);
    status = named;
    return;
  }
  write_line("");
  write_line(" File " + experiment_name + " Renamed to " + source_name);
  write_line("");

  // A conversion that does not complete leaves the old file the experiment file under its one
  // name.
  try {
    status = convert_source(source_name, experiment_name);
  } catch (...) {
    os::remove_file(source_name);
    throw;
  }
  if (status != textio::kOk) {
    os::remove_file(source_name);
    return;
  }
  write_line(" Conversion complete");
}

}  // namespace expfile
