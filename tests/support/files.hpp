// Files for tests: whole-file reads and writes and a temporary directory that cleans up after
// itself.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace support {

// The bytes of a file; throws std::runtime_error when it cannot be read.
std::string read_file_bytes(const std::filesystem::path& path);

// Replaces the file with these bytes, creating missing parent directories.
void write_file_bytes(const std::filesystem::path& path, std::string_view bytes);

// A fresh directory under the system's temporary directory, removed with its contents on
// destruction.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A null device for a program under test to write to. A program that replaced the file it was
// given instead of writing through it would, run by a user who may make files in /dev, replace
// the system's own null device: such a user gets a private one, made in a temporary directory.
// Throws std::system_error when that cannot be made.
class NullDevice {
 public:
  NullDevice();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::optional<TempDirectory> directory_;
  std::filesystem::path path_ = "/dev/null";
};

}  // namespace support
