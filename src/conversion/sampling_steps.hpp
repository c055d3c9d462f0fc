// The stored block's geometry as the map sampler reads it, and each step of the arithmetic that
// finds a point's image in the block and interpolates there. The portable code and the vector
// code must agree bit for bit, so every step is written here once:
//  - a step made of plain arithmetic and comparisons is a template over the lane type, `float`
//    for the portable code and the vector code's 8-lane type, which supplies the same operators;
//  - a step that needs a vector instruction (a truncation, a conversion to integer) is written
//    here for `float`, and the vector code has a function of the same name taking the same
//    operations in the same order.
// The build never fuses multiply-adds, so the same operations in the same order give the same
// bits in every lane.
//
// Threads: any; the functions keep no state.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "conversion/map_block.hpp"

// The vector code instantiates these steps inside its vector functions: forced inlining keeps
// its lanes in registers, never passed through a call compiled without vector registers.
#define MAPCONV_SAMPLING_STEP [[gnu::always_inline]] inline

namespace conversion {

// One axis of the block, in the single-precision forms that the search for an image tests.
struct BlockAxis {
  float divisions;      // N
  float start;          // S
  float twice_start;    // 2 x S
  float whole_periods;  // 100 x N
  float last;           // L - 1: the upper boundary belongs to the block
};

// The stored block as both the portable and the vector code read it.
struct BlockGeometry {
  std::array<BlockAxis, 3> axes;
  bool centric;                // the inverse of an image is tried too
  const std::int16_t* values;  // point (u, v, w) is element u + lx v + lxy w
  std::size_t value_count;
  std::array<int, 3> steps;  // L along x, y and z
  std::ptrdiff_t lx;         // Lx
  std::ptrdiff_t lxy;        // Lx x Ly
  float density_range;
  float density_minimum;
};

// Coordinates are shifted by this many periods before they are wrapped.
inline constexpr float kWholePeriods = 100.0f;

// The geometry of `block`, whose values it points to: the block must outlive it.
inline BlockGeometry block_geometry(const MapBlock& block, bool centric) {
  BlockGeometry geometry;
  for (std::size_t i = 0; i < 3; ++i) {
    const float n = static_cast<float>(block.grid_divisions[i]);
    const float start = static_cast<float>(block.block_start[i]);
    geometry.axes[i] = {n, start, 2.0f * start, kWholePeriods * n,
                        static_cast<float>(block.block_steps[i] - 1)};
  }
  geometry.centric = centric;
  geometry.values = block.values.data();
  geometry.value_count = block.values.size();
  geometry.steps = block.block_steps;
  geometry.lx = block.block_steps[0];
  geometry.lxy = geometry.lx * block.block_steps[1];
  geometry.density_range = block.density_range;
  geometry.density_minimum = block.density_minimum;
  return geometry;
}

// The image of a point (x, y, z) along one axis under an operator: ((r0 x + r1 y) + r2 z) + T/12,
// with r0 x + r1 y summed once per row.
template <typename F>
MAPCONV_SAMPLING_STEP F image_coordinate(float row_sum, float z_column, F z, float translation) {
  return row_sum + z_column * z + translation;
}

// a - b * trunc(a / b).
MAPCONV_SAMPLING_STEP float wrap(float a, float b) {
  return a - b * std::trunc(a / b);
}

// A fraction of the cell in grid steps from the block start, shifted by whole periods so that
// the wrap's argument is positive and a truncating wrap suffices.
template <typename F>
MAPCONV_SAMPLING_STEP F shifted_grid_coordinate(F fraction, const BlockAxis& axis) {
  return fraction * axis.divisions - axis.start + axis.whole_periods;
}

// The block coordinate of a fraction. Rounding the shifted sum also snaps points on stored grid
// points to whole numbers.
MAPCONV_SAMPLING_STEP float direct_coordinate(float fraction, const BlockAxis& axis) {
  return wrap(shifted_grid_coordinate(fraction, axis), axis.divisions);
}

// -(q + c) in grid steps from the block start, shifted by whole periods, from the block
// coordinate of q + c.
template <typename F>
MAPCONV_SAMPLING_STEP F shifted_inverse_coordinate(F direct, const BlockAxis& axis) {
  return -direct - axis.twice_start + axis.whole_periods;
}

// The block coordinate of the inverse point.
MAPCONV_SAMPLING_STEP float inverse_coordinate(float direct, const BlockAxis& axis) {
  return wrap(shifted_inverse_coordinate(direct, axis), axis.divisions);
}

// Whether a block coordinate lies in the block; the upper boundary belongs to it. A coordinate
// below 0 only arises when a block start far outside the cell defeats the shift by whole
// periods; it never passes. `&`, not `&&`: lanes are tested all at once.
template <typename F>
MAPCONV_SAMPLING_STEP auto within_block(F coordinate, const BlockAxis& axis) {
  return (coordinate >= 0.0f) & (coordinate <= axis.last);
}

// The stored point at or below a block coordinate, and the coordinate's distance above it.
struct GridCell {
  int index;
  float fraction;
};
MAPCONV_SAMPLING_STEP GridCell grid_cell(float coordinate) {
  const int index = static_cast<int>(coordinate);
  return {index, coordinate - static_cast<float>(index)};
}

// Whether the stored point at `index` has a stored neighbour above it along an axis of `steps`
// points. Corners beyond the block's upper boundary carry weight 0 and are never read.
MAPCONV_SAMPLING_STEP bool has_next(int index, int steps) {
  return index + 1 < steps;
}

// Per corner of the cell around a point, in the order the interpolation sums them: offsets
// (0,0,0), (1,0,0), (0,1,0), (0,0,1), (1,1,0), (1,0,1), (0,1,1), (1,1,1) along x, y, z.
template <typename F>
using Corners = std::array<F, 8>;

// The trilinear weights of the corners, from the fractions f1, f2, f3 along x, y, z.
template <typename F>
MAPCONV_SAMPLING_STEP Corners<F> corner_weights(F f1, F f2, F f3) {
  const F a = f1 * f2, b = f1 * f3, c = f2 * f3, d = a * f3;
  return {1.0f - f1 - f2 - f3 + a + b + c - d,
          f1 - a - b + d,
          f2 - a - c + d,
          f3 - b - c + d,
          a - d,
          b - d,
          c - d,
          d};
}

// The corners' codes weighted and summed in corner order. On a stored grid point every weight
// but the first is 0, and the sum is exactly that point's code.
template <typename F>
MAPCONV_SAMPLING_STEP F weighted_sum(const Corners<F>& weights, const Corners<F>& codes) {
  // Written out, so that the vector code keeps every term in registers.
  return weights[0] * codes[0] + weights[1] * codes[1] + weights[2] * codes[2] +
         weights[3] * codes[3] + weights[4] * codes[4] + weights[5] * codes[5] +
         weights[6] * codes[6] + weights[7] * codes[7];
}

// The scaled density of a code, or of an interpolated sum of codes.
template <typename F>
MAPCONV_SAMPLING_STEP F decoded(F code, const BlockGeometry& block) {
  return (code / kCodeScale + 1.0f) * block.density_range * 0.5f + block.density_minimum;
}

}  // namespace conversion

#undef MAPCONV_SAMPLING_STEP
