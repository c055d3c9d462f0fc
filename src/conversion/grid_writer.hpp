// The grid file NAME.grd: a title line, the cell, the grid divisions, then the map value at
// every grid point of the cell (grid_values.hpp).
#pragma once

#include <array>
#include <string>

#include "conversion/map_block.hpp"

namespace conversion {

struct Cell {
  std::array<float, 3> lengths{};  // a, b, c
  std::array<float, 3> angles{};   // alpha, beta, gamma in degrees
};

// Opens the grid file `name` on a free unit and returns the unit. The grid is written to a
// temporary file beside `name`, which replaces any file of that name when the unit is closed;
// a run that ends any other way leaves an older grid file as it was.
int open_grid_file(const std::string& name);

void write_grid_header(int unit, const std::string& title_line, const Cell& cell,
                       const Triple& grid_divisions);

}  // namespace conversion
