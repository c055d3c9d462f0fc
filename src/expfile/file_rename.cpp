#include "expfile/file_rename.hpp"

#include <cerrno>

#include "os/os.hpp"

namespace expfile {

int RENAME(const std::string& old_name, const std::string& new_name) {
  return os::rename_where_absent(old_name, new_name);
}

namespace {

// File systems without hard links refuse a link with one of these.
bool links_unsupported(int status) {
  return status == EPERM || status == EOPNOTSUPP || status == EMLINK || status == EXDEV;
}

}  // namespace

int add_second_name(const std::string& old_name, const std::string& new_name, bool& linked) {
  const int status = os::add_link(old_name, new_name);
  linked = status == 0;
  if (linked) return 0;
  return links_unsupported(status) ? RENAME(old_name, new_name) : status;
}

}  // namespace expfile
