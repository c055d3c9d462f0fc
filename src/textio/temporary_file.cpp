#include "textio/temporary_file.hpp"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "os/os.hpp"
#include "textio/status.hpp"

namespace textio {
namespace {

constexpr int kNameAttempts = 100;
constexpr std::size_t kCopyChunk = 1 << 16;
constexpr std::size_t kRandomLength = 8;

std::string random_part() {
  char text[kRandomLength + 1];
  std::snprintf(text, sizeof text, "%08x", os::random_number());
  return text;
}

std::string directory_of(const std::string& path) {
  const std::size_t start = os::file_name_start(path);
  return start == 0 ? std::string(".") : path.substr(0, start);
}

// The temporary file's name up to its random part: the replaced name, shortened where the
// additions would pass the directory's limit, so that the temporary file can be made wherever
// the file it replaces can be.
std::string temporary_stem(const std::string& replaces) {
  const std::string addition = ".partial-" + std::to_string(os::process_id()) + "-";
  const std::size_t name_start = os::file_name_start(replaces);
  const std::size_t limit = os::longest_file_name(directory_of(replaces));
  const std::size_t added = addition.size() + kRandomLength;
  const std::size_t longest_kept = limit > added ? limit - added : 1;
  std::string stem = replaces;
  if (stem.size() - name_start > longest_kept) stem.resize(name_start + longest_kept);
  return stem + addition;
}

// Creates a file under a name that no other run can be using (the process id and a random
// part), never opening one that exists.
int create_unique(TemporaryFile& temporary, std::FILE*& file) {
  const std::string stem = temporary_stem(temporary.replaces);
  int status = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && status == EEXIST; ++attempt) {
    temporary.path = stem + random_part();
    status = os::create_new_file(temporary.path, file);
  }
  return status;
}

int copy_contents_into(const std::string& source_path, std::FILE* target) {
  int status = 0;
  std::FILE* source = os::open_file(source_path, "rb", status);
  if (source == nullptr) return status;
  std::vector<char> buffer(kCopyChunk);
  while (status == 0) {
    errno = 0;
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), source);
    if (got < buffer.size() && std::ferror(source)) status = errno != 0 ? errno : EIO;
    if (status == 0 && got > 0 && std::fwrite(buffer.data(), 1, got, target) != got) {
      status = errno != 0 ? errno : EIO;
    }
    if (got < buffer.size()) break;
  }
  std::fclose(source);
  if (status == 0 && std::fflush(target) != 0) status = errno != 0 ? errno : EIO;
  return status;
}

}  // namespace

int replacement_target(const std::string& name, ReplacementTarget& target) {
  target = {name, false};
  os::FileStatus file;
  // No such file, or a link whose target is missing: the new file takes the name.
  if (int status = os::file_status(name, file)) return status == ENOENT ? 0 : status;
  if (file.kind == os::FileKind::directory) return EISDIR;
  if (file.kind != os::FileKind::regular) {
    target.in_place = true;
    return 0;
  }
  os::FileStatus link;
  if (int status = os::link_status(name, link)) return status;
  if (!link.symbolic_link) return 0;
  return os::resolved_path(name, target.path);
}

int create_temporary_file(const std::string& replaces, bool copy_contents, TemporaryFile& temporary,
                          std::FILE*& file) {
  temporary.replaces = replaces;
  os::FileStatus replaced;
  // Only a file that is not there may be taken for absent: a check that failed otherwise would
  // have the new file, without the old one's contents, replace it.
  const int checked = os::file_status(temporary.replaces, replaced);
  if (checked != 0 && checked != ENOENT) return checked;
  const bool exists = checked == 0;
  if (exists) {
    if (int status = os::check_writable(temporary.replaces)) return status;
  }
  if (int status = create_unique(temporary, file)) return status;
  // The new file keeps the owner and group of the file it replaces where this process may set
  // them, so that a run as another user does not take the file over.
  if (exists) os::copy_owner(file, replaced);
  int status = exists ? os::copy_permissions(file, replaced) : 0;
  if (status == 0 && exists && copy_contents) {
    status = copy_contents_into(temporary.replaces, file);
  }
  if (status != 0) {
    std::fclose(file);
    file = nullptr;
    os::remove_file(temporary.path);
  }
  return status;
}

void keep_owner_of(const std::string& replaced, const std::string& path) {
  os::FileStatus old_file;
  if (os::file_status(replaced, old_file) == 0) os::copy_owner(path, old_file);
}

void sync_directory_of(const std::string& path) {
  os::sync_directory(directory_of(path));
}

int sync_stream(std::FILE* file) {
  return os::sync_file(file);
}

namespace {

// After the exchange the old content lies under the temporary name. When it cannot be removed,
// the names are swapped back, so that a failure leaves the replaced file as it was.
int remove_exchanged(const TemporaryFile& temporary) {
  const int status = os::remove_file(temporary.path);
  if (status == 0) return 0;
  if (os::exchange_names(temporary.path, temporary.replaces)) discard_temporary_file(temporary);
  return status;
}

// Gives the temporary file the replaced name only where no file holds it. Returns
// kErrNewFileExists, with the temporary file kept, when the name is taken.
int take_name_where_absent(const TemporaryFile& temporary) {
  const int status = os::rename_where_absent(temporary.path, temporary.replaces);
  return status == EEXIST ? kErrNewFileExists : status;
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
  if (!temporary.durable && os::exchange_names(temporary.path, temporary.replaces)) {
    return remove_exchanged(temporary);
  }
  if (const int status = os::replace_file(temporary.path, temporary.replaces)) {
    discard_temporary_file(temporary);
    return status;
  }
  // The new content is in place; a directory that refuses to be synced (some file systems do)
  // leaves nothing that the run could still change.
  if (temporary.durable) sync_directory_of(temporary.replaces);
  return 0;
}

int copy_file_where_absent(const std::string& source, const std::string& copy) {
  os::FileStatus original;
  if (int status = os::file_status(source, original)) return status;
  std::FILE* file = nullptr;
  if (int status = os::create_new_file(copy, file)) return status;
  int status = copy_contents_into(source, file);
  if (status == 0) status = os::copy_permissions(file, original);
  if (status == 0) status = os::sync_file(file);
  if (std::fclose(file) != 0 && status == 0) status = errno != 0 ? errno : EIO;
  if (status != 0) os::remove_file(copy);
  return status;
}

void discard_temporary_file(const TemporaryFile& temporary) {
  os::remove_file(temporary.path);
}

}  // namespace textio
