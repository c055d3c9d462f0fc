#include "expfile/file_rename.hpp"

#include <cerrno>

#include "os/os.hpp"
#include "textio/temporary_file.hpp"

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

// A symbolic link is copied rather than linked: a second name of the link would follow whatever
// it leads to next, the replaced content included.
int add_second_name(const std::string& old_name, const std::string& new_name) {
  os::FileStatus name;
  if (int status = os::link_status(old_name, name)) return status;
  const int status = name.symbolic_link ? EXDEV : os::add_link(old_name, new_name);
  return links_unsupported(status) ? textio::copy_file_where_absent(old_name, new_name) : status;
}

}  // namespace expfile
