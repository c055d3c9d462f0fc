#include "gridfile/value_statistics.hpp"

#include <algorithm>
#include <cmath>

namespace gridfile {

namespace {

// Four running sums side by side: the additions of one do not wait for those of another.
constexpr std::size_t kLanes = 4;

}  // namespace

double ValueStatistics::rms() const {
  return std::sqrt(sigma * sigma + mean * mean);
}

void ValueSums::add(const float* values, std::size_t count) {
  if (count_ == 0) {
    shift_ = values[0];
    minimum_ = maximum_ = values[0];
  }
  double sums[kLanes] = {}, squares[kLanes] = {};
  float low = minimum_, high = maximum_;
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      const float v = values[i + lane];
      const double d = double(v) - shift_;
      sums[lane] += d;
      squares[lane] += d * d;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  for (; i < count; ++i) {
    const double d = double(values[i]) - shift_;
    sums[0] += d;
    squares[0] += d * d;
    low = std::min(low, values[i]);
    high = std::max(high, values[i]);
  }
  sum_ += (sums[0] + sums[1]) + (sums[2] + sums[3]);
  squares_ += (squares[0] + squares[1]) + (squares[2] + squares[3]);
  minimum_ = low;
  maximum_ = high;
  count_ += count;
}

ValueStatistics ValueSums::statistics() const {
  const double n = double(count_);
  const double mean_shift = sum_ / n;
  // Rounding can leave a flat map a tiny negative variance.
  const double variance = std::max(0.0, squares_ / n - mean_shift * mean_shift);
  return {minimum_, maximum_, shift_ + mean_shift, std::sqrt(variance)};
}

}  // namespace gridfile
