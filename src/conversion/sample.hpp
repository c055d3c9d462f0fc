// What the map sampler works with and hands out: points of the cell, map values with the code
// they came from, and the batches of a row that it tests together.
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
