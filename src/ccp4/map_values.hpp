// The figures that the header of a CCP4/MRC map carries of its values, which run x fastest and z
// slowest.
//
// Threads: any; the functions start threads of their own when asked to and keep no state.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace ccp4 {

using Divisions = std::array<int, 3>;  // N1, N2, N3 along x, y, z

// The header's figures of a map's values. The sums are taken section by section (z fixed, x
// fastest) and the sections' sums added in order, so that the figures are the same whatever the
// number of threads.
struct MapStatistics {
  double minimum = 0.0;
  double maximum = 0.0;
  double mean = 0.0;
  double sigma = 0.0;  // the standard deviation about the mean (the header's r.m.s. deviation)

  // The root mean square of the values themselves, about zero.
  double rms() const;
};

// The figures of `values` in the map's order over a grid of `divisions` (at least one point), on
// up to `threads` threads.
MapStatistics statistics_of(std::span<const float> values, const Divisions& divisions,
                            int threads = 1);

}  // namespace ccp4
