// An exclusive advisory lock on a file or folder that other runs open by one of its names. The
// lock is held on an open handle, so the system drops it with the process however the process
// ends: no lock file is left behind by a run that was killed. Threads: the main thread.
#pragma once

#include <functional>
#include <string>

#include "os/os.hpp"

namespace textio {

class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { release(); }

  // Locks the file now named `name`, waiting for whoever holds it; `on_long_wait` is called once
  // when the wait passes a second. A file renamed over `name` while this run waited is the one
  // locked in the end, so that the lock always covers the file the name leads to. Returns 0, or
  // the error number of an open or lock that failed (ENOENT when there is no such file), with
  // nothing held.
  int acquire(const std::string& name, const std::function<void()>& on_long_wait);
  void release();

 private:
  os::FileLockHandle handle_;
};

}  // namespace textio
