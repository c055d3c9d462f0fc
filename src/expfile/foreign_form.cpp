#include "expfile/foreign_form.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <system_error>

#include "expfile/experiment_path.hpp"
#include "expfile/file_rename.hpp"
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

}  // namespace expfile
