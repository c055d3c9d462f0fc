#include "gridfile/output_check.hpp"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "os/os.hpp"

namespace gridfile {

namespace {

[[noreturn]] void refuse_output(const std::filesystem::path& output, const std::string& what,
                                const std::string& reason) {
  throw std::runtime_error(os::name_of(output) + ": cannot write " + what + ": " + reason);
}

}  // namespace

void refuse_output_that_is_input(const std::filesystem::path& input,
                                 const std::filesystem::path& output, const std::string& what) {
  // An output that does not exist yet cannot be the grid file; one that cannot be looked at for
  // another reason might be, and is refused.
  os::FileStatus output_status;
  if (const int error = os::file_status(os::name_of(output), output_status)) {
    if (error == ENOENT) return;
    refuse_output(output, what,
                  "cannot tell whether it is the grid file " + os::name_of(input) + ": " +
                      std::strerror(error));
  }
  os::FileStatus input_status;
  if (os::file_status(os::name_of(input), input_status) != 0) return;
  if (output_status.identity_known && output_status.identity == input_status.identity) {
    refuse_output(output, what, "it is the grid file " + os::name_of(input));
  }
}

}  // namespace gridfile
