#include "startup/working_copy.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "expfile/experiment_path.hpp"
#include "expfile/file_rename.hpp"
#include "expfile/store.hpp"
#include "startup/console_input.hpp"
#include "startup/experiment_opening.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace startup {
namespace {

using textio::kTerminal;

[[noreturn]] void refuse_name_without_extension(const std::string& name) {
  textio::write_record(
      kTerminal, "(A)",
      " **** No working copy made: the experiment file name \"" + name + "\" holds no .EXP ****");
  textio::stop_run("Run terminated in WORKCOPY");
}

// Every live record, in key order. The copy starts at the first record in key order rather
// than at the title record, so that no record whose key sorts before the title is lost; in an
// ordinary file the title record is that first record. A record whose key comes back blank is
// not copied.
void copy_live_records(int source, int target) {
  std::string value(expfile::kValueLength, ' ');
  if (expfile::KEYREAD(source, std::string_view(), value) != 0) return;
  std::string key = value.substr(0, expfile::kKeyLength);
  const std::string blank_key(expfile::kKeyLength, ' ');
  for (int status = expfile::KEYREAD(source, key, value); status == 0;
       status = expfile::KEYREAD(source, key, value)) {
    if (key != blank_key) expfile::WRITEXP(target, key, value);
    key = blank_key;
  }
}

bool holds_last_record(int unit) {
  std::string value(expfile::kValueLength, ' ');
  return expfile::KEYREAD(unit, expfile::kLastRecordKey, value) == 0;
}

// One more than the highest backup number in use, from 01; after FF the count wraps to 00.
std::string next_backup_name(const expfile::ExperimentPath& experiment) {
  int number = 256;
  do {
    --number;
  } while (number > 0 && !textio::file_exists(experiment.backup(number)));
  return experiment.backup(number + 1);
}

}  // namespace

void WORKCOPY(int& unit, std::string_view disposition) {
  const std::string old_name = textio::unit_file_name(unit);
  const std::optional<expfile::ExperimentPath> experiment =
      expfile::ExperimentPath::of_file(old_name);
  if (!experiment) refuse_name_without_extension(old_name);
  const std::string new_name = experiment->working_copy();

  // A NAME.NEW left behind by an interrupted copy would be opened as it stands and its stale
  // records mixed into the copy.
  std::error_code ignored;
  std::filesystem::remove(new_name, ignored);
  int new_unit = textio::kFirstFreeUnit;
  if (int status = OPNEXP("NEW", new_name, new_unit)) IOERR(status, new_unit);

  if (textio::unit_is_direct(unit)) copy_live_records(unit, new_unit);
  if (!holds_last_record(new_unit)) {
    expfile::ISAMCLOSE(unit, "KEEP");
    expfile::ISAMCLOSE(new_unit, "DELETE");
    textio::write_record(kTerminal, "(A)",
                         " **** FATAL ERROR - copy of experiment file failed ****");
    IOERR(1, unit);
  }
  // The copy is to take the experiment file's place: it must be on the disk before the renames.
  textio::sync_unit(new_unit);

  const bool keep_old = !disposition.starts_with('D');
  expfile::ISAMCLOSE(unit, disposition);
  if (keep_old) expfile::RENAME(old_name, next_backup_name(*experiment));
  expfile::ISAMCLOSE(new_unit, "KEEP");
  expfile::RENAME(new_name, old_name);

  if (int status = OPNEXP("SHARED", old_name, unit)) IOERR(status, unit);
}

}  // namespace startup
