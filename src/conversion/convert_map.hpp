// One conversion: the Fourier map of an opened experiment written out as its grid file.
#pragma once

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

// Opens the map file of the request's experiment, whose file is open on `experiment_unit`
// (asking for its type when several exist), reads it with the phase's symmetry and writes every
// grid point of the cell to the grid file, reporting on `terminal_unit`. `thread_count`
// threads sample and format the grid (the file is the same for any count); a count below 1
// throws std::invalid_argument. A map that cannot be converted stops the run.
void convert_map(int experiment_unit, int terminal_unit, const ConversionRequest& request,
                 int thread_count = 1);

}  // namespace conversion
