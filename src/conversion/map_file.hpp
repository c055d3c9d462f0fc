// The Fourier map file beside the experiment file: finding and opening it (OPNFMP), and reading
// it into the map block and the phase's symmetry with the report of what was read (REDFMP).
// OPNFMP and REDFMP keep the suite's forms; the conversion uses open_map_file and load_map,
// which take the experiment and the terminal from their caller and read each header once.
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/map_header.hpp"
#include "conversion/map_reader.hpp"
#include "expfile/experiment_path.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

// The experiment whose file is open on `experiment_unit`. The start-up always opens a name
// ending in ".EXP"; any other file names its experiment whole.
expfile::ExperimentPath experiment_path(int experiment_unit);

struct OpenedMap {
  std::string type;  // 4 characters
  int unit = 0;
};

// Finds the map files of `experiment`, whose experiment file is open on `experiment_unit`, asks
// for the type when more than one exists, and opens the chosen one, reporting on
// `terminal_unit`. No map file, or the answer "QUIT", stops the run.
OpenedMap open_map_file(const expfile::ExperimentPath& experiment, int experiment_unit,
                        int terminal_unit);

// open_map_file for the experiment open on `experiment_unit`, reporting on the terminal.
void OPNFMP(int experiment_unit, const std::string& status, std::string& map_type, int& map_unit);

// What the conversion needs of the map: the grid file's title line (66 characters), the map
// block and the phase's symmetry.
struct LoadedMap {
  std::string title_line;
  MapBlock block;
  symmetry::OperatorSet operators;
};

// Loads the phase's symmetry, reads the map open on `map_unit`, whose header record 2 the caller
// read as `header`, through `work_buffer` (at least one section of values), closes the map file
// and reports the map on `terminal_unit`.
LoadedMap load_map(int experiment_unit, int map_unit, const MapHeader& header, int map_phase,
                   std::vector<float>& work_buffer, int terminal_unit);

// load_map reading header record 2 itself and reporting on the terminal, with its results in
// `title_line`, `block` and `operators`.
void REDFMP(int experiment_unit, int map_unit, std::vector<float>& work_buffer, int map_phase,
            std::string& title_line, MapBlock& block, symmetry::OperatorSet& operators);

}  // namespace conversion
