// The CCP4/MRC map of a grid file: 32-bit reals (mode 2), columns along x, rows along y and
// sections along z (axis order 1 2 3), sampled N1 N2 N3 over the whole cell from the origin,
// space group P 1, with the minimum, maximum, mean and r.m.s. deviation in the header.
#pragma once

#include <filesystem>
#include <gemmi/ccp4.hpp>

#include "gridfile/grid_reader.hpp"

namespace grd2ccp4 {

using gridfile::GridFile;

// The map of the grid, which hands its values (already in the map's order) over to it; the title,
// cut to 80 characters, becomes the map's label.
gemmi::Ccp4<float> ccp4_map_of(GridFile grid);

// Writes the map to `path` (a symbolic link's target) through textio's temporary file: a name of
// its own beside it, so that two runs never meet, with the replaced file's permissions, renamed
// over it when complete. A failed write leaves no file, or the previous one, under that name.
// Throws std::runtime_error naming `path` and the reason.
void write_ccp4_map(const gemmi::Ccp4<float>& map, const std::filesystem::path& path);

}  // namespace grd2ccp4
