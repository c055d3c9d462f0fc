#include "grdpeaks/output_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace grdpeaks {

namespace {

[[noreturn]] void fail(const std::string& name, int error) {
  throw std::runtime_error(name + ": cannot write the file: " + std::strerror(error));
}

int write_text(std::FILE* file, const std::string& text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) == text.size()) return 0;
  return errno != 0 ? errno : EIO;
}

}  // namespace

void OutputFiles::write(const std::string& name, const std::string& text) {
  textio::FileReplacement replacement;
  // Like the grid file, the lists can always be made again.
  int status = replacement.begin(name, {.durable = false});
  if (status == 0) status = write_text(replacement.stream(), text);
  // A device or a FIFO has taken the text already: nothing waits for the others.
  if (status == 0 && replacement.in_place()) status = replacement.commit();
  if (status == 0) status = replacement.close_stream();
  if (status != 0) fail(name, status);
  if (replacement.pending()) pending_.emplace_back(name, std::move(replacement));
}

void OutputFiles::commit() {
  for (auto& [name, replacement] : pending_) {
    if (const int status = replacement.commit()) fail(name, status);
  }
  pending_.clear();
}

}  // namespace grdpeaks
