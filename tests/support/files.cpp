#include "support/files.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "os/os.hpp"

namespace support {

std::string read_file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();  // in blocks, not a character at a time
  return std::move(bytes).str();
}

void write_file_bytes(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDirectory::TempDirectory() {
  std::random_device random;
  const std::string stem = "mapconv-test-" + std::to_string(os::process_id()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = std::filesystem::temp_directory_path() / (stem + std::to_string(random()));
    // Made by this call, not found: another process's directory is never taken over.
    if (std::filesystem::create_directory(path_)) return;
  }
  throw std::runtime_error("no temporary directory could be made under " +
                           std::filesystem::temp_directory_path().string());
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

#ifdef _WIN32
NullDevice::NullDevice() : path_("NUL") {}
#else
NullDevice::NullDevice() {
  if (access("/dev", W_OK) != 0) return;
  const std::filesystem::path system_device = path_;
  struct stat device {};
  if (stat(system_device.c_str(), &device) != 0) {
    throw std::system_error(errno, std::generic_category(), "stat " + system_device.string());
  }
  path_ = directory_.emplace() / "null";
  // A directory on a file system mounted without devices holds the node but cannot open it.
  int opened = -1;
  if (mknod(path_.c_str(), S_IFCHR | 0666, device.st_rdev) != 0 ||
      (opened = open(path_.c_str(), O_WRONLY | O_CLOEXEC)) < 0) {
    throw std::system_error(errno, std::generic_category(), "a null device in " + path_.string());
  }
  close(opened);
}
#endif

}  // namespace support
