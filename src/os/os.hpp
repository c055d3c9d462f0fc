// The one place where the program meets the operating system: files and their names, locks,
// the running program, the environment and the standard streams. There is a POSIX and a Windows
// implementation of everything here; the rest of the program includes no system header.
//
// Names are UTF-8 text. Functions that can fail return 0 or an error number of <cerrno>
// (ENOENT, EACCES, EEXIST, ...); on Windows the system's own error codes are translated into
// those. Every file is opened in binary mode, never inherited by child processes, and may be
// renamed or removed by others while it is open.
//
// Worker threads may call the functions on open streams (seek, tell, truncate, sync); the rest
// belongs to the thread that runs the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace os {

// ---- Files and their names -------------------------------------------------------------------

enum class FileKind { regular, directory, device, fifo, socket, other };

// Which file a name or an open file is: two names are one file when their identities are equal.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileStatus {
  FileKind kind = FileKind::regular;
  bool symbolic_link = false;  // only from link_status
  FileIdentity identity;
  bool identity_known = false;  // false where the file system numbers no files
  std::int64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  std::int64_t changed_seconds = 0;
  std::int64_t changed_nanoseconds = 0;
  unsigned permissions = 0;  // the permission bits, where the system has them
  std::uint64_t owner = 0;
  std::uint64_t group = 0;
};

// The status of the file a name leads to, symbolic links followed.
int file_status(const std::string& name, FileStatus& status);
// The status of the name itself: a symbolic link is described, not followed.
int link_status(const std::string& name, FileStatus& status);
// The status of an open file.
int open_file_status(std::FILE* file, FileStatus& status);
// 0 when this process may write the file `name`, else the reason.
int check_writable(const std::string& name);
// The path that `name` leads to with every symbolic link resolved.
int resolved_path(const std::string& name, std::string& path);
// The working directory.
std::string current_directory();
// The names in a directory ("." and ".." left out); an empty list when it cannot be read.
std::vector<std::string> directory_entries(const std::string& directory);
// The longest file name that the directory holds.
std::size_t longest_file_name(const std::string& directory);

// Opens a file as std::fopen would, with a mode of "rb", "r+b", "wb", "w+b" or "ab".
std::FILE* open_file(const std::string& name, const char* mode, int& status);
// Creates `name`, which must not exist, and opens it for reading and writing.
int create_new_file(const std::string& name, std::FILE*& file);
// A nameless file for scratch data, removed when it is closed.
std::FILE* open_scratch_file(int& status);

// Positions of open files, 64 bits wide on every system.
int seek_to(std::FILE* file, std::int64_t offset);
int seek_to_end(std::FILE* file);
std::int64_t position_of(std::FILE* file);
// Cuts the file (flushed before) at `size` bytes.
int truncate_file(std::FILE* file, std::int64_t size);
// Brings what was written to the file (flushed before) onto the disk.
int sync_file(std::FILE* file);
// Writes `size` bytes at the file's position (the stream flushed first) and leaves the position
// after them. Where the system allows, the whole 4 KB blocks of a position and of memory aligned
// to 4 KB go to the disk past the system's file cache: a large file that nothing reads at once
// then takes no fresh memory, which inside a virtual machine costs more than the disk. A pipe or
// a device takes the bytes as any write.
int write_past_cache(std::FILE* file, const void* bytes, std::size_t size);
// Makes the latest renames in a directory durable; a directory that refuses (some file systems
// do) is left as it is.
void sync_directory(const std::string& directory);

// Gives the open file the permissions, owner and group of the file described by `model` where
// this process may set them; what cannot be set stays as the system made it.
int copy_permissions(std::FILE* file, const FileStatus& model);
void copy_owner(std::FILE* file, const FileStatus& model);
void copy_owner(const std::string& name, const FileStatus& model);

int remove_file(const std::string& name);
// Renames `from` to `to`, replacing the file `to` if there is one, as one step: the name `to`
// leads to the old file or the new one at every moment. A replacement that another process holds
// up for a moment (an indexer, a virus scanner) is tried again for a while.
int replace_file(const std::string& from, const std::string& to);
// Renames `from` to `to` only where no file holds the name `to`: EEXIST when one does.
int rename_where_absent(const std::string& from, const std::string& to);
// Swaps the names of two files; false, with both as they were, where the system cannot.
bool exchange_names(const std::string& first, const std::string& second);
// Gives the file `existing` the second name `added`. EXDEV, EPERM, EOPNOTSUPP or EMLINK say that
// the file system has no second names.
int add_link(const std::string& existing, const std::string& added);

// ---- Locks -----------------------------------------------------------------------------------

// An exclusive lock on a file or a directory that other processes cooperating through the same
// lock respect, whatever name they reach it by: the lock belongs to the file's identity. It ends
// when it is released or the process ends, however it ends. It never keeps the file from being
// replaced.
class FileLockHandle {
 public:
  FileLockHandle() = default;
  FileLockHandle(const FileLockHandle&) = delete;
  FileLockHandle& operator=(const FileLockHandle&) = delete;
  ~FileLockHandle() { release(); }

  // Opens the file or directory `name` for the lock, without blocking on a FIFO; 0 or the reason.
  int open(const std::string& name);
  // Takes the lock; EWOULDBLOCK when `wait` is false and another process holds it.
  int lock(bool wait);
  // Whether `name` still leads to the file that is locked.
  int leads_here(const std::string& name, bool& same);
  void release();

 private:
  std::intptr_t handle_ = -1;
  // Windows: the identity the lock is named by, and whether this process owns it.
  [[maybe_unused]] FileIdentity identity_;
  [[maybe_unused]] bool held_ = false;
};

// ---- The running program ---------------------------------------------------------------------

// The program's arguments as UTF-8 text; a list the program made itself is taken as it is.
std::vector<std::string> program_arguments(int argc, char** argv);
// The path of the running executable; empty when the system does not say.
std::string executable_path();
// A name as the standard library's paths hold it, and back: UTF-8 text on every system, whatever
// the system's own encoding of names.
std::filesystem::path path_of(const std::string& name);
std::string name_of(const std::filesystem::path& path);

// Where the file-name part of a path starts: after its directory part ("runs/", and on Windows
// also "runs\\" and a drive such as "C:"); 0 when there is none.
std::size_t file_name_start(std::string_view path);
// The value of an environment variable; nothing when it is not set.
std::optional<std::string> environment_variable(const std::string& name);
// Sets or removes an environment variable of this process (the local time follows TZ).
void set_environment_variable(const std::string& name, const std::string& value);
void unset_environment_variable(const std::string& name);
long process_id();
// Whether the processor has AVX2 and the system keeps its registers; false on other processors.
bool processor_has_avx2();
// Asks the system to back the pages of [start, start + bytes) that are still untouched with large
// pages where it can: memory about to be filled whole is then made in a few steps instead of a
// trap for every 4 KB, which inside a virtual machine costs more than filling it. A hint only.
void advise_large_pages(void* start, std::size_t bytes);
// Makes the system's pages of [start, start + bytes) now, without changing what the memory holds,
// so that another thread may fill it meanwhile. Where the system cannot (Linux before 5.14,
// Windows), the pages are made as they are first written.
void make_pages(void* start, std::size_t bytes);
// A number that no other process can foresee, for names that no other run picks.
unsigned random_number();
// The local time of `time`; false when it cannot be converted.
bool local_time(std::time_t time, std::tm& parts);
// Makes sure that standard input, output and error are open, putting the null device where one
// is closed, so that no file the program opens takes their place; false when that fails.
bool hold_standard_streams();
// A write to a pipe whose reader has gone, or beyond the file-size limit, fails from then on
// (EPIPE, EFBIG) where it would end the process with a signal.
void fail_writes_instead_of_signals();
// Shows the UTF-8 text the programs write as such on a console whose code page is another, until
// the process ends (Windows sets the console's output code page and restores it at the end;
// nothing to do elsewhere).
void use_utf8_console_output();
// Runs the program `command[0]`, looked for on PATH, with the arguments that follow, its standard
// input read from `input` and its standard output and error written to `output` (both from
// where their positions stand), and waits for it to end. Returns 0 and sets `exit_status` (128
// plus the signal's number for a program a signal ended), or ENOENT when there is no such
// program, or the reason it could not be started; ENOSYS on Windows, where the programs start
// no others.
int run_program(const std::vector<std::string>& command, std::FILE* input, std::FILE* output,
                int& exit_status);
// Ends the process at once, as after a failed file operation: abnormally on POSIX (the abort
// signal, status 134 in a shell), with status 3 on Windows.
[[noreturn]] void abort_process();

}  // namespace os
