// The grid file NAME.grd as mapconv writes it: a title line, the cell (3F10.5,3F10.4), the grid
// divisions N1 N2 N3 (3I4), then N1 x N2 x N3 lines of one value each, z fastest and x slowest,
// for a periodic grid over the whole cell that leaves out the repeated planes at 1.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "gridfile/large_buffer.hpp"
#include "gridfile/value_statistics.hpp"

namespace gridfile {

struct GridFile {
  std::string title;               // line 1 without its line end
  std::array<float, 3> lengths{};  // a, b, c
  std::array<float, 3> angles{};   // alpha, beta, gamma in degrees
  std::array<int, 3> divisions{};  // N1, N2, N3 along x, y, z
  // In the map's order, x fastest and z slowest (the file has z fastest), so that the map can
  // take them over without a copy.
  MapValues values;
  // The figures of the values, summed as read_grid_file placed them.
  ValueStatistics statistics;

  // The value at grid point (i, j, k), counted from 0 along x, y and z.
  float at(int i, int j, int k) const {
    return values[static_cast<std::size_t>(i) +
                  static_cast<std::size_t>(divisions[0]) *
                      (static_cast<std::size_t>(j) +
                       static_cast<std::size_t>(divisions[1]) * static_cast<std::size_t>(k))];
  }
};

// A grid file that cannot be used; what() names the file, the line (when there is one) and the
// problem.
class GridFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a whole grid file. Lines may end in CR LF or LF. Throws GridFileError when the file
// cannot be read, a header line is missing or malformed, the cell is impossible, a value is not
// a finite number, or the number of value lines differs from N1 x N2 x N3.
GridFile read_grid_file(const std::filesystem::path& path);

// Reads a grid file's cell line (without its line end) into `grid`'s cell as read_grid_file
// does; returns the line's problem, empty when it has none.
std::string read_cell_line(std::string_view line, GridFile& grid);

// The map type that a title of mapconv's grid file ends with (FOBS, DELF, ...): its last word.
std::string map_type_of(const std::string& title);

}  // namespace gridfile
