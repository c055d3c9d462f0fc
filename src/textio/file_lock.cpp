#include "textio/file_lock.hpp"

#include <cerrno>
#include <chrono>
#include <thread>

namespace textio {
namespace {

constexpr auto kQuietWait = std::chrono::seconds(1);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

// Polls for the first second, so that a short wait goes unmentioned, then waits in the system.
int lock_exclusive(os::FileLockHandle& handle, const std::function<void()>& on_long_wait,
                   bool& told) {
  const auto deadline = std::chrono::steady_clock::now() + kQuietWait;
  int status = handle.lock(false);
  while (status == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
    status = handle.lock(false);
  }
  if (status != EWOULDBLOCK) return status;
  if (!told) on_long_wait();
  told = true;
  return handle.lock(true);
}

}  // namespace

int FileLock::acquire(const std::string& name, const std::function<void()>& on_long_wait) {
  release();
  bool told = false;
  for (;;) {
    if (int status = handle_.open(name)) return status;
    int status = lock_exclusive(handle_, on_long_wait, told);
    // A run that held the lock before may have renamed its new file over the name meanwhile.
    bool same = false;
    if (status == 0) status = handle_.leads_here(name, same);
    if (status == 0 && same) return 0;
    handle_.release();
    // The name now leads elsewhere (or nowhere, while a rename is under way): lock again.
    if (status != 0 && status != ENOENT) return status;
  }
}

void FileLock::release() {
  handle_.release();
}

}  // namespace textio
