// What the map sampler works with and hands out: points of the cell, map values with the code
// they came from, and the stored block's geometry in the single-precision forms that the search
// for a point's image tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace conversion {

using Point = std::array<float, 3>;

// A map value and, when it is the value of a stored point, that point's 16-bit code.
struct Sample {
  static constexpr int kNoCode = -65536;  // interpolated, or no image in the block
  float value = 0.0f;
  int code = kNoCode;
};

// One axis of the block.
struct BlockAxis {
  float divisions;      // N
  float start;          // S
  float twice_start;    // 2 x S
  float whole_periods;  // 100 x N
  float last;           // L - 1: the upper boundary belongs to the block
};

// The stored block as the interpolation reads it.
struct BlockLayout {
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

// The points of a row that one operator and centring vector are tried on together, at most this
// many; the block coordinates of their images, axis by axis.
inline constexpr std::size_t kBatchPoints = 32;
using BatchCoordinates = std::array<std::array<float, kBatchPoints>, 3>;

// The image of the points (x, y, z) of a row under the operator and centring vector tried: per
// axis, ((r0 x + r1 y) + r2 z) + T / 12, then the centring shift.
struct RowImage {
  std::array<float, 3> row_sums;     // r0 x + r1 y
  std::array<float, 3> z_column;     // r2
  std::array<float, 3> translation;  // T / 12
  std::array<float, 3> shift;        // the centring vector
};

}  // namespace conversion
