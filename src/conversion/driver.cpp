#include "conversion/driver.hpp"

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversion/grid_file.hpp"
#include "conversion/map_block.hpp"
#include "conversion/map_file.hpp"
#include "conversion/map_sampler.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "startup/banner.hpp"
#include "startup/experiment_opening.hpp"
#include "symmetry/operator_set.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr std::size_t kNameLength = 68;
constexpr std::size_t kShownNameLength = 50;

std::string experiment_value(int unit, const std::string& key) {
  std::string value(expfile::kValueLength, ' ');
  expfile::KEYREAD(unit, key, value);
  return value;
}

// The map phase from "  FOUR CDAT1"; 0 when no map has been computed.
int map_phase(int experiment_unit) {
  int phase = 0;
  textio::read_text(experiment_value(experiment_unit, "  FOUR CDAT1"), "(11X,I2)", phase);
  return phase;
}

std::array<float, 3> phase_triple(int experiment_unit, const std::string& key) {
  std::array<float, 3> values{};
  textio::read_text(experiment_value(experiment_unit, key), "(3F10.0)", values);
  return values;
}

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

void MAPCONV() {
  int experiment_unit = 0, listing_unit = 0, terminal_unit = 0;
  startup::STRTRN("MAPCONV", "SHARED", "TERM", experiment_unit, listing_unit, terminal_unit);
  startup::BANNER(listing_unit, "MAPCONV", "Fourier map to grid convertion program");

  std::string experiment_name = textio::fit(textio::unit_file_name(experiment_unit), kNameLength);
  std::string stem(textio::trim_right(experiment_name.substr(0, experiment_name.find(".EXP"))));

  int phase = map_phase(experiment_unit);
  if (phase == 0) {
    textio::write_list(terminal_unit, "No Fourier Phase was found. Has a Map been computed?");
    textio::stop_run("no map");
  }
  std::string prefix = textio::write_text(12, "(A,I1,A)", "CRS", phase, " ").substr(0, 6);
  Cell cell;
  cell.lengths = phase_triple(experiment_unit, prefix + "ABC   ");
  cell.angles = phase_triple(experiment_unit, prefix + "ANGLES");

  std::string map_type;
  int map_unit = 0;
  OPNFMP(experiment_unit, "OLD", map_type, map_unit);
  std::vector<float> work_buffer = allocate_work_buffer(read_map_header(map_unit).section_size);
  std::string title_line;
  MapBlock block;
  symmetry::OperatorSet operators;
  REDFMP(experiment_unit, map_unit, work_buffer, phase, title_line, block, operators);
  std::vector<float>().swap(work_buffer);

  int grid_unit = open_grid_file(stem + ".grd");
  textio::write_list(terminal_unit, "Writing file: ",
                     textio::fit(textio::unit_file_name(grid_unit), kShownNameLength));
  write_grid_header(grid_unit, title_line, cell, block.grid_divisions);
  MapSampler sampler(block, operators);
  write_grid_values(grid_unit, block.grid_divisions, sampler);
  textio::close_unit(grid_unit);
  textio::stop_run("", textio::kExitCompleted);
}

}  // namespace conversion
