// A grid file in mapconv's layout, for the runs of grdpeaks: the title with the map type, the
// cell, the divisions and one value a line, z fastest.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"

namespace grid_text {

// `values` x fastest, as known_maps makes them.
inline std::string grid_file(const known_maps::Cell& cell, const std::string& map_type,
                             const std::vector<float>& values, std::array<int, 3> n) {
  std::string title = "Test phase";
  title.resize(50, ' ');
  title += " " + map_type;
  title.resize(66, ' ');
  char header[128];
  std::snprintf(header, sizeof header, "%10.5f%10.5f%10.5f%10.4f%10.4f%10.4f\r\n%4d%4d%4d\r\n",
                cell.lengths[0], cell.lengths[1], cell.lengths[2], cell.angles[0], cell.angles[1],
                cell.angles[2], n[0], n[1], n[2]);
  std::string text = title + "\r\n" + header;
  for (int i = 0; i < n[0]; ++i) {
    for (int j = 0; j < n[1]; ++j) {
      for (int k = 0; k < n[2]; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "  %.9g\r\n",
                      values[std::size_t(i) + std::size_t(n[0]) * (j + std::size_t(n[1]) * k)]);
        text += line;
      }
    }
  }
  return text;
}

}  // namespace grid_text
