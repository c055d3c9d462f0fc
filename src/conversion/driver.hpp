// The conversion driver: one pass from the experiment name to the written grid file.
#pragma once

#include "conversion/convert_map.hpp"

namespace conversion {

// What `experiment`, whose file is open on `experiment_unit`, asks to convert: the phase of its
// map, that phase's cell and the grid file beside the experiment. An experiment without a map is
// told so on `terminal_unit` and stops the run.
ConversionRequest conversion_request(const expfile::ExperimentPath& experiment, int experiment_unit,
                                     int terminal_unit);

// conversion_request for the experiment whose file is open on `experiment_unit`.
ConversionRequest conversion_request(int experiment_unit, int terminal_unit);

// How many threads convert the map: the environment variable MAPCONV_THREADS when it holds a
// whole number from 1 (at most 16 are used), else one per processor, at most 4, fitted to the
// grid.
ThreadCount conversion_threads();

// The program MAPCONV: converts the Fourier map of the experiment named on the command line.
void MAPCONV();

}  // namespace conversion
