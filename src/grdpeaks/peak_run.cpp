#include "grdpeaks/peak_run.hpp"

#include <cmath>
#include <stdexcept>

#include "analysis/map_grid.hpp"
#include "grdpeaks/experiment_facts.hpp"
#include "grdpeaks/output_files.hpp"
#include "gridfile/grid_file_name.hpp"
#include "gridfile/grid_reader.hpp"
#include "os/os.hpp"

namespace grdpeaks {

namespace {

std::string last_word(const std::string& title) {
  const std::size_t end = title.find_last_not_of(' ');
  if (end == std::string::npos) return "";
  const std::size_t start = title.find_last_of(' ', end);
  return title.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

analysis::SpaceGroup interpreted(const std::string& symbol, const std::string& where,
                                 const std::string& map_type) {
  std::optional<analysis::SpaceGroup> group = analysis::group_of_symbol(symbol, map_type);
  if (!group) {
    throw std::runtime_error(where + ": the space-group symbol \"" + symbol +
                             "\" cannot be interpreted");
  }
  return *group;
}

// The cell of the experiment's phase agrees with the grid file's within the grid file's digits.
bool same_cell(const ExperimentFacts& facts, const gridfile::GridFile& grid) {
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::fabs(facts.lengths[i] - grid.lengths[i]) > 1e-4f ||
        std::fabs(facts.angles[i] - grid.angles[i]) > 1e-3f) {
      return false;
    }
  }
  return true;
}

void find_group(const Options& options, const gridfile::GridFile& grid,
                const std::filesystem::path& grid_path, Summary& summary) {
  if (options.group) {
    summary.group = interpreted(*options.group, "--group", summary.map_type);
    summary.group_source = "as given by --group";
    return;
  }
  const std::filesystem::path experiment = gridfile::experiment_file_beside(grid_path);
  const std::optional<ExperimentFacts> facts = read_experiment_facts(experiment);
  if (!facts) {
    summary.group = analysis::triclinic_group();
    summary.group_source = "no experiment file " + os::name_of(experiment) + ": the grid alone";
    return;
  }
  const std::string name = os::name_of(experiment);
  summary.group = interpreted(facts->symbol, name, summary.map_type);
  summary.group_source = "from " + name + ", phase " + std::to_string(facts->phase);
  if (!same_cell(*facts, grid)) {
    summary.group_source += " (whose cell differs from the grid file's: the grid's is used)";
  }
}

}  // namespace

MapReport analyse(const Options& options) {
  const std::filesystem::path path = gridfile::grid_file_named(options.name);
  const gridfile::GridFile grid = gridfile::read_grid_file(path);
  MapReport report;
  Summary& s = report.summary;
  s.grid_file = os::name_of(path);
  s.title = grid.title.substr(0, grid.title.find_last_not_of(' ') + 1);
  s.map_type = last_word(grid.title);
  s.divisions = grid.divisions;
  for (std::size_t i = 0; i < 3; ++i) {
    s.lengths[i] = grid.lengths[i];
    s.angles[i] = grid.angles[i];
  }
  find_group(options, grid, path, s);
  s.grid_carries_group = analysis::grid_carries_group(s.group, s.divisions);
  const analysis::MapGrid map{grid.divisions, grid.values};
  const analysis::UnitCell cell(s.lengths, s.angles);
  s.statistics = analysis::map_statistics(grid.values);
  s.merge_radius = analysis::merge_radius(map, cell);
  s.min_sigma = options.min_sigma;
  s.count = options.count;
  analysis::PeakSearch search{false, options.count, options.min_sigma};
  report.peaks = analysis::find_peaks(map, cell, s.group, s.statistics, search);
  if (options.holes || analysis::is_difference_map(s.map_type)) {
    search.holes = true;
    report.holes = analysis::find_peaks(map, cell, s.group, s.statistics, search);
  }
  return report;
}

std::string write_outputs(const Options& options, const MapReport& report) {
  OutputFiles files;
  std::string standard_output;
  bool list_on_standard_output = false;
  const auto put = [&](const std::optional<std::string>& name, std::string text) {
    if (!name) return;
    if (*name == "-") {
      standard_output = std::move(text);
      list_on_standard_output = true;
    } else {
      files.write(*name, text);
    }
  };
  put(options.csv, csv_text(report));
  put(options.json, json_text(report));
  files.commit();
  return list_on_standard_output ? standard_output : terminal_text(report);
}

}  // namespace grdpeaks
