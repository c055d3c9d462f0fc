#include "analysis/map_grid.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {

UnitCell::UnitCell(const std::array<double, 3>& lengths, const std::array<double, 3>& angles)
    : lengths_(lengths), angles_(angles) {
  std::array<double, 3> cosines{};
  for (std::size_t i = 0; i < 3; ++i) cosines[i] = std::cos(angles[i] * std::numbers::pi / 180.0);
  // The angle between axes j and k is the one opposite the third axis: alpha between b and c.
  for (std::size_t i = 0; i < 3; ++i) {
    metric_[i][i] = lengths[i] * lengths[i];
    const std::size_t j = (i + 1) % 3, k = (i + 2) % 3;
    metric_[j][k] = metric_[k][j] = lengths[j] * lengths[k] * cosines[i];
  }
}

double UnitCell::length_of(const std::array<double, 3>& d) const {
  double squared = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) squared += d[i] * metric_[i][j] * d[j];
  }
  return std::sqrt(std::max(squared, 0.0));
}

double UnitCell::plane_spacing(std::size_t axis) const {
  // 1 / |a*_axis|, with |a*_axis|^2 the diagonal element of the inverse metric: the cofactor of
  // G(axis, axis) over the determinant of G.
  const std::size_t j = (axis + 1) % 3, k = (axis + 2) % 3;
  const double cofactor = metric_[j][j] * metric_[k][k] - metric_[j][k] * metric_[k][j];
  const double determinant =
      metric_[axis][axis] * cofactor -
      metric_[axis][j] * (metric_[j][axis] * metric_[k][k] - metric_[j][k] * metric_[k][axis]) +
      metric_[axis][k] * (metric_[j][axis] * metric_[k][j] - metric_[j][j] * metric_[k][axis]);
  return std::sqrt(determinant / cofactor);
}

double UnitCell::distance(const std::array<double, 3>& a, const std::array<double, 3>& b) const {
  const std::array<int, 3> n = nearest_translation(a, b);
  return length_of({b[0] + n[0] - a[0], b[1] + n[1] - a[1], b[2] + n[2] - a[2]});
}

std::array<int, 3> UnitCell::nearest_translation(const std::array<double, 3>& a,
                                                 const std::array<double, 3>& b) const {
  std::array<double, 3> d{};
  std::array<int, 3> rounded{};
  for (std::size_t i = 0; i < 3; ++i) {
    rounded[i] = -static_cast<int>(std::lround(b[i] - a[i]));
    d[i] = b[i] - a[i] + rounded[i];
  }
  // In an oblique cell the nearest translate may lie one cell beyond the rounded difference.
  double shortest = length_of(d);
  std::array<int, 3> best = rounded;
  for (int u = -1; u <= 1; ++u) {
    for (int v = -1; v <= 1; ++v) {
      for (int w = -1; w <= 1; ++w) {
        if (u == 0 && v == 0 && w == 0) continue;
        const double length = length_of({d[0] + u, d[1] + v, d[2] + w});
        if (length < shortest) {
          shortest = length;
          best = {rounded[0] + u, rounded[1] + v, rounded[2] + w};
        }
      }
    }
  }
  return best;
}

double reduced(double fraction) {
  const double r = fraction - std::floor(fraction);
  return r >= 1.0 ? 0.0 : r;
}

float trilinear(const MapGrid& map, const std::array<double, 3>& x) {
  std::array<int, 3> low{};
  std::array<double, 3> weight{};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const double at = reduced(x[axis]) * map.divisions[axis];
    const double floor = std::floor(at);
    low[axis] = static_cast<int>(floor);
    weight[axis] = at - floor;
  }
  double sum = 0.0;
  for (int corner = 0; corner < 8; ++corner) {
    double w = 1.0;
    std::array<int, 3> at = low;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const bool high = (corner >> axis) & 1;
      at[axis] += high ? 1 : 0;
      w *= high ? weight[axis] : 1.0 - weight[axis];
    }
    if (w != 0.0) sum += w * map.wrapped(at[0], at[1], at[2]);
  }
  return static_cast<float>(sum);
}

}  // namespace analysis
