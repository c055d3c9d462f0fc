#include "gridfile/value_statistics.hpp"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#define MAPCONV_SSE2_SUMS 1
#endif

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
#if MAPCONV_SSE2_SUMS
  // The lanes of the loop below, two to a register: the same additions in the same order.
  {
    const __m128d shift = _mm_set1_pd(shift_);
    __m128d sums01 = _mm_setzero_pd(), sums23 = _mm_setzero_pd();
    __m128d squares01 = _mm_setzero_pd(), squares23 = _mm_setzero_pd();
    __m128 lows = _mm_set1_ps(low), highs = _mm_set1_ps(high);
    for (; i + kLanes <= count; i += kLanes) {
      const __m128 v = _mm_loadu_ps(values + i);
      const __m128d d01 = _mm_sub_pd(_mm_cvtps_pd(v), shift);
      const __m128d d23 = _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), shift);
      sums01 = _mm_add_pd(sums01, d01);
      sums23 = _mm_add_pd(sums23, d23);
      squares01 = _mm_add_pd(squares01, _mm_mul_pd(d01, d01));
      squares23 = _mm_add_pd(squares23, _mm_mul_pd(d23, d23));
      lows = _mm_min_ps(lows, v);
      highs = _mm_max_ps(highs, v);
    }
    _mm_storeu_pd(sums, sums01);
    _mm_storeu_pd(sums + 2, sums23);
    _mm_storeu_pd(squares, squares01);
    _mm_storeu_pd(squares + 2, squares23);
    float lane_lows[kLanes], lane_highs[kLanes];
    _mm_storeu_ps(lane_lows, lows);
    _mm_storeu_ps(lane_highs, highs);
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      low = std::min(low, lane_lows[lane]);
      high = std::max(high, lane_highs[lane]);
    }
  }
#else
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
#endif
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
