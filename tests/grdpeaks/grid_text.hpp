// A grid file in mapconv's layout, for the runs of grdpeaks: the title with the map type, the
// cell, the divisions and one value a line, z fastest.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"

namespace grid_text {

// `values` x fastest, as known_maps makes them, under the title "Test phase".
inline std::string grid_file(const known_maps::Cell& cell, const std::string& map_type,
                             const std::vector<float>& values, std::array<int, 3> n) {
  return known_maps::grid_file_text(cell, "Test phase", map_type, values, n);
}

}  // namespace grid_text
