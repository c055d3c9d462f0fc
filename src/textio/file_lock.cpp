#include "textio/file_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace textio {
namespace {

constexpr auto kQuietWait = std::chrono::seconds(1);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

int lock_without_waiting(int descriptor) {
  int result;
  do result = flock(descriptor, LOCK_EX | LOCK_NB);
  while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

int lock_waiting(int descriptor) {
  int result;
  do result = flock(descriptor, LOCK_EX);
  while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

// Polls for the first second, so that a short wait goes unmentioned, then waits in the kernel.
int lock_exclusive(int descriptor, const std::function<void()>& on_long_wait, bool& told) {
  const auto deadline = std::chrono::steady_clock::now() + kQuietWait;
  int status = lock_without_waiting(descriptor);
  while (status == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
    status = lock_without_waiting(descriptor);
  }
  if (status != EWOULDBLOCK) return status;
  if (!told) on_long_wait();
  told = true;
  return lock_waiting(descriptor);
}

// True when `name` still leads to the file open on `descriptor`; a run that held the lock before
// may have renamed its new file over the name meanwhile.
bool name_leads_to(const std::string& name, int descriptor, int& status) {
  struct stat opened {};
  struct stat named {};
  status = 0;
  if (fstat(descriptor, &opened) != 0) {
    status = errno;
    return false;
  }
  if (stat(name.c_str(), &named) != 0) {
    status = errno;
    return false;
  }
  return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

int FileLock::acquire(const std::string& name, const std::function<void()>& on_long_wait) {
  release();
  bool told = false;
  for (;;) {
    // Not blocking on the open: a FIFO under the name must not hold the run here.
    const int descriptor = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return errno;
    int status = lock_exclusive(descriptor, on_long_wait, told);
    if (status == 0 && name_leads_to(name, descriptor, status)) {
      descriptor_ = descriptor;
      return 0;
    }
    close(descriptor);
    // The name now leads elsewhere (or nowhere, while a rename is under way): lock again.
    if (status != 0 && status != ENOENT) return status;
  }
}

void FileLock::release() {
  if (descriptor_ < 0) return;
  close(descriptor_);
  descriptor_ = -1;
}

}  // namespace textio
