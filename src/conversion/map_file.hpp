// The Fourier map file beside the experiment file: finding and opening it (OPNFMP) and reading
// it into the map block and the phase's symmetry (REDFMP).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/map_header.hpp"
#include "expfile/experiment_path.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

inline constexpr int kValuesPerRecord = 8191;

// The experiment whose file is open on `experiment_unit`. The start-up always opens a name
// ending in ".EXP"; any other file names its experiment whole.
expfile::ExperimentPath experiment_path(int experiment_unit);

// Finds the map files of the experiment open on `experiment_unit`, asks for the type when more
// than one exists, and opens the chosen one; returns the 4-character type and the map unit.
void OPNFMP(int experiment_unit, const std::string& status, std::string& map_type, int& map_unit);

// Reads header record 2 of the open map file; a header that does not describe a block that the
// file holds stops the run.
MapHeader read_map_header(int map_unit);

// Loads the phase's symmetry into `operators`, reads the map on `map_unit` into `block` through
// `work_buffer` (at least one section of values), closes the map file and returns the title
// line of the grid file (66 characters).
void REDFMP(int experiment_unit, int map_unit, std::vector<float>& work_buffer, int map_phase,
            std::string& title_line, MapBlock& block, symmetry::OperatorSet& operators);

// The scale factor for maps whose largest magnitude is `largest`: 1, or a power of ten that
// brings the limits to two or three digits before the point.
float map_scale_factor(float largest);

}  // namespace conversion
