// The Fourier map file beside the experiment file: finding the map files of the experiment,
// asking for the type when several exist, and opening the chosen one.
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_run.hpp"

namespace conversion {

struct OpenedMap {
  std::string type;  // 4 characters
  int unit = 0;
};

// The experiment whose map file `name` names ("runs/ALPHA" for "runs/ALPHA.FOB", the extension
// in any case), or nothing when `name` does not end in a map file's extension.
std::optional<std::string> experiment_of_map_file(std::string_view name);

// Finds the map files of the run's experiment, asks for the type when more than one exists, and
// opens the chosen one, reporting on the run's terminal. No map file, or the answer "QUIT",
// stops the run.
OpenedMap open_map_file(const ConversionRun& run);

// The map files of `experiment` that are there, in the order of the map-type question.
std::vector<std::string> existing_map_files(const expfile::ExperimentPath& experiment);

}  // namespace conversion
