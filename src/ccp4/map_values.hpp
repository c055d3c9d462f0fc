// The figures that the header of a CCP4/MRC map carries of its values, which run x fastest and z
// slowest: those that the grid's reader or mapconv's gatherer summed as the values passed
// (gridfile/value_statistics.hpp).
#pragma once

#include <array>

#include "gridfile/value_statistics.hpp"

namespace ccp4 {

using Divisions = std::array<int, 3>;  // N1, N2, N3 along x, y, z

using MapStatistics = gridfile::ValueStatistics;

}  // namespace ccp4
