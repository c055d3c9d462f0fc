// Renaming a file without ever replacing another.
#pragma once

#include <string>

namespace expfile {

// Renames the file `old_name` to `new_name`, never replacing an existing file. Returns 0, or the
// C library's error number when the rename failed (EEXIST when `new_name` exists).
int RENAME(const std::string& old_name, const std::string& new_name);

}  // namespace expfile
