// Reading the Fourier map file open on a unit into the map block: its header records, the
// scaled density limits and geometry of the block, and its sections. Nothing here reports on the
// terminal but the refusal of a file that cannot be read as a map.
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/map_header.hpp"

namespace conversion {

inline constexpr int kValuesPerRecord = 8191;

// Writes " **** <reason> ****" on the terminal and stops the run with the stop text "REDFMP".
[[noreturn]] void refuse_map(const std::string& reason);

// Header record 1 of the open map file; a file too short for it is refused.
MapTitleRecord read_map_title(int map_unit);

// Reads header record 2 of the open map file; a header that does not describe a block that the
// file holds stops the run.
MapHeader read_map_header(int map_unit);

// Starts `block` from header record 2: the density limits scaled, the geometry in x, y, z order
// and room for the values. Returns the scale factor. Limits that are not numbers or no range, or
// cannot be scaled, and a block too large to hold are refused.
float start_map_block(const MapHeader& header, MapBlock& block);

// Reads the sections of the map into `block` through `work_buffer` (at least one section of
// values). Returns the 1-based element number of the last value stored.
long long read_map_sections(int map_unit, const MapHeader& header, float scale,
                            std::vector<float>& work_buffer, MapBlock& block);

// The scale factor for maps whose largest magnitude is `largest`: 1, or a power of ten that
// brings the limits to two or three digits before the point.
float map_scale_factor(float largest);

}  // namespace conversion
