#include "expfile/file_rename.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace expfile {

int RENAME(const std::string& old_name, const std::string& new_name) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, old_name.c_str(), AT_FDCWD, new_name.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  // File systems without the no-replace rename fall back to a check before the rename.
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(new_name, error))) return EEXIST;
  return std::rename(old_name.c_str(), new_name.c_str()) == 0 ? 0 : errno;
}

namespace {

// File systems without hard links refuse a link with one of these.
bool links_unsupported(int status) {
  return status == EPERM || status == EOPNOTSUPP || status == EMLINK;
}

}  // namespace

int add_second_name(const std::string& old_name, const std::string& new_name, bool& linked) {
  linked = link(old_name.c_str(), new_name.c_str()) == 0;
  if (linked) return 0;
  return links_unsupported(errno) ? RENAME(old_name, new_name) : errno;
}

}  // namespace expfile
