// A plane section through a map: the plane x_n = position of the cell (n the normal axis), drawn
// in the cell's true metric with the next axis in cyclic order across and the one after it up
// (x: y across, z up; y: z across, x up; z: x across, y up), so that the normal points at the
// viewer. Positions in the plane are in Å from the point where the two in-plane axes meet.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "analysis/map_grid.hpp"
#include "analysis/space_group.hpp"

namespace analysis {

struct SectionPlane {
  std::size_t normal_axis = 2;  // 0, 1, 2 for x, y, z
  double position = 0.0;        // fractional, along the normal axis

  std::size_t across_axis() const { return (normal_axis + 1) % 3; }
  std::size_t up_axis() const { return (normal_axis + 2) % 3; }
};

// The part of the plane drawn, in fractions of the in-plane axes (across, up).
struct SectionRange {
  std::array<double, 2> from{-0.05, -0.05};
  std::array<double, 2> to{1.05, 1.05};
};

// The cell seen down the normal of a plane: Cartesian coordinates in Å with X along the across
// axis, Y in the plane and Z along the plane's normal, from the plane's origin.
class SectionFrame {
 public:
  SectionFrame(const UnitCell& cell, const SectionPlane& plane);

  const SectionPlane& plane() const { return plane_; }
  // X, Y, Z of the fractional position `x`: (X, Y) is the foot of the perpendicular from it on
  // the plane, Z its signed distance from the plane.
  std::array<double, 3> cartesian(const std::array<double, 3>& x) const;
  // X, Y of the point of the plane at fractions (across, up) of its axes.
  std::array<double, 2> in_plane(double across, double up) const;
  // The fractions (across, up) of the point (X, Y) of the plane.
  std::array<double, 2> fractions_of(double x, double y) const;
  // The lengths in Å of the two in-plane axes and the angle between them in degrees.
  double across_length() const { return across_length_; }
  double up_length() const { return up_length_; }
  double angle() const { return angle_; }
  // The distance in Å between the plane and its next lattice translate along the normal.
  double layer_spacing() const { return normal_edge_[2]; }

 private:
  SectionPlane plane_;
  double across_length_ = 0.0, up_length_ = 0.0, angle_ = 90.0;
  std::array<double, 2> up_edge_{};      // the up axis's edge in (X, Y); across is (length, 0)
  std::array<double, 3> normal_edge_{};  // the normal axis's edge in (X, Y, Z)
};

// The map's values over a range of the plane, on a lattice of columns x rows points that spans
// the range exactly, column fastest.
struct SectionSamples {
  SectionRange range;
  int columns = 0;
  int rows = 0;
  std::vector<float> values;

  // The fractions (across, up) of the lattice position (column, row), each continuous.
  std::array<double, 2> fractions_at(double column, double row) const;
};

// Samples `map` over `range` of `plane` on `columns` x `rows` points (each at least 2), each
// value taken by trilinear interpolation of the periodic grid.
SectionSamples sample_section(const MapGrid& map, const SectionPlane& plane,
                              const SectionRange& range, int columns, int rows);

// Where the images of `position` under `group` (lattice translates included) that lie within
// `slab` Å of the plane show in `range`: the feet of their perpendiculars, (X, Y) in Å, each
// place once.
std::vector<std::array<double, 2>> images_in_slab(const std::array<double, 3>& position,
                                                  const SpaceGroup& group,
                                                  const SectionFrame& frame,
                                                  const SectionRange& range, double slab);

}  // namespace analysis
