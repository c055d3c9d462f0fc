#include "textio/standard_streams.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace textio {
namespace {

constexpr const char* kNullDevice = "/dev/null";

bool is_closed(int descriptor) {
  return fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
}

// The lowest free number is the closed one, so the null device lands on it; anything else means
// the descriptors changed under us.
bool stand_in_for(int descriptor) {
  const int flags = descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY;
  const int opened = open(kNullDevice, flags);
  if (opened == descriptor) return true;
  if (opened >= 0) close(opened);
  return false;
}

}  // namespace

bool reserve_standard_descriptors() {
  for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (is_closed(descriptor) && !stand_in_for(descriptor)) return false;
  }
  return true;
}

}  // namespace textio
