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
// marker, and puts the copy on the disk before it may take the old file's place.
void copy_experiment(int unit, int new_unit) {
  if (textio::unit_is_direct(unit)) copy_live_records(unit, new_unit);
  if (!holds_last_record(new_unit)) {
    expfile::ISAMCLOSE(unit, "KEEP");
    expfile::ISAMCLOSE(new_unit, "DELETE");
    textio::write_record(kTerminal, "(A)",
                         " **** FATAL ERROR - copy of experiment file failed ****");
    IOERR(1, unit);
  }
  textio::sync_unit(new_unit);
}

// A copy that did not take the experiment file's place is no working copy. Any file of its
// name is this run's: a stale one was removed before the copy was created.
void discard_copy(int new_unit, const std::string& new_name) {
  if (textio::unit_file_name(new_unit) == new_name) textio::try_close_unit(new_unit);
  // A directory of that name is refused by the removal, as it should be.
  os::remove_file(new_name);
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

// Puts the copy in the place of the old file, which becomes the backup when one is named. The old
// file is linked to its backup name first and the copy then renamed over it, so that a file of
// the experiment's name is there at every instant. Without hard links the old file is renamed to
// its backup name instead, and renamed back when the copy cannot follow. A backup name already in
// use keeps the old file in place, and the run goes on with it; every other failure ends the run.
void put_copy_in_place(const std::string& new_name, const std::string& old_name,
                       const std::optional<std::string>& backup) {
  bool linked = false;
  if (backup) {
    const int status = expfile::add_second_name(old_name, *backup, linked);
    if (status == EEXIST) {
      os::remove_file(new_name);
      textio::write_record(
          kTerminal, "(A)",
          " **** No working copy made: the backup name " + *backup + " is in use ****");
      return;
    }
    if (status != 0) {
      stop_without_copy(because("the backup " + *backup + " could not be made", status));
    }
  }
  if (const int status = os::replace_file(new_name, old_name)) {
    if (linked) {
      os::remove_file(*backup);
    } else if (backup) {
      os::replace_file(*backup, old_name);
    }
    stop_without_copy(because(new_name + " could not replace " + old_name, status));
  }
  textio::sync_directory_of(old_name);
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
  os::remove_file(new_name);
  int new_unit = 0;

  try {
    new_unit = textio::kFirstFreeUnit;
    if (int status = OPNEXP("NEW", new_name, new_unit)) IOERR(status, new_unit);
    copy_experiment(unit, new_unit);
    // The old file is closed keeping it whatever the disposition: it leaves only when the copy
    // takes its name.
    std::optional<std::string> backup;
    if (!disposition.starts_with('D')) backup = next_backup_name(*experiment);
    expfile::ISAMCLOSE(unit, "KEEP");
    expfile::ISAMCLOSE(new_unit, "KEEP");
    textio::keep_owner_of(old_name, new_name);
    put_copy_in_place(new_name, old_name, backup);
  } catch (...) {
    discard_copy(new_unit, new_name);
    throw;
  }

  if (int status = OPNEXP("SHARED", old_name, unit)) IOERR(status, unit);
}

}  // namespace startup
