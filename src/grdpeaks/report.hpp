// What grdpeaks says about a map: the summary, the peaks and the holes, as a table for a person
// and as CSV and JSON for scripts. The field names of the CSV columns and JSON members are an
// interface (man/grdpeaks.1 lists them): change them only with the man page.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

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

struct MapReport {
  Summary summary;
  std::vector<analysis::Peak> peaks;
  std::optional<std::vector<analysis::Peak>> holes;  // for a difference map or with --holes
};

std::string terminal_text(const MapReport& report);
std::string csv_text(const MapReport& report);
std::string json_text(const MapReport& report);

}  // namespace grdpeaks
