#include "conversion/driver.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "conversion/map_file.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "os/os.hpp"
#include "startup/banner.hpp"
#include "startup/console_input.hpp"
#include "startup/experiment_opening.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"

namespace conversion {

namespace {

std::string experiment_value(int unit, const std::string& key) {
  std::string value(expfile::kValueLength, ' ');
  expfile::KEYREAD(unit, key, value);
  return value;
}

// The map phase from the Fourier control record; 0 when no map has been computed.
int map_phase(int experiment_unit) {
  int phase = 0;
  textio::read_text(experiment_value(experiment_unit, std::string(expfile::kFourierControlKey)),
                    "(11X,I2)", phase);
  return phase;
}

std::array<float, 3> phase_triple(int experiment_unit, const std::string& key) {
  std::array<float, 3> values{};
  textio::read_text(experiment_value(experiment_unit, key), "(3F10.0)", values);
  return values;
}

constexpr int kMostThreads = 16;
constexpr int kMostDefaultThreads = 4;

}  // namespace

ThreadCount conversion_threads() {
  if (const std::optional<std::string> setting = os::environment_variable("MAPCONV_THREADS")) {
    const char* text = setting->c_str();
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(text, &end, 10);
    if (errno == 0 && end != text && *end == '\0' && count >= 1) {
      return {static_cast<int>(std::min<long>(count, kMostThreads)), false};
    }
  }
  const int processors = static_cast<int>(std::thread::hardware_concurrency());
  return {std::clamp(processors, 1, kMostDefaultThreads), true};
}

ConversionRequest conversion_request(const ConversionRun& run) {
  ConversionRequest request;
  request.phase = map_phase(run.experiment_unit);
  if (request.phase == 0) {
    textio::write_list(run.terminal_unit, "No Fourier Phase was found. Has a Map been computed?");
    textio::stop_run("no map");
  }
  const std::string prefix = expfile::CRSKEY(request.phase);
  request.grid.cell.lengths =
      phase_triple(run.experiment_unit, prefix + std::string(expfile::kCellLengthsItem));
  request.grid.cell.angles =
      phase_triple(run.experiment_unit, prefix + std::string(expfile::kCellAnglesItem));
  request.grid.name = run.experiment.grid_file();
  return request;
}

namespace {

// The terminal lines must not go into the grid file or a map file either (mapconv ALPHA
// >>ALPHA.grd): the run ends before the opening of the experiment writes its first line.
void refuse_streams_onto_run_files(const expfile::ExperimentPath& experiment) {
  startup::refuse_streams_onto(experiment.grid_file(), "the grid file");
  for (const std::string& map_file : existing_map_files(experiment)) {
    startup::refuse_streams_onto(map_file, "a map file");
  }
}

}  // namespace

void MAPCONV(bool ccp4_map) {
  // A script names its answers after the experiment, as a user types them ahead on one line.
  startup::type_ahead_arguments(2);
  int experiment_unit = 0, listing_unit = 0, terminal_unit = 0;
  const startup::ExperimentName experiment =
      startup::start_experiment("MAPCONV", "SHARED", "TERM", experiment_unit, listing_unit,
                                terminal_unit, refuse_streams_onto_run_files);
  startup::BANNER(listing_unit, "MAPCONV", "Fourier map to grid convertion program");
  const ConversionRun run{experiment.path, experiment_unit, terminal_unit};
  // Returning is the run's normal end: the entry closes the units and exits with
  // kExitCompleted, without the cost of unwinding a stop.
  ConversionRequest request = conversion_request(run);
  request.ccp4_map = ccp4_map;
  convert_map(run, request, conversion_threads());
}

}  // namespace conversion
