// The values of the grid file: the map value at every grid point of the cell, one list-directed
// record each, z fastest and x slowest.
#pragma once

#include "conversion/map_block.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

// Writes the value of every grid point of the cell to `unit`, sampled from `block` through
// `operators` on `thread_count` threads (at least 1). The file is the same byte for byte whatever
// the thread count. A failed write ends the run with the same report from whichever thread met it.
void write_grid_values(int unit, const MapBlock& block, const symmetry::OperatorSet& operators,
                       int thread_count);

}  // namespace conversion
