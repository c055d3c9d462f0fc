#include "grdpeaks/output_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "os/os.hpp"

namespace grdpeaks {

namespace {

[[noreturn]] void fail(const std::string& name, int error) {
  throw std::runtime_error(name + ": cannot write the file: " + std::strerror(error));
}

// Writes and closes `file`; returns 0 or the error number.
int write_and_close(std::FILE* file, const std::string& text) {
  errno = 0;
  const bool written =
      std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
  const int error = written ? 0 : (errno != 0 ? errno : EIO);
  if (std::fclose(file) != 0 && error == 0) return errno != 0 ? errno : EIO;
  return error;
}

}  // namespace

OutputFiles::~OutputFiles() {
  for (const auto& [name, temporary] : pending_) textio::discard_temporary_file(temporary);
}

void OutputFiles::write(const std::string& name, const std::string& text) {
  textio::ReplacementTarget target;
  if (const int status = textio::replacement_target(name, target)) fail(name, status);
  int status = 0;
  if (target.in_place) {
    std::FILE* file = os::open_file(name, "wb", status);
    if (file == nullptr) fail(name, status);
    if ((status = write_and_close(file, text)) != 0) fail(name, status);
    return;
  }
  textio::TemporaryFile temporary;
  // Like the grid file, the lists can always be made again.
  temporary.durable = false;
  std::FILE* file = nullptr;
  if ((status = textio::create_temporary_file(target.path, false, temporary, file)) != 0) {
    fail(name, status);
  }
  if ((status = write_and_close(file, text)) != 0) {
    textio::discard_temporary_file(temporary);
    fail(name, status);
  }
  pending_.emplace_back(name, temporary);
}

void OutputFiles::commit() {
  while (!pending_.empty()) {
    const auto [name, temporary] = pending_.front();
    pending_.erase(pending_.begin());
    if (const int status = textio::put_temporary_in_place(temporary)) fail(name, status);
  }
}

}  // namespace grdpeaks
