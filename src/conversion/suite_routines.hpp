// The suite's own routines of the conversion, with the signatures its other programs call them
// by. Each is a thin adapter over the conversion's steps (map_file.hpp, symmetry_loader.hpp,
// map_reader.hpp) for an experiment whose file is open on a unit, reporting on the terminal; the
// conversion itself calls the steps.
//
// Threads: the main thread only.
#pragma once

#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

// Finds and opens the Fourier map file of the experiment whose file is open on
// `experiment_unit` (open_map_file). `status` is "OLD": only existing map files are opened.
void OPNFMP(int experiment_unit, const std::string& status, std::string& map_type, int& map_unit);

// Reads the map open on `map_unit` with the symmetry of phase `map_phase` (phase_symmetry,
// read_map, map_symmetry). The map is read through a section buffer of its own; `work_buffer`
// keeps its place in the signature only.
void REDFMP(int experiment_unit, int map_unit, std::vector<float>& work_buffer, int map_phase,
            std::string& title_line, MapBlock& block, symmetry::OperatorSet& operators);

}  // namespace conversion
