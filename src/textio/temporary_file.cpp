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

#include "textio/status.hpp"

namespace textio {
namespace {

constexpr int kNameAttempts = 100;
constexpr std::size_t kCopyChunk = 1 << 16;
constexpr std::size_t kRandomLength = 8;
// The usual room for one name in a directory, where the system does not say.
constexpr std::size_t kCommonNameLimit = 255;

std::string random_part() {
  std::random_device source;
  char text[kRandomLength + 1];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(source()));
  return text;
}

std::filesystem::path directory_of(const std::string& path) {
  std::filesystem::path directory = std::filesystem::path(path).parent_path();
  return directory.empty() ? "." : directory;
}

// The longest name that the directory of `path` holds.
std::size_t name_limit(const std::string& path) {
  const long limit = pathconf(directory_of(path).c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : kCommonNameLimit;
}

// The temporary file's name up to its random part: the replaced name, shortened where the
// additions would pass the directory's limit, so that the temporary file can be made wherever
// the file it replaces can be.
std::string temporary_stem(const std::string& replaces) {
  const std::string addition = ".partial-" + std::to_string(getpid()) + "-";
  const std::size_t slash = replaces.find_last_of('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t limit = name_limit(replaces);
  const std::size_t added = addition.size() + kRandomLength;
  const std::size_t longest_kept = limit > added ? limit - added : 1;
  std::string stem = replaces;
  if (stem.size() - name_start > longest_kept) stem.resize(name_start + longest_kept);
  return stem + addition;
}

// Creates a file under a name that no other run can be using (the process id and a random
// part), never opening one that exists; returns its descriptor, or -1 with errno set.
int open_unique(TemporaryFile& temporary) {
  const std::string stem = temporary_stem(temporary.replaces);
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

// The new file keeps the owner and group of the file it replaces where this process may set
// them, so that a run as another user does not take the file over; the group alone is tried
// when the owner may not be given away. What cannot be set stays as the system made it.
void keep_owner(int descriptor, const struct stat& replaced) {
  if (fchown(descriptor, replaced.st_uid, replaced.st_gid) == 0) return;
  [[maybe_unused]] const int group_only =
      fchown(descriptor, static_cast<uid_t>(-1), replaced.st_gid);
}

}  // namespace

int replacement_target(const std::string& name, ReplacementTarget& target) {
  target = {name, false};
  struct stat file {};
  // No such file, or a link whose target is missing: the new file takes the name.
  if (stat(name.c_str(), &file) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(file.st_mode)) return EISDIR;
  if (!S_ISREG(file.st_mode)) {
    target.in_place = true;
    return 0;
  }
  struct stat link {};
  if (lstat(name.c_str(), &link) != 0) return errno;
  if (!S_ISLNK(link.st_mode)) return 0;
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(name, error);
  if (error) return error.value();
  target.path = resolved.string();
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
  if (exists) keep_owner(descriptor, replaced);
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

void keep_owner_of(const std::string& replaced, const std::string& path) {
  struct stat old_file {};
  if (stat(replaced.c_str(), &old_file) != 0) return;
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return;
  keep_owner(descriptor, old_file);
  close(descriptor);
}

void sync_directory_of(const std::string& path) {
  const int descriptor = open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

// Gives the temporary file the replaced name only where no file holds it: without the exchange
// of names, a second name is made and the temporary one removed. Returns kErrNewFileExists,
// with the temporary file kept, when the name is taken.
int take_name_where_absent(const TemporaryFile& temporary) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, temporary.path.c_str(), AT_FDCWD, temporary.replaces.c_str(),
                RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno == EEXIST) return kErrNewFileExists;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  if (link(temporary.path.c_str(), temporary.replaces.c_str()) == 0) {
    unlink(temporary.path.c_str());
    return 0;
  }
  if (errno == EEXIST) return kErrNewFileExists;
  // A file system without second names leaves a check before the rename.
  struct stat existing {};
  if (lstat(temporary.replaces.c_str(), &existing) == 0) return kErrNewFileExists;
  if (errno != ENOENT) return errno;
  return std::rename(temporary.path.c_str(), temporary.replaces.c_str()) == 0 ? 0 : errno;
}

}  // namespace

// A file that need not reach the disk takes its place by an exchange of names, and the old content
// is removed afterwards. A rename over an existing file makes some file systems start writing the
// new file out at once, to protect programs that never sync, and the old file's removal then
// waits for whatever of it is still being written: a run straight after another paid for both.
int put_temporary_in_place(const TemporaryFile& temporary) {
  if (temporary.only_where_absent) {
    const int status = take_name_where_absent(temporary);
    if (status != 0 && status != kErrNewFileExists) discard_temporary_file(temporary);
    if (status == 0 && temporary.durable) sync_directory_of(temporary.replaces);
    return status;
  }
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
