#include "grdsection/section_run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "analysis/contours.hpp"
#include "analysis/model.hpp"
#include "analysis/peaks.hpp"
#include "grdsection/svg_picture.hpp"
#include "gridfile/experiment_facts.hpp"
#include "gridfile/grid_file_name.hpp"
#include "gridfile/grid_reader.hpp"
#include "os/os.hpp"

namespace grdsection {

namespace {

// More samples than this along one side would only add points closer than a pixel (and their
// contouring memory: a 2048 x 2048 lattice takes about 100 MB).
constexpr int kMostSamples = 2048;

analysis::SpaceGroup group_of(const Options& options, const gridfile::GridFile& grid,
                              const std::filesystem::path& path, const std::string& map_type) {
  const gridfile::GroupSource source = gridfile::map_group_source(options.group, path, grid);
  return source.symbol ? analysis::group_for_map(*source.symbol, map_type, source.where)
                       : analysis::triclinic_group();
}

std::string formatted_number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The levels in map units, and the words that say how they were chosen.
std::pair<std::vector<double>, std::string> levels_for(const Options& options,
                                                       const analysis::MapStatistics& s) {
  if (!(s.sigma > 0.0)) return {{}, "no contours: the map is flat"};
  if (options.levels) {
    std::vector<double> levels;
    std::string text = "contours at ";
    for (const double level : *options.levels) {
      levels.push_back(level * s.sigma);
      text += (levels.size() > 1 ? ", " : "") + formatted_number(level) + "σ";
    }
    std::sort(levels.begin(), levels.end());
    return {levels, text};
  }
  const std::optional<std::vector<double>> levels =
      analysis::sigma_levels(s.sigma, options.step, s.minimum, s.maximum, kMostLevels);
  if (!levels) {
    throw std::runtime_error("--step " + formatted_number(options.step) + " would draw more than " +
                             std::to_string(kMostLevels) + " contour levels over the map's values");
  }
  if (levels->empty()) return {{}, "no contours: no multiple of the step lies in the map's range"};
  const auto in_sigma = [&](double value) { return formatted_number(value / s.sigma) + "σ"; };
  return {*levels, "contours every " + formatted_number(options.step) + "σ from " +
                       in_sigma(levels->front()) + " to " + in_sigma(levels->back()) +
                       (levels->front() < 0.0 && levels->back() > 0.0 ? ", none at zero" : "")};
}

// Samples along each side: at least two per grid step, and about one every two pixels of the
// picture.
std::array<int, 2> sample_counts(const analysis::MapGrid& map, const analysis::SectionFrame& frame,
                                 const analysis::SectionRange& range) {
  const double pixels = pixels_per_angstrom(frame, range);
  const analysis::SectionPlane& plane = frame.plane();
  const std::array<double, 2> per_cell = {
      std::max(2.0 * map.divisions[plane.across_axis()], frame.across_length() * pixels / 2.0),
      std::max(2.0 * map.divisions[plane.up_axis()], frame.up_length() * pixels / 2.0)};
  std::array<int, 2> counts{};
  for (std::size_t i = 0; i < 2; ++i) {
    const double samples = std::ceil((range.to[i] - range.from[i]) * per_cell[i]) + 1.0;
    counts[i] = static_cast<int>(std::clamp(samples, 2.0, double(kMostSamples)));
  }
  return counts;
}

ContourLevel contour_level(const analysis::SectionSamples& samples,
                           const analysis::SectionFrame& frame, double value, double sigma) {
  ContourLevel level{value, value / sigma, {}, {}};
  const analysis::SampleLattice lattice{samples.columns, samples.rows, samples.values};
  for (const analysis::ContourLine& line : analysis::contour_lines(lattice, value)) {
    std::vector<std::array<double, 2>> points;
    points.reserve(line.points.size());
    for (const auto& p : line.points) {
      const std::array<double, 2> f = samples.fractions_at(p[0], p[1]);
      points.push_back(frame.in_plane(f[0], f[1]));
    }
    level.lines.push_back(std::move(points));
    level.closed.push_back(line.closed);
  }
  return level;
}

void add_marks(const std::vector<analysis::Peak>& list, bool holes, const analysis::SpaceGroup& g,
               SectionPicture& picture) {
  for (std::size_t n = 0; n < list.size(); ++n) {
    for (const auto& at : analysis::images_in_slab(list[n].position, g, picture.frame,
                                                   picture.range, picture.slab)) {
      picture.marks.push_back({static_cast<int>(n) + 1, holes, at});
    }
  }
}

// The model's atoms go where their fractional positions put them in the map's cell; a model of
// another cell is drawn all the same, with a note.
void add_atoms(const analysis::Model& model, const analysis::UnitCell& cell,
               const analysis::SpaceGroup& group, SectionPicture& picture) {
  for (const analysis::ModelAtom& atom : model.atoms) {
    for (const auto& at : analysis::images_in_slab(atom.position, group, picture.frame,
                                                   picture.range, picture.slab)) {
      picture.atoms.push_back({atom.label, at});
    }
  }
  const std::vector<std::string> differences = analysis::cell_differences(model, cell);
  if (differences.empty()) return;
  std::string names;
  for (const std::string& name : differences) names += (names.empty() ? "" : ", ") + name;
  picture.notes.push_back("the cell of the model " + model.file + " differs from the map's in " +
                          names + "; its atoms are drawn at their fractional positions");
}

}  // namespace

SectionPicture draw_section(const Options& options) {
  // A model that cannot be used is told before the map is read, as grdpeaks tells it.
  const std::optional<analysis::Model> model =
      options.model ? std::optional(analysis::read_model(os::path_of(*options.model)))
                    : std::nullopt;
  const std::filesystem::path path = gridfile::grid_file_named(options.name);
  const gridfile::GridFile grid = gridfile::read_grid_file(path);
  return section_picture(options, grid,
                         group_of(options, grid, path, gridfile::map_type_of(grid.title)), model);
}

SectionPicture section_picture(const Options& options, const gridfile::GridFile& grid,
                               const analysis::SpaceGroup& group,
                               const std::optional<analysis::Model>& model) {
  const std::string map_type = gridfile::map_type_of(grid.title);
  const analysis::MapGrid map{grid.divisions, grid.values};
  const analysis::UnitCell cell({grid.lengths[0], grid.lengths[1], grid.lengths[2]},
                                {grid.angles[0], grid.angles[1], grid.angles[2]});
  const analysis::MapStatistics statistics = analysis::map_statistics(grid.values);
  analysis::PeakSearch search{false, options.count, options.min_sigma};
  const std::vector<analysis::Peak> peaks =
      analysis::find_peaks(map, cell, group, statistics, search);
  const analysis::SectionPlane plane =
      options.plane.value_or(analysis::SectionPlane{2, peaks.empty() ? 0.0 : peaks[0].position[2]});
  std::string title = grid.title.substr(0, grid.title.rfind(map_type));
  title.erase(title.find_last_not_of(' ') + 1);
  SectionPicture picture{title,
                         map_type,
                         analysis::SectionFrame(cell, plane),
                         options.range,
                         statistics,
                         {},
                         {},
                         {},
                         options.slab,
                         {},
                         {}};
  const auto [levels, levels_text] = levels_for(options, statistics);
  picture.levels_text = levels_text;
  const std::array<int, 2> counts = sample_counts(map, picture.frame, picture.range);
  const analysis::SectionSamples samples =
      analysis::sample_section(map, plane, picture.range, counts[0], counts[1]);
  for (const double level : levels) {
    picture.contours.push_back(contour_level(samples, picture.frame, level, statistics.sigma));
  }
  add_marks(peaks, false, group, picture);
  if (options.holes || analysis::is_difference_map(map_type)) {
    search.holes = true;
    add_marks(analysis::find_peaks(map, cell, group, statistics, search), true, group, picture);
  }
  if (model) add_atoms(*model, cell, group, picture);
  return picture;
}

std::filesystem::path picture_file(const Options& options, const analysis::SectionPlane& plane) {
  if (options.output) return os::path_of(*options.output);
  const std::filesystem::path grid = gridfile::grid_file_named(options.name);
  std::string stem = os::name_of(grid.filename());
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.erase(dot);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "-%c%.3f.%s", "xyz"[plane.normal_axis], plane.position,
                options.png ? "png" : "svg");
  return grid.parent_path() / os::path_of(stem + suffix);
}

}  // namespace grdsection
