// The peaks (or holes) of a map, each once per set of symmetry images.
//
// A peak is a grid point whose value exceeds its 26 neighbours on the periodic grid (ties go to
// the point met first, x fastest), refined between grid points by a parabola through the point
// and its two neighbours along each axis: the three axes separately, the cross terms of the
// 3x3x3 neighbourhood left out. Its height is that of the three parabolas at the refined position.
//
// Peaks are merged with their symmetry images under the group, taking the highest as the peak:
// on a grid that carries the group the images have equal heights, on one that does not they were
// interpolated and differ, and the spread of the heights merged is reported. Two positions are
// one when they lie within the merge radius, one and a half times the longest grid step; a peak
// that lies that close to its own image sits on a special position, is moved onto it (the mean of
// those images) and has the order of its site symmetry above 1.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "analysis/map_grid.hpp"
#include "analysis/space_group.hpp"
#include "analysis/statistics.hpp"

namespace analysis {

struct Peak {
  std::array<double, 3> position{};  // fractional, reduced into [0, 1)
  double height = 0.0;               // map units, at the refined position
  double height_sigma = 0.0;         // (height - mean) / standard deviation
  int multiplicity = 1;              // images in the cell: group order / site symmetry order
  int site_symmetry_order = 1;
  // In Å, to the nearest image of any other listed peak (or of this one, off its site); nothing
  // when there is none.
  std::optional<double> nearest_peak_distance;
  int images_merged = 1;       // grid maxima merged into this peak
  double height_spread = 0.0;  // highest less lowest height of those maxima (map units)
};

struct PeakSearch {
  bool holes = false;      // look for minima instead, heights below the mean
  int count = 20;          // at most this many, highest (deepest) first; 0 for all
  double min_sigma = 1.0;  // only those at least this many standard deviations from the mean
};

// How close two positions are to be one peak, in Å.
double merge_radius(const MapGrid& map, const UnitCell& cell);

// The peaks (or holes) of `map`, highest (deepest) first.
std::vector<Peak> find_peaks(const MapGrid& map, const UnitCell& cell, const SpaceGroup& group,
                             const MapStatistics& statistics, const PeakSearch& search);

// The site symmetry of `position` under `group` within `radius` Å: the order, and the position
// moved onto the special position.
struct Site {
  std::array<double, 3> position{};
  int order = 1;
};
Site site_of(const std::array<double, 3>& position, const UnitCell& cell, const SpaceGroup& group,
             double radius);

// The shortest distance in Å from `from` to any image of `to` under `group`.
double distance_under_group(const std::array<double, 3>& from, const std::array<double, 3>& to,
                            const UnitCell& cell, const SpaceGroup& group);

}  // namespace analysis
