#include "conversion/suite_routines.hpp"

#include <utility>

#include "conversion/conversion_run.hpp"
#include "conversion/map_file.hpp"
#include "conversion/map_reader.hpp"
#include "conversion/symmetry_loader.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

// The run of the experiment whose file is open on `experiment_unit`. The start-up always opens a
// name ending in ".EXP"; any other file names its experiment whole.
ConversionRun run_of(int experiment_unit) {
  const std::string file_name = textio::unit_file_name(experiment_unit);
  return {expfile::ExperimentPath::of_file(file_name).value_or(
              expfile::ExperimentPath::of_name(file_name)),
          experiment_unit, textio::kTerminal};
}

}  // namespace

void OPNFMP(int experiment_unit, const std::string& status, std::string& map_type, int& map_unit) {
  (void)status;
  const OpenedMap map = open_map_file(run_of(experiment_unit));
  map_type = map.type;
  map_unit = map.unit;
}

void REDFMP(int experiment_unit, int map_unit, std::vector<float>& work_buffer, int map_phase,
            std::string& title_line, MapBlock& block, symmetry::OperatorSet& operators) {
  (void)work_buffer;
  const ConversionRun run = run_of(experiment_unit);
  const symmetry::OperatorSet phase_operators = phase_symmetry(run, map_phase);
  LoadedMap map = read_map(run, map_unit);
  operators = map_symmetry(phase_operators, map.title.map_type);
  title_line = std::move(map.title_line);
  block = std::move(map.block);
}

}  // namespace conversion
