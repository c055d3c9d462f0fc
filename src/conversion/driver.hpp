// The conversion driver: one pass from the experiment name to the written grid file.
#pragma once

#include "conversion/convert_map.hpp"

namespace conversion {

// What the run's experiment asks to convert: the phase of its map, that phase's cell and the grid
// file beside the experiment. An experiment without a map is told so on the run's terminal and
// stops the run.
ConversionRequest conversion_request(const ConversionRun& run);

// How many threads convert the map: the environment variable MAPCONV_THREADS when it holds a
// whole number from 1 (at most 16 are used), else one per processor, at most 4, fitted to the
// grid.
ThreadCount conversion_threads();

// The program MAPCONV: converts the Fourier map of the experiment named on the command line, and
// with `ccp4_map` writes the CCP4/MRC map of the grid beside it.
void MAPCONV(bool ccp4_map = false);

}  // namespace conversion
