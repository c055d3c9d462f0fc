// An experiment file held by this run while it opens it: the lock that keeps other runs out of
// the experiment, the unit the file is open on, and the tables of the file's index, which a
// reopening of the unchanged file takes over instead of reading the file again. Every reopening
// during the opening (the shared access, the upgrade through a copy, the working copy) goes
// through the hold, so no index is carried by anything else. When the hold ends, the lock is
// released and the unit stays open for the run.
//
// Threads: the main thread only.
#pragma once

#include <string>

#include "expfile/index.hpp"
#include "textio/file_lock.hpp"
#include "textio/units.hpp"

namespace startup {

class ExperimentHold {
 public:
  explicit ExperimentHold(std::string file_name) : file_name_(std::move(file_name)) {}
  ExperimentHold(const ExperimentHold&) = delete;
  ExperimentHold& operator=(const ExperimentHold&) = delete;

  // Waits until no other run holds the experiment (one line on standard error when the wait is
  // long), then keeps other runs out until the hold ends. Returns 0, also when no lock can be had
  // for a reason that says nothing of other runs (no such folder, none readable, no locks on the
  // file system), or the error number of any other failure: going on unlocked then could
  // upgrade the file twice.
  int lock();

  const std::string& file_name() const { return file_name_; }
  // The unit the file is open on, or was open on or tried last.
  int unit() const { return unit_; }

  // Connects the file to the first free unit from `first_unit` with `options`. The index tables
  // kept by the latest close serve the new connection when the file is still what they were
  // built from. Returns 0 or the I/O status of the failed open.
  int try_open(const textio::OpenOptions& options, int first_unit);
  // try_open, raising textio::IoFailure on failure as textio::open_unit does.
  void open(const textio::OpenOptions& options, int first_unit);

  // Closes the unit, keeping the tables of its index for the next open; a unit writing through a
  // temporary file puts it in place.
  void close();

 private:
  void take_over_index(const textio::OpenOptions& options);

  std::string file_name_;
  textio::FileLock lock_;
  int unit_ = 0;
  bool open_ = false;
  expfile::KeptIndex index_;
};

}  // namespace startup
