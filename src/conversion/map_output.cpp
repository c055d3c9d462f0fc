#include "conversion/map_output.hpp"

#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "gridfile/grid_reader.hpp"
#include "startup/failure_cause.hpp"
#include "symmetry/operator_set.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

// The phase's space-group symbol as the experiment file holds it, trailing blanks removed.
std::string space_group_symbol(const ConversionRun& run, int phase) {
  std::string value(expfile::kValueLength, ' ');
  expfile::KEYREAD(run.experiment_unit,
                   expfile::CRSKEY(phase) + std::string(expfile::kSpaceGroupItem), value);
  return std::string(expfile::without_trailing_padding(value.substr(0, symmetry::kSymbolWidth)));
}

}  // namespace

MapOutput::MapOutput(const ConversionRun& run, const ConversionRequest& request,
                     const LoadedMap& map, gridfile::MapValues& memory)
    : run_(run), file_bytes_(memory) {
  const GridFile& grid = request.grid;
  const std::string name = ccp4::map_file_beside(grid.name);
  // The cell as the grid file's text gives it back, which is what grd2ccp4 reads.
  gridfile::GridFile header;
  const std::string problem = gridfile::read_cell_line(
      textio::write_text(kCellLineWidth, kCellLineFormat, grid.cell.lengths, grid.cell.angles),
      header);
  if (!problem.empty()) stop(name + ": cannot write the map: " + problem);
  if (map.title_line.find('\n') != std::string::npos) {
    stop(name + ": cannot write the map: the title line holds a line end");
  }
  const Triple& n = map.block.grid_divisions;
  description_ = {{n[0], n[1], n[2]}, header.lengths, header.angles, map.title_line, nullptr};
  group_ = ccp4::header_group_of_symbol(space_group_symbol(run, request.phase),
                                        gridfile::map_type_of(map.title_line),
                                        run.experiment.experiment_file());
  description_.group = group_.entry;
  try {
    file_.emplace(name);
  } catch (const std::runtime_error& failure) {
    stop(failure.what());
  }
  // The header's size depends on the group alone; the values follow it in the same memory.
  header_size_ = ccp4::header_bytes(description_, {}).size();
  gatherer_.emplace(description_.divisions, file_bytes_, header_size_ / sizeof(float));
}

void MapOutput::take(const float* values, std::size_t count) {
  gatherer_->append(values, count);
}

void MapOutput::write() {
  gatherer_->place_gathered();
  statistics_ = gatherer_->statistics();
  gatherer_.reset();
  const std::string header = ccp4::header_bytes(description_, statistics_);
  std::memcpy(file_bytes_.data(), header.data(), header_size_);
  try {
    file_->write_whole(std::as_bytes(std::span(file_bytes_)));
  } catch (const std::runtime_error& failure) {
    stop(failure.what());
  }
}

void MapOutput::commit() {
  try {
    file_->commit();
  } catch (const std::runtime_error& failure) {
    stop(failure.what());
  }
}

void MapOutput::report() const {
  const std::string program = textio::program_name() + ": ";
  if (!group_.note.empty()) {
    textio::write_record(textio::kErrorOutput, "(A)", program + group_.note);
  }
  textio::write_record(textio::kErrorOutput, "(A)",
                       program + ccp4::report_line(file_->name(), description_.divisions,
                                                   statistics_, group_.words));
}

// The map is the run's result as much as the grid file: a run without it stops, saying why on
// the terminal and on standard error.
void MapOutput::stop(const std::string& problem) const {
  textio::write_record(run_.terminal_unit, "(A)", " **** " + problem + " ****");
  startup::write_failure_cause(problem);
  textio::stop_run("");
}

}  // namespace conversion
