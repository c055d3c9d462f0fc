// Reading the opened Fourier map file into the map block: its header records, the scaled density
// limits and geometry of the block, and its sections, with the report of what was read. A file
// that cannot be read as a map is refused on the run's terminal with the stop text "REDFMP".
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <functional>
#include <string>

#include "conversion/conversion_run.hpp"
#include "conversion/map_block.hpp"
#include "conversion/map_header.hpp"

namespace conversion {

inline constexpr int kValuesPerRecord = 8191;

// What the conversion needs of the map: the grid file's title line (66 characters), the map's
// title record and the block, in x, y, z order.
struct LoadedMap {
  std::string title_line;
  MapTitleRecord title;
  MapBlock block;
};

// Called with the grid divisions (x, y, z) once the header has been checked and room for the
// block made, before its sections are read.
using GridDivisionsReady = std::function<void(const Triple& grid_divisions)>;

// Reads the map file open on `map_unit` whole, through a section buffer of its own, closes it and
// reports the map on the run's terminal.
LoadedMap read_map(const ConversionRun& run, int map_unit,
                   const GridDivisionsReady& divisions_ready = {});

// The scale factor for maps whose largest magnitude is `largest`: 1, or a power of ten that
// brings the limits to two or three digits before the point.
float map_scale_factor(float largest);

}  // namespace conversion
