// A map over the whole cell on a periodic grid: the values of N1 x N2 x N3 grid points, x fastest
// and z slowest, as the grid file reader delivers them, with the cell they lie in.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace analysis {

// The cell's metric: distances in Å between fractional positions.
class UnitCell {
 public:
  UnitCell(const std::array<double, 3>& lengths, const std::array<double, 3>& angles_degrees);

  const std::array<double, 3>& lengths() const { return lengths_; }
  const std::array<double, 3>& angles() const { return angles_; }

  // The length in Å of the fractional vector `d`.
  double length_of(const std::array<double, 3>& d) const;

  // The distance in Å between the lattice planes normal to axis `axis` (0 to 2) one cell apart.
  double plane_spacing(std::size_t axis) const;

  // The shortest distance in Å between `a` and any lattice translate of `b`.
  double distance(const std::array<double, 3>& a, const std::array<double, 3>& b) const;

  // The lattice translation that takes `b` nearest `a`. Both within a few thousand cells of
  // the origin.
  std::array<int, 3> nearest_translation(const std::array<double, 3>& a,
                                         const std::array<double, 3>& b) const;

 private:
  std::array<double, 3> lengths_, angles_;
  std::array<std::array<double, 3>, 3> metric_{};  // G(i, j) = a_i . a_j
};

struct MapGrid {
  std::array<int, 3> divisions{};  // N1, N2, N3 along x, y, z
  std::span<const float> values;   // x fastest, z slowest

  std::size_t index(int i, int j, int k) const {
    return static_cast<std::size_t>(i) +
           static_cast<std::size_t>(divisions[0]) *
               (static_cast<std::size_t>(j) +
                static_cast<std::size_t>(divisions[1]) * static_cast<std::size_t>(k));
  }
  // The value at grid point (i, j, k), each counted from 0 and taken periodically.
  float wrapped(int i, int j, int k) const {
    return values[index(wrap(i, 0), wrap(j, 1), wrap(k, 2))];
  }
  int wrap(int n, std::size_t axis) const {
    const int size = divisions[axis];
    return ((n % size) + size) % size;
  }
};

// The fractional position reduced into [0, 1).
double reduced(double fraction);

// The value of `map` at the fractional position `x`, interpolated trilinearly between the eight
// grid points around it, the grid taken periodically.
float trilinear(const MapGrid& map, const std::array<double, 3>& x);

}  // namespace analysis
