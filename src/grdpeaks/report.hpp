// What grdpeaks says about a map: the summary, the peaks and the holes, as a table for a person
// and as CSV and JSON for scripts. The field names of the CSV columns and JSON members are an
// interface (man/grdpeaks.1 lists them): change them only with the man page.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/model.hpp"
#include "analysis/peaks.hpp"
#include "analysis/space_group.hpp"
#include "analysis/statistics.hpp"

namespace grdpeaks {

struct Summary {
  std::string grid_file;
  std::string title;
  std::string map_type;  // the title's last word
  std::array<int, 3> divisions{};
  std::array<double, 3> lengths{};
  std::array<double, 3> angles{};
  analysis::SpaceGroup group;
  std::string group_source;  // where the group comes from, for a person
  bool grid_carries_group = true;
  analysis::MapStatistics statistics;
  double merge_radius = 0.0;
  double min_sigma = 0.0;
  int count = 0;
};

// The atom of the model nearest a peak or hole.
struct PeakAtom {
  std::string label;
  double distance = 0.0;  // Å
  std::string image;      // the symmetry image that brings the atom there: "-x+1,y+1/2,-z+1/2"
};

// What --model adds to the summary.
struct ModelSummary {
  std::string file;
  std::string block;
  std::size_t atom_count = 0;
  std::array<double, 3> lengths{};
  std::array<double, 3> angles{};
  std::vector<std::string> cell_differences;  // the cell constants beyond the tolerance
  // Whether the atoms were checked for a peak near them: not in a difference map, where a
  // well-placed atom has none.
  bool support_checked = false;
  std::vector<analysis::ModelAtom> unsupported;  // atoms with no peak near them
};

struct MapReport {
  Summary summary;
  std::vector<analysis::Peak> peaks;
  std::optional<std::vector<analysis::Peak>> holes;  // for a difference map or with --holes
  std::optional<ModelSummary> model;                 // with --model
  // With --model, the nearest atom of each peak and hole (nothing for a model without atoms).
  std::vector<std::optional<PeakAtom>> peak_atoms;
  std::vector<std::optional<PeakAtom>> hole_atoms;
};

std::string terminal_text(const MapReport& report);
std::string csv_text(const MapReport& report);
std::string json_text(const MapReport& report);

}  // namespace grdpeaks
