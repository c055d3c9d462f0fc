// A file written under a temporary name beside the file it is to replace, so that the replaced
// file holds either its old bytes or the whole new content, never a mix; units use it through
// OpenOptions::through_temporary.
#pragma once

#include <cstdio>
#include <string>

namespace textio {

struct TemporaryFile {
  std::string path;      // the file written: the replaced path, ".partial-", process id, random
  std::string replaces;  // the file it takes the place of, symbolic links followed
  bool durable = true;   // synced to the disk, and its rename with it, before it counts as done
  // Takes the name only where no file holds it (a file made with status "NEW"): a file that
  // appeared under the name meanwhile is never replaced, and the temporary file is kept.
  bool only_where_absent = false;
};

// Where a replacement of a name puts the new content.
struct ReplacementTarget {
  // The target of a symbolic link, so that the link keeps pointing at the new content; the name
  // itself otherwise.
  std::string path;
  // A device, a FIFO or another file that is not a regular file is written in place through its
  // name and never replaced: a replacement would put a plain file where the device was.
  bool in_place = false;
};

// Finds what a replacement of `name` must change. Returns 0, EISDIR for a directory, or the error
// number of a check that failed for a reason other than the file's absence.
int replacement_target(const std::string& name, ReplacementTarget& target);

// Creates a temporary file that is to replace the file `replaces` and opens it for reading and
// writing into `file`. It starts empty, or with a copy of the replaced file's bytes when
// `copy_contents` is set, and carries the replaced file's permissions. A replaced file that this
// process may not write is refused, as writing it in place would be. Returns 0 or the error
// number; on failure nothing is left behind.
int create_temporary_file(const std::string& replaces, bool copy_contents, TemporaryFile& temporary,
                          std::FILE*& file);

// Gives the file `path`, made to take the place of `replaced`, the owner and group of `replaced`
// where this process may set them; what cannot be set stays as the system made it.
void keep_owner_of(const std::string& replaced, const std::string& path);

// Syncs the written stream to the disk; returns 0 or the error number.
int sync_stream(std::FILE* file);

// Renames the temporary file, already closed, over the file it replaces, and syncs the rename
// when the file is durable; a file that is not durable exchanges names with the replaced file,
// which is then removed. Returns 0 or the error number; on failure the temporary file is
// removed and the replaced file left as it was, except that a temporary file that may take its
// name only where it is absent, and finds it taken, is kept under its own name (kErrNewFileExists).
int put_temporary_in_place(const TemporaryFile& temporary);

// Makes a rename into the directory of `path` durable; a directory that refuses to be synced
// (some file systems do) is left as it is.
void sync_directory_of(const std::string& path);

// Makes the file `copy`, which must not exist (EEXIST), a copy of the bytes and permissions of
// the file `source` and syncs it to the disk. Returns 0 or the error number; on failure no file
// `copy` is left behind.
int copy_file_where_absent(const std::string& source, const std::string& copy);

// Removes the temporary file; the replaced file is left as it was.
void discard_temporary_file(const TemporaryFile& temporary);

}  // namespace textio
