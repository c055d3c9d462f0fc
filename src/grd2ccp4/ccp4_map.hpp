// The CCP4/MRC map of a grid file: 32-bit reals (mode 2), columns along x, rows along y and
// sections along z (axis order 1 2 3), sampled N1 N2 N3 over the whole cell from the origin,
// with the minimum, maximum, mean and r.m.s. deviation in the header, and the space group's
// number and operations in its symmetry records (P 1 when the group is not known). The values
// cover the whole cell whatever the group.
#pragma once

#include <array>
#include <filesystem>
#include <gemmi/ccp4.hpp>
#include <string>
#include <vector>

#include "gridfile/grid_reader.hpp"

namespace grd2ccp4 {

using gridfile::GridFile;

// The map of `values` (x fastest, z slowest) over a grid of `divisions` in the cell of `lengths`
// and `angles`, which takes them over; the title, cut to 80 characters, becomes the map's label.
// `group` (gemmi's table entry; nullptr for P 1) gives the symmetry records.
struct MapContent {
  std::vector<float> values;
  std::array<int, 3> divisions{};
  std::array<float, 3> lengths{};
  std::array<float, 3> angles{};
  std::string title;
};
gemmi::Ccp4<float> ccp4_map_of(MapContent content, const gemmi::SpaceGroup* group = nullptr);

// The same for a grid file's map.
gemmi::Ccp4<float> ccp4_map_of(GridFile grid, const gemmi::SpaceGroup* group = nullptr);

// Writes the map to `path` (a symbolic link's target) through textio's temporary file: a name of
// its own beside it, so that two runs never meet, with the replaced file's permissions, renamed
// over it when complete. A failed write leaves no file, or the previous one, under that name.
// Throws std::runtime_error naming `path` and the reason.
void write_ccp4_map(const gemmi::Ccp4<float>& map, const std::filesystem::path& path);

}  // namespace grd2ccp4
