// One run of grdsection: the grid file read, the map's peaks found as grdpeaks finds them, the
// section sampled and contoured, the picture written.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/model.hpp"
#include "analysis/section.hpp"
#include "analysis/space_group.hpp"
#include "analysis/statistics.hpp"
#include "grdsection/options.hpp"
#include "gridfile/grid_reader.hpp"

namespace grdsection {

// The lines of one contour level, in Å in the plane (X across, Y up).
struct ContourLevel {
  double value = 0.0;  // map units
  double in_sigma = 0.0;
  std::vector<std::vector<std::array<double, 2>>> lines;
  std::vector<bool> closed;
};

// A peak or hole of the map's lists, at one of its places in the slab.
struct Mark {
  int number = 0;  // as the list numbers it, from 1
  bool hole = false;
  std::array<double, 2> at{};  // Å in the plane
};

// An atom of the model at one of its places in the slab.
struct AtomMark {
  std::string label;
  std::array<double, 2> at{};  // Å in the plane
};

struct SectionPicture {
  std::string title;     // the grid file's title without its map type
  std::string map_type;  // the title's last word
  analysis::SectionFrame frame;
  analysis::SectionRange range;
  analysis::MapStatistics statistics;
  std::string levels_text;  // how the levels were chosen, for the title
  std::vector<ContourLevel> contours;
  std::vector<Mark> marks;
  double slab = 0.0;
  std::vector<AtomMark> atoms;     // with --model
  std::vector<std::string> notes;  // for standard error: the model's cell, ...
};

// The picture of the section that `options` asks for. Throws std::runtime_error naming the file
// and the problem for a grid file or experiment file that cannot be used, a group that cannot be
// interpreted, or levels that cannot be drawn.
SectionPicture draw_section(const Options& options);

// The same for a grid file read already, under `group`, with the atoms of `model` when there is
// one.
SectionPicture section_picture(const Options& options, const gridfile::GridFile& grid,
                               const analysis::SpaceGroup& group,
                               const std::optional<analysis::Model>& model = std::nullopt);

// The file the picture goes to: -o, else NAME-z0.250.svg (or .png) beside the grid file.
std::filesystem::path picture_file(const Options& options, const analysis::SectionPlane& plane);

}  // namespace grdsection
