#include "analysis/statistics.hpp"

#include <algorithm>
#include <cmath>
#include <future>

namespace analysis {

namespace {

struct Sums {
  double minimum = 0.0, maximum = 0.0, sum = 0.0, squares = 0.0;
};

Sums sums_of(std::span<const float> values) {
  Sums sums{values[0], values[0], 0.0, 0.0};
  float low = values[0], high = values[0];
  for (const float v : values) {
    low = std::min(low, v);
    high = std::max(high, v);
    sums.sum += v;
    sums.squares += double(v) * v;
  }
  sums.minimum = low;
  sums.maximum = high;
  return sums;
}

double squared_deviations(std::span<const float> values, double mean) {
  double sum = 0.0;
  for (const float v : values) sum += (v - mean) * (v - mean);
  return sum;
}

// Below this a second thread costs more than it saves.
constexpr std::size_t kShareFrom = std::size_t{1} << 20;

// `part` over both halves of `values`, the second on a thread of its own when there are many.
template <typename Part, typename Join>
auto on_both_halves(std::span<const float> values, Part part, Join join) {
  if (values.size() < kShareFrom) return part(values);
  const std::size_t half = values.size() / 2;
  auto second = std::async(std::launch::async, [&] { return part(values.subspan(half)); });
  const auto first = part(values.first(half));
  return join(first, second.get());
}

}  // namespace

MapStatistics map_statistics(std::span<const float> values) {
  const Sums sums = on_both_halves(values, sums_of, [](const Sums& a, const Sums& b) {
    return Sums{std::min(a.minimum, b.minimum), std::max(a.maximum, b.maximum), a.sum + b.sum,
                a.squares + b.squares};
  });
  const double n = double(values.size());
  MapStatistics stats;
  stats.minimum = sums.minimum;
  stats.maximum = sums.maximum;
  stats.mean = sums.sum / n;
  stats.rms = std::sqrt(sums.squares / n);
  // About the mean in a second pass: the difference of the two sums loses the digits of a map
  // whose spread is small beside its mean.
  const double deviations = on_both_halves(
      values, [&](std::span<const float> part) { return squared_deviations(part, stats.mean); },
      [](double a, double b) { return a + b; });
  stats.sigma = std::sqrt(deviations / n);
  return stats;
}

}  // namespace analysis
