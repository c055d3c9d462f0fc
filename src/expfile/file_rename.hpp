// Renaming and linking a file without ever replacing another.
#pragma once

#include <string>

namespace expfile {

// Renames the file `old_name` to `new_name`, never replacing an existing file. Returns 0, or the
// C library's error number when the rename failed (EEXIST when `new_name` exists).
int RENAME(const std::string& old_name, const std::string& new_name);

// Keeps the content of the file `old_name` under `new_name` too, never replacing an existing
// file: as a second name (a hard link), or, where the file system has no second names or
// `old_name` is a symbolic link, as a whole copy synced to the disk. `old_name` stays as it is
// either way. Returns 0 or the error number (EEXIST when `new_name` exists); on failure no file
// `new_name` is made.
int add_second_name(const std::string& old_name, const std::string& new_name);

}  // namespace expfile
