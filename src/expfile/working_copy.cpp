#include "expfile/working_copy.hpp"

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
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

}  // namespace expfile
