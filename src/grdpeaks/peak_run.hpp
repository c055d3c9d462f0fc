// One run of grdpeaks: the grid file read, its group found, the map analysed, the lists written.
#pragma once

#include <string>

#include "grdpeaks/options.hpp"
#include "grdpeaks/report.hpp"

namespace grdpeaks {

// The report on the map that `options` names. Throws std::runtime_error naming the file and the
// problem for a grid file or an experiment file that cannot be used, or a group that cannot be
// interpreted.
MapReport analyse(const Options& options);

// Writes the --csv and --json files (all of them or none) and returns the text for standard
// output: the table, or the list that is to go there ("-"). Throws std::runtime_error.
std::string write_outputs(const Options& options, const MapReport& report);

}  // namespace grdpeaks
