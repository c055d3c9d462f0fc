// One conversion: the Fourier map of an opened experiment written out as its grid file.
//
// Threads: called from the main thread; the grid's worker threads are its own.
#pragma once

#include <cstdint>

#include "conversion/conversion_run.hpp"
#include "conversion/grid_writer.hpp"

namespace conversion {

// What the caller settles before converting: the map's phase, and the grid file with the phase's
// cell for its header.
struct ConversionRequest {
  int phase = 0;
  GridFile grid;
  bool ccp4_map = false;  // the CCP4/MRC map beside the grid file too (mapconv --ccp4)
};

// How many threads sample and format the grid (the file is the same for any count). A count
// asked for is taken as it is; the default count is fitted to the grid, since a thread costs its
// start and its own tables whatever the number of points it is given.
struct ThreadCount {
  int most = 1;
  bool fitted_to_grid = false;

  // The count for a grid of `points` points: at least one, and when fitted, no more than one
  // for every kPointsPerThread points.
  int for_grid(std::int64_t points) const;
};

// About 8 ms of one thread's work at today's cost per point.
inline constexpr std::int64_t kPointsPerThread = std::int64_t{1} << 18;

// Opens the map file of the run's experiment (asking for its type when several exist), takes the
// phase's symmetry, reads the map and writes every grid point of the cell to the grid file,
// reporting on the run's terminal, on `threads` threads, and the CCP4/MRC map beside it when the
// request asks for it; fewer than 1 thread throws
// std::invalid_argument before anything is opened. A map that cannot be converted stops the run.
void convert_map(const ConversionRun& run, const ConversionRequest& request,
                 ThreadCount threads = {});

}  // namespace conversion
