// The companions write their results beside the grid file they read: never over it.
#pragma once

#include <filesystem>
#include <string>

namespace gridfile {

// Throws std::runtime_error ("OUT: cannot write <what>: it is the grid file IN") when `output`
// is the grid file `input` under any name (a hard or symbolic link, another spelling), or cannot
// be looked at for another reason than its absence. A grid file that cannot be looked at is left
// to the reader, which fails on it before anything is written.
void refuse_output_that_is_input(const std::filesystem::path& input,
                                 const std::filesystem::path& output, const std::string& what);

}  // namespace gridfile
