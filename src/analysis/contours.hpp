// Contour lines of values sampled on a lattice (marching squares) and the levels they are drawn
// at. A lattice point counts as inside a level when its value is at least the level; the line
// crosses each lattice edge whose ends differ, where the linear interpolation along the edge meets
// the level. In a square whose diagonal corners alone are inside (a saddle), the mean of the four
// corners decides which pair the region joins. Lines are in lattice coordinates (column, row),
// continuous: any affine map of the lattice (a cell's true metric) takes them along exactly.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace analysis {

struct SampleLattice {
  int columns = 0;                // at least 2
  int rows = 0;                   // at least 2
  std::span<const float> values;  // column fastest

  float at(int column, int row) const {
    return values[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                  static_cast<std::size_t>(column)];
  }
};

struct ContourLine {
  std::vector<std::array<double, 2>> points;  // (column, row)
  bool closed = false;  // the last point joins the first; an open line ends on the lattice's edge
};

// The contour lines of `lattice` at `level`.
std::vector<ContourLine> contour_lines(const SampleLattice& lattice, double level);

// The levels in map units at whole multiples of `step` standard deviations (`sigma`, above 0)
// from zero that lie between `minimum` and `maximum`, zero left out, lowest first; nothing when
// there would be more than `most` of them.
std::optional<std::vector<double>> sigma_levels(double sigma, double step, double minimum,
                                                double maximum, int most);

}  // namespace analysis
