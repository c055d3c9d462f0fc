// The operating-system layer on Windows. Names are UTF-8 inside the program and UTF-16 at the
// system's calls, so that every name a user can type reaches the file; files are opened through
// the system's own calls in binary mode and shared for reading, writing and deletion, as a file
// on a POSIX system is.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first: the others build on its types.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "os/os.hpp"
#include "os/x86_features.hpp"

namespace os {
namespace {

constexpr std::size_t kNameLimit = 255;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A replacement that another process holds up (an indexer or a virus scanner with the file open
// for a moment) is tried again for this long.
constexpr auto kReplacementPatience = std::chrono::seconds(5);
constexpr auto kReplacementPause = std::chrono::milliseconds(50);
// Seconds between the system's epoch (1601) and the C library's (1970), and ticks per second.
constexpr std::int64_t kEpochDifference = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                      length);
  return result;
}

std::string narrow(const wchar_t* text, std::size_t size) {
  if (size == 0) return {};
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), result.data(), length, nullptr,
                      nullptr);
  return result;
}

std::string narrow(const std::wstring& text) {
  return narrow(text.data(), text.size());
}

// The system's error codes in the terms of <cerrno>.
int error_number(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CANNOT_MAKE:
    case ERROR_NETWORK_ACCESS_DENIED:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_BUFFER_OVERFLOW:
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_TOO_MANY_LINKS:
      return EMLINK;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return EOPNOTSUPP;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
      return EINVAL;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK:
      return ESPIPE;
    default:
      return EIO;
  }
}

int last_error() {
  return error_number(GetLastError());
}

HANDLE handle_of(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

std::int64_t joined(DWORD high, DWORD low) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

void set_time(const FILETIME& time, std::int64_t& seconds, std::int64_t& nanoseconds) {
  const std::int64_t ticks = joined(time.dwHighDateTime, time.dwLowDateTime);
  seconds = ticks / kTicksPerSecond - kEpochDifference;
  nanoseconds = (ticks % kTicksPerSecond) * 100;
}

int status_of_handle(HANDLE handle, FileStatus& status) {
  status = FileStatus{};
  const DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return last_error();
    status.kind = type == FILE_TYPE_CHAR   ? FileKind::device
                  : type == FILE_TYPE_PIPE ? FileKind::fifo
                                           : FileKind::other;
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return last_error();
  const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.kind = directory ? FileKind::directory : FileKind::regular;
  status.symbolic_link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  status.identity = {info.dwVolumeSerialNumber,
                     static_cast<std::uint64_t>(joined(info.nFileIndexHigh, info.nFileIndexLow))};
  status.identity_known = true;
  status.size = joined(info.nFileSizeHigh, info.nFileSizeLow);
  set_time(info.ftLastWriteTime, status.modified_seconds, status.modified_nanoseconds);
  status.changed_seconds = status.modified_seconds;
  status.changed_nanoseconds = status.modified_nanoseconds;
  status.permissions = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  return 0;
}

// A handle for looking at a file (or a directory) without reading it.
HANDLE open_for_status(const std::string& name, bool follow_links) {
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(wide(name).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr);
}

int status_of_name(const std::string& name, bool follow_links, FileStatus& status) {
  const HANDLE handle = open_for_status(name, follow_links);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  const int result = status_of_handle(handle, status);
  CloseHandle(handle);
  return result;
}

struct OpenMode {
  DWORD access = 0;
  DWORD disposition = 0;
  int descriptor_flags = 0;
  bool truncate = false;
  bool append = false;
};

bool mode_of(const std::string& mode, OpenMode& open) {
  if (mode == "rb")
    open = {GENERIC_READ, OPEN_EXISTING, _O_RDONLY};
  else if (mode == "r+b")
    open = {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, _O_RDWR};
  else if (mode == "wb")
    open = {GENERIC_WRITE, OPEN_ALWAYS, _O_WRONLY, true};
  else if (mode == "w+b")
    open = {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, _O_RDWR, true};
  else if (mode == "ab")
    open = {GENERIC_WRITE, OPEN_ALWAYS, _O_WRONLY | _O_APPEND, false, true};
  else
    return false;
  return true;
}

// A C stream over a system handle; the handle is closed on failure.
std::FILE* stream_of(HANDLE handle, int descriptor_flags, const char* mode, int& status) {
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                         descriptor_flags | _O_BINARY | _O_NOINHERIT);
  if (descriptor < 0) {
    status = EMFILE;
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, mode);
  if (file == nullptr) {
    status = errno != 0 ? errno : EIO;
    _close(descriptor);
  }
  return file;
}

// A rename of `from` over `to` that leaves handles others hold on `to` working, where the file
// system can: the file then loses its name at once, as on POSIX systems.
constexpr int kFileRenameInfoEx = 22;
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

struct RenameInformation {
  DWORD flags;
  HANDLE root;
  DWORD length;
  WCHAR name[1];
};

bool rename_posix_style(const std::string& from, const std::string& to) {
  const HANDLE handle = CreateFileW(wide(from).c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring target = wide(to);
  std::vector<char> buffer(sizeof(RenameInformation) + target.size() * sizeof(WCHAR));
  auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
  info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
  info->root = nullptr;
  info->length = static_cast<DWORD>(target.size() * sizeof(WCHAR));
  std::copy(target.begin(), target.end(), info->name);
  const bool done =
      SetFileInformationByHandle(handle, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileRenameInfoEx),
                                 info, static_cast<DWORD>(buffer.size()));
  // No flush here: this handle has no write access, so a flush on it could only fail. The file's
  // content was flushed through the stream that wrote it (sync_file) before it was closed.
  CloseHandle(handle);
  return done;
}

bool held_up_by_another_process(DWORD code) {
  return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
         code == ERROR_LOCK_VIOLATION;
}

}  // namespace

int file_status(const std::string& name, FileStatus& status) {
  return status_of_name(name, true, status);
}

int link_status(const std::string& name, FileStatus& status) {
  return status_of_name(name, false, status);
}

int open_file_status(std::FILE* file, FileStatus& status) {
  return status_of_handle(handle_of(file), status);
}

int check_writable(const std::string& name) {
  const DWORD attributes = GetFileAttributesW(wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES : 0;
}

int resolved_path(const std::string& name, std::string& path) {
  const HANDLE handle = open_for_status(name, true);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length =
      GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  }
  const int status = length == 0 ? last_error() : 0;
  CloseHandle(handle);
  if (status != 0) return status;
  std::wstring resolved(buffer.data(), length);
  if (resolved.rfind(L"\\\\?\\", 0) == 0) resolved.erase(0, 4);
  path = narrow(resolved);
  return 0;
}

std::string current_directory() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::vector<wchar_t> buffer(length + 1);
  const DWORD got = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  return narrow(buffer.data(), got);
}

std::vector<std::string> directory_entries(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  const std::string pattern = (directory.empty() ? std::string(".") : directory) + "\\*";
  const HANDLE search = FindFirstFileW(wide(pattern).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = narrow(entry.cFileName, wcslen(entry.cFileName));
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

std::size_t longest_file_name(const std::string&) {
  return kNameLimit;
}

std::FILE* open_file(const std::string& name, const char* mode, int& status) {
  OpenMode open{};
  if (!mode_of(mode, open)) {
    status = EINVAL;
    return nullptr;
  }
  const DWORD access = open.append ? FILE_APPEND_DATA | SYNCHRONIZE : open.access;
  const HANDLE handle = CreateFileW(wide(name).c_str(), access, kShareAll, nullptr,
                                    open.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    status = last_error();
    // A directory refuses to be opened as a file.
    const DWORD attributes = GetFileAttributesW(wide(name).c_str());
    if (status == EACCES && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      status = EISDIR;
    }
    return nullptr;
  }
  if (open.truncate && GetFileType(handle) == FILE_TYPE_DISK && !SetEndOfFile(handle)) {
    status = last_error();
    CloseHandle(handle);
    return nullptr;
  }
  return stream_of(handle, open.descriptor_flags, mode, status);
}

int create_new_file(const std::string& name, std::FILE*& file) {
  const HANDLE handle = CreateFileW(wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  int status = 0;
  file = stream_of(handle, _O_RDWR, "w+b", status);
  if (file == nullptr) DeleteFileW(wide(name).c_str());
  return status;
}

// The C library's own scratch file would be made in the root of the drive, where users may not
// write: it goes to the user's temporary directory instead.
std::FILE* open_scratch_file(int& status) {
  wchar_t directory[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, directory) == 0 ||
      GetTempFileNameW(directory, L"mcv", 0, name) == 0) {
    status = last_error();
    return nullptr;
  }
  const HANDLE handle =
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    status = last_error();
    DeleteFileW(name);
    return nullptr;
  }
  return stream_of(handle, _O_RDWR, "w+b", status);
}

int seek_to(std::FILE* file, std::int64_t offset) {
  return _fseeki64(file, offset, SEEK_SET) == 0 ? 0 : (errno != 0 ? errno : EINVAL);
}

int seek_to_end(std::FILE* file) {
  return _fseeki64(file, 0, SEEK_END) == 0 ? 0 : (errno != 0 ? errno : EINVAL);
}

std::int64_t position_of(std::FILE* file) {
  return _ftelli64(file);
}

int truncate_file(std::FILE* file, std::int64_t size) {
  return _chsize_s(_fileno(file), size);
}

int sync_file(std::FILE* file) {
  return FlushFileBuffers(handle_of(file)) ? 0 : last_error();
}

// The file's cache is kept: a handle cannot leave it after the file is opened.
int write_past_cache(std::FILE* file, const void* bytes, std::size_t size) {
  errno = 0;
  if (std::fwrite(bytes, 1, size, file) == size) return 0;
  return errno != 0 ? errno : EIO;
}

// A rename is written through when it is made (MOVEFILE_WRITE_THROUGH), or kept by the file
// system's journal (the POSIX-style rename): no directory can be synced on Windows.
void sync_directory(const std::string&) {}

// Permissions and owners are the directory's own on Windows; a read-only file is refused before.
int copy_permissions(std::FILE*, const FileStatus&) {
  return 0;
}

void copy_owner(std::FILE*, const FileStatus&) {}

void copy_owner(const std::string&, const FileStatus&) {}

int remove_file(const std::string& name) {
  return DeleteFileW(wide(name).c_str()) ? 0 : last_error();
}

int replace_file(const std::string& from, const std::string& to) {
  if (rename_posix_style(from, to)) return 0;
  const auto deadline = std::chrono::steady_clock::now() + kReplacementPatience;
  for (;;) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return 0;
    }
    const DWORD code = GetLastError();
    if (!held_up_by_another_process(code) || std::chrono::steady_clock::now() >= deadline) {
      return error_number(code);
    }
    std::this_thread::sleep_for(kReplacementPause);
  }
}

int rename_where_absent(const std::string& from, const std::string& to) {
  if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
  return last_error();
}

bool exchange_names(const std::string&, const std::string&) {
  return false;
}

int add_link(const std::string& existing, const std::string& added) {
  if (CreateHardLinkW(wide(added).c_str(), wide(existing).c_str(), nullptr)) return 0;
  return last_error();
}

namespace {

// The name of the lock of a file or directory: its identity (volume serial number and file
// index), so that every name of it (another drive letter, a linked folder, the \\?\ form,
// another case) leads to one lock, in the namespace that every process of the session sees.
std::wstring lock_name_of(const FileIdentity& identity) {
  wchar_t text[80];
  swprintf(text, 80, L"Local\\mapconv-lock-%016llx-%016llx",
           static_cast<unsigned long long>(identity.device),
           static_cast<unsigned long long>(identity.number));
  return text;
}

// A mutex of that name that another user made cannot be opened by this run: the lock is refused
// then rather than silently skipped.
HANDLE open_lock_mutex(const std::wstring& name, int& status) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
    mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    if (mutex == nullptr) status = EBUSY;
  } else if (mutex == nullptr) {
    status = last_error();
  }
  return mutex;
}

}  // namespace

// The lock is a mutex named after the file's identity rather than a lock on the file itself: a
// file held open could not be replaced by the new one that a run renames over it. A run that ends
// without releasing it, however it ends, leaves the mutex abandoned, and the next run takes it
// over.
int FileLockHandle::open(const std::string& name) {
  release();
  FileStatus status;
  if (int result = status_of_name(name, true, status)) return result;
  int result = 0;
  const HANDLE mutex = open_lock_mutex(lock_name_of(status.identity), result);
  if (mutex == nullptr) return result;
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  identity_ = status.identity;
  held_ = false;
  return 0;
}

int FileLockHandle::lock(bool wait) {
  const DWORD result = WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), wait ? INFINITE : 0);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
    held_ = true;
    return 0;
  }
  return result == WAIT_TIMEOUT ? EWOULDBLOCK : last_error();
}

int FileLockHandle::leads_here(const std::string& name, bool& same) {
  FileStatus status;
  same = false;
  if (int result = status_of_name(name, true, status)) return result;
  same = status.identity == identity_;
  return 0;
}

void FileLockHandle::release() {
  if (handle_ == -1) return;
  if (held_) ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  held_ = false;
}

namespace {

std::string in_ansi_code_page(const wchar_t* text) {
  const int size = static_cast<int>(wcslen(text));
  if (size == 0) return {};
  const int length = WideCharToMultiByte(CP_ACP, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, size, result.data(), length, nullptr, nullptr);
  return result;
}

}  // namespace

// The C library hands the arguments over in the ANSI code page, which cannot hold every letter:
// a list that is the command line in that code page is taken again from the command line as
// typed. Any other list was made by the program, in UTF-8 already.
std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> given(argv, argv + argc);
  int count = 0;
  wchar_t** typed = CommandLineToArgvW(GetCommandLineW(), &count);
  if (typed == nullptr) return given;
  bool from_command_line = count == argc;
  for (int i = 0; from_command_line && i < count; ++i) {
    from_command_line = in_ansi_code_page(typed[i]) == given[static_cast<std::size_t>(i)];
  }
  if (from_command_line) {
    for (int i = 0; i < count; ++i)
      given[static_cast<std::size_t>(i)] = narrow(typed[i], wcslen(typed[i]));
  }
  LocalFree(typed);
  return given;
}

std::string executable_path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return narrow(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path path_of(const std::string& name) {
  return std::filesystem::path(wide(name));
}

std::string name_of(const std::filesystem::path& path) {
  return narrow(path.wstring());
}

std::size_t file_name_start(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator != std::string_view::npos) return separator + 1;
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return drive ? 2 : 0;
}

std::optional<std::string> environment_variable(const std::string& name) {
  const std::wstring wide_name = wide(name);
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (length == 0) return std::nullopt;
  std::vector<wchar_t> buffer(length);
  const DWORD got = GetEnvironmentVariableW(wide_name.c_str(), buffer.data(), length);
  return narrow(buffer.data(), got);
}

// Through the C library, whose copy of the environment its local time reads, as well as the
// system's.
void set_environment_variable(const std::string& name, const std::string& value) {
  _wputenv_s(wide(name).c_str(), wide(value).c_str());
  _tzset();
}

void unset_environment_variable(const std::string& name) {
  _wputenv_s(wide(name).c_str(), L"");
  _tzset();
}

long process_id() {
  return static_cast<long>(GetCurrentProcessId());
}

bool processor_has_avx2() {
  return internal::processor_reports_avx2();
}

// Large pages need a privilege that users seldom hold: the hint is not taken.
void advise_large_pages(void*, std::size_t) {}

void make_pages(void*, std::size_t) {}

unsigned random_number() {
  return std::random_device()();
}

bool local_time(std::time_t time, std::tm& parts) {
  return localtime_s(&parts, &time) == 0;
}

// A standard stream that the process was started without gets the null device, opened the other
// way round, so that every transfer on it fails as on a closed stream.
// Windows has no such signals: the writes fail already.
void fail_writes_instead_of_signals() {}

bool hold_standard_streams() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    const intptr_t handle = _get_osfhandle(descriptor);
    if (handle != -1 && handle != -2) continue;
    const int stand_in = _open("NUL", descriptor == 0 ? _O_WRONLY : _O_RDONLY);
    if (stand_in < 0) return false;
    const bool placed = stand_in == descriptor || _dup2(stand_in, descriptor) == 0;
    if (stand_in != descriptor) _close(stand_in);
    if (!placed) return false;
  }
  return true;
}

namespace {

// The console's output code page before the program set UTF-8; 0 when it was left alone.
UINT console_code_page_before = 0;

void restore_console_code_page() {
  if (console_code_page_before != 0) SetConsoleOutputCP(console_code_page_before);
}

}  // namespace

// The console is the user's: its code page goes back to what it was however the program ends.
int run_program(const std::vector<std::string>&, std::FILE*, std::FILE*, int&) {
  return ENOSYS;
}

void use_utf8_console_output() {
  const UINT before = GetConsoleOutputCP();
  if (before == 0 || before == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  console_code_page_before = before;
  std::atexit(restore_console_code_page);
}

void abort_process() {
  restore_console_code_page();
  std::_Exit(3);
}

}  // namespace os
