// The operating-system layer on POSIX systems. Linux-only calls are used where the build found
// them (MAPCONV_HAVE_*), with a POSIX fallback beside each.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "os/os.hpp"
#include "os/x86_features.hpp"

#if MAPCONV_HAVE_X86_PLATFORM
#include <sys/platform/x86.h>
#endif
#if MAPCONV_HAVE_AT_EXECFN
#include <sys/auxv.h>
#endif

// The environment that started programs inherit.
extern char** environ;

namespace os {
namespace {

constexpr std::size_t kCommonNameLimit = 255;
constexpr const char* kNullDevice = "/dev/null";

int errno_or(int fallback) {
  return errno != 0 ? errno : fallback;
}

FileStatus status_of(const struct stat& info) {
  FileStatus status;
  status.kind = S_ISREG(info.st_mode)                            ? FileKind::regular
                : S_ISDIR(info.st_mode)                          ? FileKind::directory
                : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? FileKind::device
                : S_ISFIFO(info.st_mode)                         ? FileKind::fifo
                : S_ISSOCK(info.st_mode)                         ? FileKind::socket
                                                                 : FileKind::other;
  status.symbolic_link = S_ISLNK(info.st_mode);
  status.identity = {static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino)};
  // Without inode numbers two files cannot be told apart.
  status.identity_known = info.st_ino != 0;
  status.size = static_cast<std::int64_t>(info.st_size);
#if defined(__APPLE__)
  status.modified_seconds = info.st_mtimespec.tv_sec;
  status.modified_nanoseconds = info.st_mtimespec.tv_nsec;
  status.changed_seconds = info.st_ctimespec.tv_sec;
  status.changed_nanoseconds = info.st_ctimespec.tv_nsec;
#else
  status.modified_seconds = info.st_mtim.tv_sec;
  status.modified_nanoseconds = info.st_mtim.tv_nsec;
  status.changed_seconds = info.st_ctim.tv_sec;
  status.changed_nanoseconds = info.st_ctim.tv_nsec;
#endif
  status.permissions = static_cast<unsigned>(info.st_mode & 07777);
  status.owner = static_cast<std::uint64_t>(info.st_uid);
  status.group = static_cast<std::uint64_t>(info.st_gid);
  return status;
}

int descriptor_of(std::FILE* file) {
  return fileno(file);
}

// Opens with O_CLOEXEC; the flags carry the access wanted.
int open_descriptor(const std::string& name, int flags, mode_t mode = 0666) {
  int descriptor;
  do descriptor = ::open(name.c_str(), flags | O_CLOEXEC, mode);
  while (descriptor < 0 && errno == EINTR);
  return descriptor;
}

int flags_of_mode(const std::string& mode) {
  if (mode == "rb") return O_RDONLY;
  if (mode == "r+b") return O_RDWR;
  if (mode == "wb") return O_WRONLY | O_CREAT | O_TRUNC;
  if (mode == "w+b") return O_RDWR | O_CREAT | O_TRUNC;
  if (mode == "ab") return O_WRONLY | O_CREAT | O_APPEND;
  return -1;
}

std::FILE* stream_of(int descriptor, const char* mode, int& status) {
  std::FILE* file = fdopen(descriptor, mode);
  if (file == nullptr) {
    status = errno_or(EIO);
    close(descriptor);
  }
  return file;
}

int flock_retrying(int descriptor, int operation) {
  int result;
  do result = flock(descriptor, operation);
  while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace

int file_status(const std::string& name, FileStatus& status) {
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) return errno;
  status = status_of(info);
  return 0;
}

int link_status(const std::string& name, FileStatus& status) {
  struct stat info {};
  if (lstat(name.c_str(), &info) != 0) return errno;
  status = status_of(info);
  return 0;
}

int open_file_status(std::FILE* file, FileStatus& status) {
  struct stat info {};
  if (fstat(descriptor_of(file), &info) != 0) return errno;
  status = status_of(info);
  return 0;
}

int check_writable(const std::string& name) {
  return access(name.c_str(), W_OK) == 0 ? 0 : errno;
}

int resolved_path(const std::string& name, std::string& path) {
  char* resolved = realpath(name.c_str(), nullptr);
  if (resolved == nullptr) return errno;
  path = resolved;
  std::free(resolved);
  return 0;
}

std::string current_directory() {
  std::vector<char> buffer(PATH_MAX > 0 ? PATH_MAX : 4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::vector<std::string> directory_entries(const std::string& directory) {
  std::vector<std::string> names;
  DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(listing);
  return names;
}

std::size_t longest_file_name(const std::string& directory) {
  const long limit = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : kCommonNameLimit;
}

std::FILE* open_file(const std::string& name, const char* mode, int& status) {
  errno = 0;
  const int flags = flags_of_mode(mode);
  if (flags < 0) {
    status = EINVAL;
    return nullptr;
  }
  const int descriptor = open_descriptor(name, flags);
  if (descriptor < 0) {
    status = errno_or(EIO);
    return nullptr;
  }
  return stream_of(descriptor, mode, status);
}

int create_new_file(const std::string& name, std::FILE*& file) {
  const int descriptor = open_descriptor(name, O_RDWR | O_CREAT | O_EXCL);
  if (descriptor < 0) return errno;
  int status = 0;
  file = stream_of(descriptor, "w+b", status);
  if (file == nullptr) unlink(name.c_str());
  return status;
}

std::FILE* open_scratch_file(int& status) {
  errno = 0;
  std::FILE* file = std::tmpfile();
  if (file == nullptr) {
    status = errno_or(EIO);
  } else if (fcntl(fileno(file), F_SETFD, FD_CLOEXEC) != 0) {
    // The C library opens it inheritable: a program started meanwhile must not hold it.
    status = errno_or(EIO);
    std::fclose(file);
    file = nullptr;
  }
  return file;
}

int seek_to(std::FILE* file, std::int64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 ? 0 : errno_or(EINVAL);
}

int seek_to_end(std::FILE* file) {
  return fseeko(file, 0, SEEK_END) == 0 ? 0 : errno_or(EINVAL);
}

std::int64_t position_of(std::FILE* file) {
  return static_cast<std::int64_t>(ftello(file));
}

int truncate_file(std::FILE* file, std::int64_t size) {
  return ftruncate(descriptor_of(file), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int sync_file(std::FILE* file) {
  return fsync(descriptor_of(file)) == 0 ? 0 : errno;
}

namespace {

// Writes all of `size` bytes at `offset`. Returns 0 or the error number.
int write_all_at(int descriptor, const unsigned char* bytes, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t written = pwrite(descriptor, bytes, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += written;
  }
  return 0;
}

#if MAPCONV_HAVE_O_DIRECT
constexpr std::size_t kDirectBlock = 4096;

// Writes the whole blocks of `bytes` at `offset` past the file's cache, as far as the file system
// takes them. Returns how many bytes were written; `status` is set when a write failed for
// another reason than the alignment that the file system asks for.
std::size_t write_direct(int descriptor, const unsigned char* bytes, std::size_t size, off_t offset,
                         int& status) {
  const std::size_t whole = size / kDirectBlock * kDirectBlock;
  if (whole == 0 || offset % off_t{kDirectBlock} != 0 ||
      reinterpret_cast<std::uintptr_t>(bytes) % kDirectBlock != 0) {
    return 0;
  }
  const int flags = fcntl(descriptor, F_GETFL);
  // A file system that keeps every file in its cache refuses the flag.
  if (flags < 0 || fcntl(descriptor, F_SETFL, flags | O_DIRECT) != 0) return 0;
  std::size_t done = 0;
  while (done < whole) {
    const ssize_t written =
        pwrite(descriptor, bytes + done, whole - done, offset + static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      // EINVAL: the file system asks for another alignment; the cache takes the rest.
      if (written == 0) status = EIO;
      if (written < 0 && errno != EINVAL) status = errno;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  if (fcntl(descriptor, F_SETFL, flags) != 0 && status == 0) status = errno;
  return done;
}
#endif

}  // namespace

int write_past_cache(std::FILE* file, const void* bytes, std::size_t size) {
  if (std::fflush(file) != 0) return errno_or(EIO);
  const int descriptor = descriptor_of(file);
  const off_t start = lseek(descriptor, 0, SEEK_CUR);
  if (start < 0) {
    if (errno != ESPIPE) return errno;
    errno = 0;
    return std::fwrite(bytes, 1, size, file) == size ? 0 : errno_or(EIO);
  }
  const auto* data = static_cast<const unsigned char*>(bytes);
  int status = 0;
  std::size_t done = 0;
#if MAPCONV_HAVE_O_DIRECT
  done = write_direct(descriptor, data, size, start, status);
#endif
  if (status == 0) {
    status = write_all_at(descriptor, data + done, size - done, start + static_cast<off_t>(done));
  }
  // The stream learns the position that the writes left.
  if (status == 0 && fseeko(file, start + static_cast<off_t>(size), SEEK_SET) != 0) {
    status = errno_or(EIO);
  }
  return status;
}

void sync_directory(const std::string& directory) {
  const int descriptor = open_descriptor(directory.empty() ? "." : directory, O_RDONLY);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

int copy_permissions(std::FILE* file, const FileStatus& model) {
  return fchmod(descriptor_of(file), static_cast<mode_t>(model.permissions)) == 0 ? 0 : errno;
}

// The group alone is tried when the owner may not be given away.
void copy_owner(std::FILE* file, const FileStatus& model) {
  const int descriptor = descriptor_of(file);
  const auto owner = static_cast<uid_t>(model.owner);
  const auto group = static_cast<gid_t>(model.group);
  if (fchown(descriptor, owner, group) == 0) return;
  [[maybe_unused]] const int group_only = fchown(descriptor, static_cast<uid_t>(-1), group);
}

void copy_owner(const std::string& name, const FileStatus& model) {
  int status = 0;
  std::FILE* file = open_file(name, "rb", status);
  if (file == nullptr) return;
  copy_owner(file, model);
  std::fclose(file);
}

int remove_file(const std::string& name) {
  return unlink(name.c_str()) == 0 ? 0 : errno;
}

int replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int rename_where_absent(const std::string& from, const std::string& to) {
#if MAPCONV_HAVE_RENAMEAT2
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // A second name is refused where one exists; the first is then given up. A first name that
  // cannot be given up takes the second one back, so that the file keeps one name either way.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  if (unlink(from.c_str()) == 0) return 0;
  const int status = errno;
  unlink(to.c_str());
  return status;
}

bool exchange_names(const std::string& first, const std::string& second) {
#if MAPCONV_HAVE_RENAMEAT2
  return renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0;
#else
  (void)first;
  (void)second;
  return false;
#endif
}

int add_link(const std::string& existing, const std::string& added) {
  return link(existing.c_str(), added.c_str()) == 0 ? 0 : errno;
}

int FileLockHandle::open(const std::string& name) {
  release();
  // Not blocking on the open: a FIFO under the name must not hold the run here.
  const int descriptor = open_descriptor(name, O_RDONLY | O_NONBLOCK);
  if (descriptor < 0) return errno;
  handle_ = descriptor;
  return 0;
}

int FileLockHandle::lock(bool wait) {
  const int descriptor = static_cast<int>(handle_);
  const int status = flock_retrying(descriptor, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
  return status == EAGAIN ? EWOULDBLOCK : status;
}

int FileLockHandle::leads_here(const std::string& name, bool& same) {
  struct stat opened {};
  struct stat named {};
  same = false;
  if (fstat(static_cast<int>(handle_), &opened) != 0) return errno;
  if (stat(name.c_str(), &named) != 0) return errno;
  same = opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
  return 0;
}

void FileLockHandle::release() {
  if (handle_ < 0) return;
  close(static_cast<int>(handle_));
  handle_ = -1;
}

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::string executable_path() {
#if MAPCONV_HAVE_AT_EXECFN
  // The name the program was started by, which the system hands every program: the process's
  // first look into /proc costs twenty times as much.
  if (const auto* started_as = reinterpret_cast<const char*>(getauxval(AT_EXECFN))) {
    const std::string path = started_as;
    if (!path.empty() && path.front() == '/') return path;
    const std::string directory = current_directory();
    if (!path.empty() && !directory.empty()) return directory + "/" + path;
  }
#endif
#if MAPCONV_HAVE_PROC_SELF_EXE
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
#else
  return {};
#endif
}

// Names are bytes here, passed on as they are.
std::filesystem::path path_of(const std::string& name) {
  return std::filesystem::path(name);
}

std::string name_of(const std::filesystem::path& path) {
  return path.string();
}

std::size_t file_name_start(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

std::optional<std::string> environment_variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void set_environment_variable(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
  tzset();
}

void unset_environment_variable(const std::string& name) {
  unsetenv(name.c_str());
  tzset();
}

long process_id() {
  return static_cast<long>(getpid());
}

// The C library asks the processor at the start of every run and keeps the answer, which also
// follows its tunables: asking again costs a trap per question inside a virtual machine.
bool processor_has_avx2() {
#if MAPCONV_HAVE_X86_PLATFORM
  return CPU_FEATURE_ACTIVE(AVX2);
#else
  return internal::processor_reports_avx2();
#endif
}

void advise_large_pages(void* start, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  // madvise takes whole pages: the range is cut to the pages that lie wholly inside it.
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

void make_pages(void* start, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(start) / page * page;
  const auto end = reinterpret_cast<std::uintptr_t>(start) + bytes;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)bytes;
#endif
}

// The system's random source: the C++ library's device asks the processor which sources it has
// and opens one, twenty times as long.
unsigned random_number() {
  unsigned number = 0;
  if (getentropy(&number, sizeof number) == 0) return number;
  return std::random_device()();
}

bool local_time(std::time_t time, std::tm& parts) {
  return localtime_r(&time, &parts) != nullptr;
}

namespace {

bool is_closed(int descriptor) {
  return fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
}

// The lowest free number is the closed one, so the null device lands on it; anything else means
// the descriptors changed under us. Standard input's stand-in is open for writing only and the
// outputs' for reading only, so that every transfer on it fails as on a closed stream.
bool stand_in_for(int descriptor) {
  const int flags = descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY;
  const int opened = ::open(kNullDevice, flags);
  if (opened == descriptor) return true;
  if (opened >= 0) close(opened);
  return false;
}

}  // namespace

// A reader that went away or a file-size limit then fails the write, which the program
// reports, instead of ending the process on the spot with its temporary files left behind.
void fail_writes_instead_of_signals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

bool hold_standard_streams() {
  for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (is_closed(descriptor) && !stand_in_for(descriptor)) return false;
  }
  return true;
}

void use_utf8_console_output() {}

int run_program(const std::vector<std::string>& command, std::FILE* input, std::FILE* output,
                int& exit_status) {
  if (command.empty()) return EINVAL;
  if (std::fflush(output) != 0) return errno_or(EIO);
  std::vector<char*> arguments;
  for (const std::string& argument : command)
    arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (const int error = posix_spawn_file_actions_init(&actions)) return error;
  int error = posix_spawn_file_actions_adddup2(&actions, fileno(input), 0);
  if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, fileno(output), 1);
  if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, fileno(output), 2);
  pid_t child = 0;
  if (error == 0) {
    error = posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return error;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return errno_or(ECHILD);
  }
  exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return 0;
}

void abort_process() {
  std::abort();
}

}  // namespace os
