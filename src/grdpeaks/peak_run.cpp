#include "grdpeaks/peak_run.hpp"

#include <cmath>
#include <stdexcept>

#include "analysis/map_grid.hpp"
#include "analysis/model.hpp"
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

std::vector<std::optional<PeakAtom>> nearest_atoms(const std::vector<analysis::Peak>& list,
                                                   const analysis::Model& model,
                                                   const analysis::ModelImages& images) {
  std::vector<std::optional<PeakAtom>> atoms;
  for (const analysis::Peak& peak : list) {
    const std::optional<analysis::NearestAtom> nearest = images.nearest(peak.position);
    if (!nearest) {
      atoms.emplace_back();
      continue;
    }
    atoms.push_back(
        PeakAtom{model.atoms[nearest->atom].label, nearest->distance, nearest->image.text()});
  }
  return atoms;
}

// The peaks that may support an atom: every peak above the threshold, however many are listed.
std::vector<analysis::Peak> peaks_above_threshold(const MapReport& report,
                                                  const analysis::MapGrid& map,
                                                  const analysis::UnitCell& cell) {
  const Summary& s = report.summary;
  if (s.count == 0) return report.peaks;
  return analysis::find_peaks(map, cell, s.group, s.statistics, {false, 0, s.min_sigma});
}

void add_model(const analysis::Model& model, const analysis::MapGrid& map,
               const analysis::UnitCell& cell, MapReport& report) {
  const analysis::ModelImages images(model, cell, report.summary.group);
  ModelSummary m;
  m.file = model.file;
  m.block = model.block;
  m.atom_count = model.atoms.size();
  m.lengths = model.lengths;
  m.angles = model.angles;
  m.cell_differences = analysis::cell_differences(model, cell);
  m.support_checked = !analysis::is_difference_map(report.summary.map_type);
  if (m.support_checked) {
    const std::vector<analysis::Peak> peaks = peaks_above_threshold(report, map, cell);
    for (const std::size_t atom : analysis::atoms_without_peak(images, model.atoms.size(), peaks,
                                                               analysis::kSupportRadius)) {
      m.unsupported.push_back(model.atoms[atom]);
    }
  }
  report.model = std::move(m);
  report.peak_atoms = nearest_atoms(report.peaks, model, images);
  if (report.holes) report.hole_atoms = nearest_atoms(*report.holes, model, images);
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
  // A model that cannot be used is told before the map's analysis.
  const std::optional<analysis::Model> model =
      options.model ? std::optional(analysis::read_model(os::path_of(*options.model)))
                    : std::nullopt;
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
  if (model) add_model(*model, map, cell, report);
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
