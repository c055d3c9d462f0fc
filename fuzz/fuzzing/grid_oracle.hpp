// What a finished conversion must have written, worked out from the map file's header alone:
// the number of grid points bounds the fuzz target's output, and every value line of the grid
// file must be a list-directed real within the map's density limits (or 0 where no stored
// point is equivalent).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fuzzing {

// The fields of the map's second header record that the checks need.
struct MapLimits {
  double grid_points = 0.0;  // product of the three grid divisions
  float density_maximum = 0.0f;
  float density_minimum = 0.0f;
};

// The header of a map file of `record_words` 4-byte words a record; none when the file is too
// short to hold it or a grid division is below 1 (the program refuses such a map).
std::optional<MapLimits> read_map_limits(std::string_view map, int record_words);

// An empty text when `grid` is a complete grid file for these limits: three header lines and one
// value line per grid point, every line ending in CR LF; else what is wrong.
std::string grid_file_defect(std::string_view grid, const MapLimits& limits);

}  // namespace fuzzing
