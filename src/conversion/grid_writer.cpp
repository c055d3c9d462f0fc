#include "conversion/grid_writer.hpp"

#include <cstdint>
#include <string>

#include "conversion/grid_values.hpp"
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
  textio::write_record(unit, "(3f10.5,3f10.4)", cell.lengths, cell.angles);
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

}  // namespace

void write_grid_file(const ConversionRun& run, const GridFile& grid, const LoadedMap& map,
                     const symmetry::OperatorSet& operators, int thread_count) {
  const int unit = open_grid_file(grid.name);
  textio::write_list(run.terminal_unit,
                     "Writing file: ", textio::fit(textio::unit_file_name(unit), kShownNameLength));
  write_grid_header(unit, map.title_line, grid.cell, map.block.grid_divisions);
  const std::int64_t uncovered = write_grid_values(unit, map.block, operators, thread_count);
  textio::close_unit(unit);
  report_uncovered_points(uncovered, grid_point_count(map.block));
}

}  // namespace conversion
