#include "conversion/map_sampler.hpp"

#include <cmath>

namespace conversion {

namespace {

// a - b * trunc(a / b), in single precision.
float wrap(float a, float b) {
  return a - b * std::trunc(a / b);
}

constexpr float kWholePeriods = 100.0f;

}  // namespace

// The upper boundary belongs to the block. A coordinate below 0 only arises when a block start
// far outside the cell defeats the shift by whole periods; it never passes.
bool MapSampler::within_block(float coordinate, int axis) const {
  return coordinate >= 0.0f && coordinate <= static_cast<float>(block_.block_steps[axis] - 1);
}

bool MapSampler::direct_test(const Point& image, int centring, Point& grid) const {
  const auto& shift = operators_.centring[static_cast<std::size_t>(centring)];
  bool inside = true;
  for (int i = 0; i < 3; ++i) {
    float n = static_cast<float>(block_.grid_divisions[i]);
    float g = (image[i] + shift[i]) * n - static_cast<float>(block_.block_start[i]);
    // The shift by whole periods keeps the argument positive, so a truncating mod suffices;
    // rounding the sum also snaps points on stored grid points to whole numbers.
    float shifted = g + kWholePeriods * n;
    grid[i] = wrap(shifted, n);
    inside = inside && within_block(grid[i], i);
  }
  return inside;
}

bool MapSampler::inverse_test(Point& grid) const {
  for (int i = 0; i < 3; ++i) {
    float n = static_cast<float>(block_.grid_divisions[i]);
    float shifted = -grid[i] - 2.0f * static_cast<float>(block_.block_start[i]) + kWholePeriods * n;
    grid[i] = wrap(shifted, n);
  }
  for (int i = 0; i < 3; ++i) {
    if (!within_block(grid[i], i)) return false;
  }
  return true;
}

float MapSampler::stored(int u, int v, int w) const {
  // Corners beyond the block carry weight 0 and are never read.
  if (u >= block_.block_steps[0] || v >= block_.block_steps[1] || w >= block_.block_steps[2]) {
    return 0.0f;
  }
  long long element = u + static_cast<long long>(block_.block_steps[0]) *
                              (v + static_cast<long long>(block_.block_steps[1]) * w);
  return block_.values[static_cast<std::size_t>(element)];
}

float MapSampler::interpolate(const Point& grid) const {
  int i1 = static_cast<int>(grid[0]), i2 = static_cast<int>(grid[1]),
      i3 = static_cast<int>(grid[2]);
  float f1 = grid[0] - static_cast<float>(i1);
  float f2 = grid[1] - static_cast<float>(i2);
  float f3 = grid[2] - static_cast<float>(i3);
  float a = f1 * f2, b = f1 * f3, c = f2 * f3, d = a * f3;
  float t = (1.0f - f1 - f2 - f3 + a + b + c - d) * stored(i1, i2, i3) +
            (f1 - a - b + d) * stored(i1 + 1, i2, i3) + (f2 - a - c + d) * stored(i1, i2 + 1, i3) +
            (f3 - b - c + d) * stored(i1, i2, i3 + 1) + (a - d) * stored(i1 + 1, i2 + 1, i3) +
            (b - d) * stored(i1 + 1, i2, i3 + 1) + (c - d) * stored(i1, i2 + 1, i3 + 1) +
            d * stored(i1 + 1, i2 + 1, i3 + 1);
  return (t / kCodeScale + 1.0f) * block_.density_range * 0.5f + block_.density_minimum;
}

float MapSampler::MAPVAL(const Point& point) {
  int operator_count = operators_.operator_count;
  int centring_count = operators_.centring_count;
  if (operator_count <= 0 || centring_count <= 0) return 0.0f;
  for (int tried = 0; tried < operator_count; ++tried) {
    const symmetry::SymmetryOperator& op =
        operators_.operators[static_cast<std::size_t>(current_operator_)];
    Point image;
    for (int i = 0; i < 3; ++i) {
      const auto& row = op.rotation[static_cast<std::size_t>(i)];
      image[i] = static_cast<float>(row[0]) * point[0] + static_cast<float>(row[1]) * point[1] +
                 static_cast<float>(row[2]) * point[2] +
                 static_cast<float>(op.translation[static_cast<std::size_t>(i)]) / kEdgeTwelfths;
    }
    for (int trial = 0; trial < centring_count; ++trial) {
      Point grid;
      if (direct_test(image, current_centring_, grid)) return interpolate(grid);
      if (operators_.centric != 0 && inverse_test(grid)) return interpolate(grid);
      current_centring_ = (current_centring_ + 1) % centring_count;
    }
    current_operator_ = (current_operator_ + 1) % operator_count;
  }
  return 0.0f;
}

}  // namespace conversion
