// Renaming and linking a file without ever replacing another.
#pragma once

#include <string>

namespace expfile {

// Renames the file `old_name` to `new_name`, never replacing an existing file. Returns 0, or the
// C library's error number when the rename failed (EEXIST when `new_name` exists).
int RENAME(const std::string& old_name, const std::string& new_name);

// Gives the file `old_name` the second name `new_name` as a hard link, so that the file stays
// under its own name too, never replacing an existing file. Where the file system has no hard
// links the file is renamed instead, and `linked` is false. Returns 0 or the error number (EEXIST
// when `new_name` exists).
int add_second_name(const std::string& old_name, const std::string& new_name, bool& linked);

}  // namespace expfile
