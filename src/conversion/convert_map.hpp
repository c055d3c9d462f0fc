// One conversion: the Fourier map of an opened experiment written out as its grid file.
#pragma once

#include <cstdint>
#include <string>

#include "conversion/grid_writer.hpp"
#include "expfile/experiment_path.hpp"

namespace conversion {

// What the caller settles before converting: the experiment, whose map files lie beside its
// experiment file, the map's phase, the phase's cell for the grid file's header, and the grid
// file's name.
struct ConversionRequest {
  expfile::ExperimentPath experiment;
  int phase = 0;
  Cell cell;
  std::string grid_file;
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

// Opens the map file of the request's experiment, whose file is open on `experiment_unit`
// (asking for its type when several exist), reads it with the phase's symmetry and writes every
// grid point of the cell to the grid file, reporting on `terminal_unit`, on `threads` threads;
// fewer than 1 throws std::invalid_argument. A map that cannot be converted stops the run.
void convert_map(int experiment_unit, int terminal_unit, const ConversionRequest& request,
                 ThreadCount threads = {});

}  // namespace conversion
