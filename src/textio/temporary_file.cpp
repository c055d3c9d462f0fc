#include "textio/temporary_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

namespace textio {
namespace {

constexpr int kNameAttempts = 100;
constexpr std::size_t kCopyChunk = 1 << 16;

std::string random_part() {
  std::random_device source;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(source()));
  return text;
}

// Creates a file under a name that no other run can be using (the process id and a random
// part), never opening one that exists; returns its descriptor, or -1 with errno set.
int open_unique(TemporaryFile& temporary) {
  const std::string stem = temporary.replaces + ".partial-" + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temporary.path = stem + random_part();
    const int descriptor =
        open(temporary.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

// The kernel may take a write in parts (a file-size limit, a full disk): the rest is offered
// again until it fails with a reason.
int write_all(int descriptor, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(descriptor, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

int copy_contents_into(const std::string& source_path, int target) {
  const int source = open(source_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return errno;
  std::vector<char> buffer(kCopyChunk);
  int status = 0;
  while (status == 0) {
    const ssize_t got = read(source, buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      if (errno != EINTR) status = errno;
      continue;
    }
    status = write_all(target, buffer.data(), static_cast<std::size_t>(got));
  }
  close(source);
  return status;
}

}  // namespace

int replacement_target(const std::string& name, std::string& target) {
  target = name;
  struct stat link {};
  if (lstat(name.c_str(), &link) != 0) return errno == ENOENT ? 0 : errno;
  if (!S_ISLNK(link.st_mode)) return 0;
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(name, error);
  // A link whose target is missing is replaced by the new file, as a missing file would be.
  if (error) return error.value() == ENOENT ? 0 : error.value();
  target = resolved.string();
  return 0;
}

int create_temporary_file(const std::string& replaces, bool copy_contents, TemporaryFile& temporary,
                          std::FILE*& file) {
  temporary.replaces = replaces;
  struct stat replaced {};
  // Only a file that is not there may be taken for absent: a check that failed otherwise would
  // have the new file, without the old one's contents, replace it.
  const bool exists = stat(temporary.replaces.c_str(), &replaced) == 0;
  if (!exists && errno != ENOENT) return errno;
  if (exists && access(temporary.replaces.c_str(), W_OK) != 0) return errno;
  const int descriptor = open_unique(temporary);
  if (descriptor < 0) return errno;
  int status = 0;
  if (exists && fchmod(descriptor, replaced.st_mode & 07777) != 0) status = errno;
  if (status == 0 && exists && copy_contents) {
    status = copy_contents_into(temporary.replaces, descriptor);
  }
  if (status == 0) {
    file = fdopen(descriptor, "w+b");
    if (file == nullptr) status = errno;
  }
  if (status != 0) {
    close(descriptor);
    unlink(temporary.path.c_str());
  }
  return status;
}

void sync_directory_of(const std::string& path) {
  std::filesystem::path directory = std::filesystem::path(path).parent_path();
  if (directory.empty()) directory = ".";
  const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

int sync_stream(std::FILE* file) {
  return fsync(fileno(file)) == 0 ? 0 : errno;
}

namespace {

// Swaps the names of the temporary file and the file it replaces; false, with both left as they
// were, when the replaced file does not exist or the file system cannot swap names.
bool exchange_names(const TemporaryFile& temporary) {
#ifdef RENAME_EXCHANGE
  return renameat2(AT_FDCWD, temporary.path.c_str(), AT_FDCWD, temporary.replaces.c_str(),
                   RENAME_EXCHANGE) == 0;
#else
  (void)temporary;
  return false;
#endif
}

// After the exchange the old content lies under the temporary name. When it cannot be removed,
// the names are swapped back, so that a failure leaves the replaced file as it was.
int remove_exchanged(const TemporaryFile& temporary) {
  if (unlink(temporary.path.c_str()) == 0) return 0;
  const int status = errno;
  if (exchange_names(temporary)) discard_temporary_file(temporary);
  return status;
}

}  // namespace

// A file that need not reach the disk takes its place by an exchange of names, and the old content
// is removed afterwards. A rename over an existing file makes some file systems start writing the
// new file out at once, to protect programs that never sync, and the old file's removal then
// waits for whatever of it is still being written: a run straight after another paid for both.
int put_temporary_in_place(const TemporaryFile& temporary) {
  if (!temporary.durable && exchange_names(temporary)) return remove_exchanged(temporary);
  if (std::rename(temporary.path.c_str(), temporary.replaces.c_str()) != 0) {
    const int status = errno;
    discard_temporary_file(temporary);
    return status;
  }
  // The new content is in place; a directory that refuses to be synced (some file systems do)
  // leaves nothing that the run could still change.
  if (temporary.durable) sync_directory_of(temporary.replaces);
  return 0;
}

void discard_temporary_file(const TemporaryFile& temporary) {
  unlink(temporary.path.c_str());
}

}  // namespace textio
