#include "conversion/grid_writer.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include "conversion/grid_values.hpp"
#include "conversion/map_output.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr std::size_t kShownNameLength = 50;

int open_grid_file(const std::string& name) {
  int unit = 0;
  textio::NEWUNT(unit);
  textio::OpenOptions options;
  options.status = "unknown";
  options.through_temporary = true;
  // A run that ends early still leaves the old grid file as it was. The disk is not waited for:
  // only a crash of the system itself could then cut the new file short, and any run makes it
  // again from the map.
  options.durable = false;
  textio::open_unit(unit, name, options);
  return unit;
}

void write_grid_header(int unit, const std::string& title_line, const Cell& cell,
                       const Triple& grid_divisions) {
  textio::write_record(unit, "(A)", title_line);
  textio::write_record(unit, kCellLineFormat, cell.lengths, cell.angles);
  textio::write_record(unit, "(3i4)", grid_divisions);
}

// A block too small for its group leaves points without an image, written as 0 like any other
// value: the file alone cannot tell them from density 0.
void report_uncovered_points(std::int64_t uncovered, std::int64_t points) {
  if (uncovered == 0) return;
  textio::write_record(textio::kErrorOutput, "(A)",
                       textio::program_name() + ": warning: " + std::to_string(uncovered) + " of " +
                           std::to_string(points) +
                           " grid points are not covered by the stored block and are written as 0");
}

// "2,880" for 2880: counts of grid points are read more easily in groups of three digits.
std::string grouped_digits(std::int64_t count) {
  std::string digits = std::to_string(count);
  for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

bool on_the_grid(double fraction_of_edge, int divisions) {
  const double steps = fraction_of_edge * divisions;
  return std::abs(steps - std::round(steps)) < 1e-4;
}

// Whether every operation of the group takes the grid points to grid points along axis `i`: its
// translations and centring vectors are whole steps there, and an axis that a rotation brings
// onto it is divided as finely or as a divisor of it.
bool carries_symmetry_along(const symmetry::OperatorSet& operators, const Triple& divisions,
                            std::size_t i) {
  for (int k = 0; k < operators.operator_count; ++k) {
    const symmetry::SymmetryOperator& op = operators.operators[static_cast<std::size_t>(k)];
    if (!on_the_grid(op.translation[i] / double{symmetry::kTwelfths}, divisions[i])) return false;
    for (std::size_t j = 0; j < 3; ++j) {
      if (j != i && op.rotation[i][j] != 0 && divisions[i] % divisions[j] != 0) return false;
    }
  }
  for (int c = 0; c < operators.centring_count; ++c) {
    if (!on_the_grid(operators.centring[static_cast<std::size_t>(c)][i], divisions[i])) {
      return false;
    }
  }
  return true;
}

// "y", "x and z": the axes along which the grid does not carry the group's symmetry.
std::string axes_not_carried(const symmetry::OperatorSet& operators, const Triple& divisions) {
  std::string axes;
  for (std::size_t i = 0; i < 3; ++i) {
    if (carries_symmetry_along(operators, divisions, i)) continue;
    if (!axes.empty()) axes += " and ";
    axes += static_cast<char>('x' + i);
  }
  return axes;
}

// A grid that does not carry the group's translations holds values interpolated between stored
// points beside stored ones: an atom may then show two heights at two of its images, and nothing
// in the file tells such a map from an exact one.
void report_interpolated_points(std::int64_t interpolated, const symmetry::OperatorSet& operators,
                                const MapBlock& block) {
  if (interpolated == 0) return;
  const Triple& n = block.grid_divisions;
  const std::string axes = axes_not_carried(operators, n);
  textio::write_record(textio::kErrorOutput, "(A)",
                       textio::program_name() + ": note: the grid " + std::to_string(n[0]) + " x " +
                           std::to_string(n[1]) + " x " + std::to_string(n[2]) +
                           " does not carry the symmetry" + (axes.empty() ? "" : " along " + axes) +
                           ": " + grouped_digits(interpolated) + " of " +
                           grouped_digits(grid_point_count(block)) +
                           " points are interpolated between stored points");
}

}  // namespace

void write_grid_file(const ConversionRun& run, const GridFile& grid, const LoadedMap& map,
                     const symmetry::OperatorSet& operators, int thread_count,
                     MapOutput* map_output) {
  const int unit = open_grid_file(grid.name);
  textio::write_list(run.terminal_unit,
                     "Writing file: ", textio::fit(textio::unit_file_name(unit), kShownNameLength));
  write_grid_header(unit, map.title_line, grid.cell, map.block.grid_divisions);
  const GridValueCounts counts =
      write_grid_values(unit, map.block, operators, thread_count, kGuessPoints, map_output);
  // A map that cannot be written stops the run while the grid file is still unnamed.
  if (map_output != nullptr) map_output->write();
  textio::close_unit(unit);
  if (map_output != nullptr) map_output->commit();
  report_uncovered_points(counts.uncovered, grid_point_count(map.block));
  report_interpolated_points(counts.interpolated, operators, map.block);
  if (map_output != nullptr) map_output->report();
}

}  // namespace conversion
