// Which grid file a program of the family reads when given NAME, and which experiment file lies
// beside it.
#pragma once

#include <filesystem>
#include <string>

namespace gridfile {

// The argument itself when it ends in ".grd" in any case or names a file that is there; otherwise
// the grid file that `mapconv NAME`
// writes: the directory part as typed, the file-name part in capitals, ".grd" added; a NAME.grd
// kept in the case as typed is still found when that one is absent. Only "no such file" counts
// as absent; any other failure is left to the reader to report.
std::filesystem::path grid_file_named(const std::string& argument);

// The experiment file that the grid file was written from: NAME.EXP beside NAME.grd.
std::filesystem::path experiment_file_beside(const std::filesystem::path& grid_file);

}  // namespace gridfile
