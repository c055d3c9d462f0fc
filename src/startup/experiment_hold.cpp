#include "startup/experiment_hold.hpp"

#include <cerrno>

#include "expfile/store.hpp"
#include "os/os.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"

namespace startup {
namespace {

// Reasons a lock cannot be had that say nothing of other runs: no such folder (the opening
// reports the missing file), a folder this run may not read, and file systems without locks.
bool lock_failure_is_harmless(int status) {
  return status == ENOENT || status == EACCES || status == EPERM || status == ENOLCK ||
         status == EOPNOTSUPP || status == ENOTSUP || status == ENOSYS;
}

// The folder that holds the experiment file, its links followed: the lock of the experiment.
// The file itself is no place for it, since the opening replaces the file (upgrade, conversion of
// its form, working copy) while later runs wait: a lock on the file that the name led to would
// pass on to the replaced file, and a run arriving meanwhile would find the new one unlocked.
// The folder is never replaced, every name of the file (links, other spellings of the folder)
// leads to it, and a file not made yet has it too.
std::string lock_folder(const std::string& file_name) {
  std::string resolved;
  const std::string& path = os::resolved_path(file_name, resolved) == 0 ? resolved : file_name;
  const std::size_t name_start = os::file_name_start(path);
  return name_start == 0 ? std::string(".") : path.substr(0, name_start);
}

void report_long_wait(const std::string& file_name) {
  textio::write_record(
      textio::kErrorOutput, "(A)",
      textio::program_name() + ": waiting for another run to finish with " + file_name);
  textio::flush_unit(textio::kErrorOutput);
}

}  // namespace

int ExperimentHold::lock() {
  bool told = false;
  for (;;) {
    const std::string folder = lock_folder(file_name_);
    const int status = lock_.acquire(folder, [&] {
      if (!told) report_long_wait(file_name_);
      told = true;
    });
    // A link re-pointed while this run waited leads to another folder: lock that one.
    if (status == textio::kOk && lock_folder(file_name_) != folder) continue;
    return lock_failure_is_harmless(status) ? textio::kOk : status;
  }
}

int ExperimentHold::try_open(const textio::OpenOptions& options, int first_unit) {
  unit_ = first_unit;
  textio::NEWUNT(unit_);
  if (const int status = textio::try_open_unit(unit_, file_name_, options)) return status;
  take_over_index(options);
  return textio::kOk;
}

void ExperimentHold::open(const textio::OpenOptions& options, int first_unit) {
  unit_ = first_unit;
  textio::NEWUNT(unit_);
  textio::open_unit(unit_, file_name_, options);
  take_over_index(options);
}

// A copy that starts as the file is what the file is; a connection to the file itself is checked
// through its own stream.
void ExperimentHold::take_over_index(const textio::OpenOptions& options) {
  open_ = true;
  const bool copy = options.through_temporary && !options.starts_empty;
  expfile::adopt_index(unit_, index_,
                       copy ? textio::file_stamp(file_name_) : textio::unit_file_stamp(unit_));
}

void ExperimentHold::close() {
  if (open_) index_ = expfile::close_keeping_index(unit_);
  open_ = false;
}

}  // namespace startup
