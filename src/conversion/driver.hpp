// The conversion driver: one pass from the experiment name to the written grid file.
#pragma once

namespace conversion {

// The program MAPCONV: converts the Fourier map of the experiment named on the command line.
void MAPCONV();

}  // namespace conversion
