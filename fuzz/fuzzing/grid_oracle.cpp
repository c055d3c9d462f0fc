#include "fuzzing/grid_oracle.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzzing/list_text.hpp"

namespace fuzzing {

namespace {

constexpr std::size_t kWordBytes = 4;
constexpr std::size_t kHeaderLines = 3;

template <typename T>
T field_at(std::string_view bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Maps are scaled by a power of ten that leaves two or three digits before the point; the
// rounding of the logarithm at the boundary may go either way, so the neighbouring powers
// are accepted too.
bool within_limits(double value, const MapLimits& limits) {
  if (value == 0.0) return true;
  const double largest = std::max(static_cast<double>(limits.density_maximum),
                                  -static_cast<double>(limits.density_minimum));
  const long exponent = std::lround(std::log10(largest));
  const double scale = exponent == 0 || exponent == 1 ? 1.0 : std::pow(10.0, 1 - exponent);
  for (double trial : {scale, scale * 10.0, scale / 10.0}) {
    const double low = limits.density_minimum * trial;
    const double high = limits.density_maximum * trial;
    const double tolerance = 1e-4 * (high - low) + 1e-5 * (std::fabs(low) + std::fabs(high));
    if (value >= low - tolerance && value <= high + tolerance) return true;
  }
  return false;
}

std::string value_line_defect(std::string_view line, const MapLimits& limits) {
  const std::string text(line);
  char* end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') return "value line [" + text + "] is not a number";
  if (expected_list_real(value) != text) {
    return "value line [" + text + "] is not the list-directed form [" + expected_list_real(value) +
           "]";
  }
  if (!within_limits(value, limits)) return "value " + text + " lies outside the density limits";
  return {};
}

}  // namespace

std::optional<MapLimits> read_map_limits(std::string_view map, int record_words) {
  const std::size_t start = static_cast<std::size_t>(record_words) * kWordBytes;
  constexpr std::size_t kNeeded = 14 * kWordBytes;
  if (record_words <= 0 || map.size() < start + kNeeded) return std::nullopt;
  const std::string_view header = map.substr(start, kNeeded);
  MapLimits limits;
  limits.grid_points = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const auto divisions = field_at<std::int32_t>(header, kWordBytes * axis);
    if (divisions < 1) return std::nullopt;
    limits.grid_points *= divisions;
  }
  limits.density_maximum = field_at<float>(header, 11 * kWordBytes);
  limits.density_minimum = field_at<float>(header, 12 * kWordBytes);
  return limits;
}

std::string grid_file_defect(std::string_view grid, const MapLimits& limits) {
  std::size_t lines = 0;
  while (!grid.empty()) {
    const std::size_t end = grid.find("\r\n");
    if (end == std::string_view::npos) return "line " + std::to_string(lines + 1) + " lacks CR LF";
    ++lines;
    if (lines > kHeaderLines) {
      const std::string defect = value_line_defect(grid.substr(0, end), limits);
      if (!defect.empty()) return defect;
    }
    grid.remove_prefix(end + 2);
  }
  if (static_cast<double>(lines) != kHeaderLines + limits.grid_points) {
    return std::to_string(lines) + " lines for " + std::to_string(limits.grid_points) +
           " grid points";
  }
  return {};
}

}  // namespace fuzzing
