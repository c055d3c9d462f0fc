// The stored block of a Fourier map: 16-bit codes of the scaled densities and their geometry,
// filled once when the map file is read and read by the map sampler for every grid point.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace conversion {

using Triple = std::array<int, 3>;

struct MapBlock {
  float density_minimum = 0.0f;  // after scaling
  float density_maximum = 0.0f;  // after scaling
  float density_range = 0.0f;    // maximum - minimum, greater than 0
  Triple grid_divisions{};       // x, y, z: grid steps over the whole cell
  Triple block_start{};          // x, y, z: grid index of the first stored point
  Triple block_steps{};          // x, y, z: stored points per axis
  // Point (u, v, w) from the block start is element u + Lx * (v + Ly * w).
  std::vector<std::int16_t> values;
};

// The points of the whole cell's grid.
inline std::int64_t grid_point_count(const MapBlock& block) {
  const Triple& divisions = block.grid_divisions;
  return std::int64_t{divisions[0]} * divisions[1] * divisions[2];
}

// Codes -32767 and +32767 stand for the density minimum and maximum.
inline constexpr float kCodeScale = 32767.0f;

// The 16-bit code of a scaled density.
std::int16_t encode_density(float density, float minimum, float range);

// Cyclic rotation of a per-axis triple: direction 0 or positive gives (a3, a1, a2), negative
// gives (a2, a3, a1).
template <typename T>
void ROTAX3(std::array<T, 3>& triple, int direction) {
  if (direction >= 0) {
    triple = {triple[2], triple[0], triple[1]};
  } else {
    triple = {triple[1], triple[2], triple[0]};
  }
}

// ROTAX3 with direction +1 applied `count` times (none for a negative count).
template <typename T>
void rotate_to_xyz(std::array<T, 3>& triple, int count) {
  for (int i = 0; i < count % 3; ++i) ROTAX3(triple, 1);
}

}  // namespace conversion
