#include "conversion/convert_map.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversion/grid_values.hpp"
#include "conversion/map_block.hpp"
#include "conversion/map_file.hpp"
#include "symmetry/operator_set.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr std::size_t kShownNameLength = 50;

std::vector<float> allocate_work_buffer(int section_size, int terminal_unit) {
  if (section_size >= 1) {
    try {
      return std::vector<float>(static_cast<std::size_t>(section_size));
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  textio::write_record(terminal_unit, "(A,I12,A)", " **** Cannot hold a map section of",
                       section_size, " values ****");
  textio::stop_run("REDFMP");
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

int ThreadCount::for_grid(std::int64_t points) const {
  if (!fitted_to_grid) return most;
  return static_cast<int>(std::clamp<std::int64_t>(points / kPointsPerThread, 1, most));
}

void convert_map(int experiment_unit, int terminal_unit, const ConversionRequest& request,
                 ThreadCount threads) {
  if (threads.most < 1) {
    throw std::invalid_argument("convert_map needs at least one thread, not " +
                                std::to_string(threads.most));
  }
  const OpenedMap map_file = open_map_file(request.experiment, experiment_unit, terminal_unit);
  const MapHeader header = read_map_header(map_file.unit);
  std::vector<float> work_buffer = allocate_work_buffer(header.section_size, terminal_unit);
  const LoadedMap map =
      load_map(experiment_unit, map_file.unit, header, request.phase, work_buffer, terminal_unit);
  std::vector<float>().swap(work_buffer);

  int grid_unit = open_grid_file(request.grid_file);
  textio::write_list(terminal_unit, "Writing file: ",
                     textio::fit(textio::unit_file_name(grid_unit), kShownNameLength));
  write_grid_header(grid_unit, map.title_line, request.cell, map.block.grid_divisions);
  const Triple& divisions = map.block.grid_divisions;
  const std::int64_t points = std::int64_t{divisions[0]} * divisions[1] * divisions[2];
  const std::int64_t uncovered =
      write_grid_values(grid_unit, map.block, map.operators, threads.for_grid(points));
  textio::close_unit(grid_unit);
  report_uncovered_points(uncovered, points);
}

}  // namespace conversion
