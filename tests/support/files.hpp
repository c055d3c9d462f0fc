// Files for tests: whole-file reads and writes and a temporary directory that cleans up after
// itself.
#pragma once

#include <filesystem>
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

}  // namespace support
