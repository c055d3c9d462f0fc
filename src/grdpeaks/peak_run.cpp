#include "grdpeaks/peak_run.hpp"

#include <cmath>
#include <stdexcept>

#include "analysis/map_grid.hpp"
#include "grdpeaks/output_files.hpp"
#include "gridfile/experiment_facts.hpp"
#include "gridfile/grid_file_name.hpp"
#include "gridfile/grid_reader.hpp"
#include "os/os.hpp"

namespace grdpeaks {

namespace {

void find_group(const Options& options, const gridfile::GridFile& grid,
                const std::filesystem::path& grid_path, Summary& summary) {
  const gridfile::GroupSource source = gridfile::map_group_source(options.group, grid_path, grid);
  summary.group = source.symbol
                      ? analysis::group_for_map(*source.symbol, summary.map_type, source.where)
                      : analysis::triclinic_group();
  summary.group_source = source.description;
}

}  // namespace

MapReport analyse(const Options& options) {
  const std::filesystem::path path = gridfile::grid_file_named(options.name);
  const gridfile::GridFile grid = gridfile::read_grid_file(path);
  MapReport report;
  Summary& s = report.summary;
  s.grid_file = os::name_of(path);
  s.title = grid.title.substr(0, grid.title.find_last_not_of(' ') + 1);
  s.map_type = gridfile::map_type_of(grid.title);
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
