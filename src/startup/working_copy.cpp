#include "startup/working_copy.hpp"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "expfile/experiment_path.hpp"
#include "expfile/file_rename.hpp"
#include "expfile/store.hpp"
#include "os/os.hpp"
#include "startup/console_input.hpp"
#include "startup/experiment_opening.hpp"
#include "startup/upgrade.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/temporary_file.hpp"
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

// Copies the live records of the old file into the new one, which must end with the last-record
// marker.
void copy_experiment(int unit, int new_unit) {
  if (textio::unit_is_direct(unit)) copy_live_records(unit, new_unit);
  if (!holds_last_record(new_unit)) {
    expfile::ISAMCLOSE(unit, "KEEP");
    expfile::ISAMCLOSE(new_unit, "DELETE");
    textio::write_record(kTerminal, "(A)",
                         " **** FATAL ERROR - copy of experiment file failed ****");
    IOERR(1, unit);
  }
}

[[noreturn]] void stop_without_copy(const std::string& reason) {
  textio::write_record(kTerminal, "(A)", " **** No working copy made: " + reason + " ****");
  textio::stop_run("Run terminated in WORKCOPY");
}

std::string because(const std::string& what, int status) {
  return what + ": " + textio::status_message(status);
}

// One more than the highest backup number in use, from 01; after FF the count wraps to 00. A
// backup name that cannot be checked might be in use: no name is chosen then.
std::string next_backup_name(const expfile::ExperimentPath& experiment) {
  int number = 256;
  bool exists = false;
  do {
    --number;
    if (int status = textio::check_file_exists(experiment.backup(number), exists)) {
      stop_without_copy(
          because("the backup " + experiment.backup(number) + " could not be checked", status));
    }
  } while (number > 0 && !exists);
  return experiment.backup(number + 1);
}

// The copy is written through a temporary file beside the experiment file (beside the file a
// symbolic link leads to), which takes its place only when the unit is closed whole.
bool has_version_record(int unit) {
  std::string value(expfile::kValueLength, ' ');
  return textio::unit_is_direct(unit) && expfile::KEYREAD(unit, expfile::kVersionKey, value) == 0;
}

// A file of version 0 has no version record: its copy gets none at first either, rather than the
// current version's over records of version 0, and is upgraded before it takes the old file's
// place, so that the experiment file is the old one or the upgraded copy at every instant.
int open_copy(bool versioned, const std::string& old_name) {
  int new_unit = textio::kFirstFreeUnit;
  if (int status = open_replacement_experiment(old_name, versioned, new_unit)) {
    IOERR(status, new_unit);
  }
  return new_unit;
}

}  // namespace

void WORKCOPY(int& unit, std::string_view disposition) {
  const std::string old_name = textio::unit_file_name(unit);
  const std::optional<expfile::ExperimentPath> experiment =
      expfile::ExperimentPath::of_file(old_name);
  if (!experiment) refuse_name_without_extension(old_name);

  const bool versioned = has_version_record(unit);
  const int new_unit = open_copy(versioned, old_name);
  copy_experiment(unit, new_unit);
  if (!versioned) upgrade_records(new_unit, 0);
  textio::sync_unit(new_unit);
  // The old file leaves only when the copy takes its place; its backup is made first, so that the
  // old content is under one name or the other at every instant.
  bool replaced = true;
  if (!disposition.starts_with('D')) {
    const std::string backup = next_backup_name(*experiment);
    const int status = expfile::add_second_name(old_name, backup);
    if (status == EEXIST) {
      textio::write_record(
          kTerminal, "(A)",
          " **** No working copy made: the backup name " + backup + " is in use ****");
      replaced = false;
    } else if (status != 0) {
      expfile::ISAMCLOSE(new_unit, "DELETE");
      stop_without_copy(because("the backup " + backup + " could not be made", status));
    }
  }
  expfile::ISAMCLOSE(unit, "KEEP");
  expfile::ISAMCLOSE(new_unit, replaced ? "KEEP" : "DELETE");
  if (int status = OPNEXP("SHARED", old_name, unit)) IOERR(status, unit);
}

}  // namespace startup
