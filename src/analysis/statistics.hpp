// The summary figures of a map's values.
#pragma once

#include <span>

namespace analysis {

struct MapStatistics {
  double minimum = 0.0;
  double maximum = 0.0;
  double mean = 0.0;
  double sigma = 0.0;  // standard deviation about the mean
  double rms = 0.0;    // root mean square of the values themselves

  // How many standard deviations `value` lies from the mean; 0 for a flat map.
  double in_sigma(double value) const { return sigma > 0.0 ? (value - mean) / sigma : 0.0; }
};

// The figures of `values` (at least one), summed in double precision on both halves at once.
MapStatistics map_statistics(std::span<const float> values);

}  // namespace analysis
