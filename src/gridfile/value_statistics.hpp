// The figures of a map's values that the header of a CCP4/MRC map carries, summed as the values
// pass. grd2ccp4 and mapconv --ccp4 hand the same values over in the same pieces (plane_gatherer),
// so their figures agree to the last bit.
//
// Threads: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gridfile {

struct ValueStatistics {
  double minimum = 0.0;
  double maximum = 0.0;
  double mean = 0.0;
  double sigma = 0.0;  // the standard deviation about the mean (the header's r.m.s. deviation)

  // The root mean square of the values themselves, about zero.
  double rms() const;
};

class ValueSums {
 public:
  // Adds the next `count` values (at least one) as one piece: the piece's sums are taken on their
  // own, then added to those of the pieces before.
  void add(const float* values, std::size_t count);

  // The figures of the values added so far (at least one).
  ValueStatistics statistics() const;

 private:
  // The sums are taken about the first value, so that a map whose spread is small beside its
  // mean keeps the digits of its spread.
  double shift_ = 0.0;
  double sum_ = 0.0;
  double squares_ = 0.0;
  float minimum_ = 0.0f;
  float maximum_ = 0.0f;
  std::uint64_t count_ = 0;
};

}  // namespace gridfile
