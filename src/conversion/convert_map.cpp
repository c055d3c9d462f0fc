#include "conversion/convert_map.hpp"

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversion/grid_values.hpp"
#include "conversion/map_block.hpp"
#include "conversion/map_file.hpp"
#include "symmetry/operator_set.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr std::size_t kShownNameLength = 50;

std::vector<float> allocate_work_buffer(int section_size) {
  if (section_size >= 1) {
    try {
      return std::vector<float>(static_cast<std::size_t>(section_size));
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  textio::write_record(textio::kConsoleOutput, "(A,I12,A)", " **** Cannot hold a map section of",
                       section_size, " values ****");
  textio::stop_run("REDFMP");
}

}  // namespace

void convert_map(int experiment_unit, int terminal_unit, const ConversionRequest& request,
                 int thread_count) {
  if (thread_count < 1) {
    throw std::invalid_argument("convert_map needs at least one thread, not " +
                                std::to_string(thread_count));
  }
  std::string map_type;
  int map_unit = 0;
  OPNFMP(experiment_unit, "OLD", map_type, map_unit);
  std::vector<float> work_buffer = allocate_work_buffer(read_map_header(map_unit).section_size);
  std::string title_line;
  MapBlock block;
  symmetry::OperatorSet operators;
  REDFMP(experiment_unit, map_unit, work_buffer, request.phase, title_line, block, operators);
  std::vector<float>().swap(work_buffer);

  int grid_unit = open_grid_file(request.grid_file);
  textio::write_list(terminal_unit, "Writing file: ",
                     textio::fit(textio::unit_file_name(grid_unit), kShownNameLength));
  write_grid_header(grid_unit, title_line, request.cell, block.grid_divisions);
  write_grid_values(grid_unit, block, operators, thread_count);
  textio::close_unit(grid_unit);
}

}  // namespace conversion
