#include "ccp4/map_values.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace ccp4 {

namespace {

// The sums of one section, taken about a shift near the values (the map's first value), so that
// a map whose spread is small beside its mean keeps the digits of its spread.
struct SectionSums {
  double sum = 0.0;
  double squares = 0.0;
  float minimum = 0.0f;
  float maximum = 0.0f;
};

// Four running sums side by side: the additions of one do not wait for those of another.
constexpr std::size_t kLanes = 4;

SectionSums sums_of_section(const float* values, std::size_t count, double shift) {
  double sums[kLanes] = {}, squares[kLanes] = {};
  float low = values[0], high = values[0];
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      const float v = values[i + lane];
      const double d = double(v) - shift;
      sums[lane] += d;
      squares[lane] += d * d;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  for (; i < count; ++i) {
    const double d = double(values[i]) - shift;
    sums[0] += d;
    squares[0] += d * d;
    low = std::min(low, values[i]);
    high = std::max(high, values[i]);
  }
  return {(sums[0] + sums[1]) + (sums[2] + sums[3]),
          (squares[0] + squares[1]) + (squares[2] + squares[3]), low, high};
}

MapStatistics statistics_of_sections(const std::vector<SectionSums>& sections, double shift,
                                     std::size_t count) {
  double sum = 0.0, squares = 0.0;
  float low = sections.front().minimum, high = sections.front().maximum;
  for (const SectionSums& section : sections) {
    sum += section.sum;
    squares += section.squares;
    low = std::min(low, section.minimum);
    high = std::max(high, section.maximum);
  }
  const double n = double(count);
  const double mean_shift = sum / n;
  // Rounding can leave a flat map a tiny negative variance.
  const double variance = std::max(0.0, squares / n - mean_shift * mean_shift);
  return {low, high, shift + mean_shift, std::sqrt(variance)};
}

std::size_t section_size(const Divisions& n) {
  return std::size_t(n[0]) * std::size_t(n[1]);
}

// Below this many points a second thread costs more than it saves.
constexpr std::size_t kPointsPerThread = std::size_t{1} << 18;

// Calls `work(first, end)` for parts of the sections 0 .. n3 on up to `threads` threads, the
// first part on the calling thread.
template <typename Work>
void on_threads(int threads, std::size_t points, int n3, Work work) {
  const int parts = static_cast<int>(
      std::clamp<std::size_t>(std::min<std::size_t>(points / kPointsPerThread, std::size_t(n3)), 1,
                              std::size_t(std::max(threads, 1))));
  std::vector<std::jthread> helpers;
  const auto bound = [&](int part) { return int(std::int64_t{n3} * part / parts); };
  for (int part = 1; part < parts; ++part) helpers.emplace_back(work, bound(part), bound(part + 1));
  work(0, bound(1));
}

}  // namespace

double MapStatistics::rms() const {
  return std::sqrt(sigma * sigma + mean * mean);
}

MapStatistics statistics_of(std::span<const float> values, const Divisions& divisions,
                            int threads) {
  const std::size_t section = section_size(divisions);
  std::vector<SectionSums> sections(static_cast<std::size_t>(divisions[2]));
  const double shift = values[0];
  on_threads(threads, values.size(), divisions[2], [&](int first, int end) {
    for (int k = first; k < end; ++k) {
      sections[std::size_t(k)] =
          sums_of_section(values.data() + section * std::size_t(k), section, shift);
    }
  });
  return statistics_of_sections(sections, shift, values.size());
}

}  // namespace ccp4
