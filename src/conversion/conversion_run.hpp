// The experiment being converted, as the start-up opened it. The driver makes it once; every step
// of the conversion takes it instead of rebuilding the experiment's path or picking a unit of its
// own to report on.
#pragma once

#include "expfile/experiment_path.hpp"

namespace conversion {

struct ConversionRun {
  expfile::ExperimentPath experiment;  // its map files and its grid file lie beside its file
  int experiment_unit = 0;             // the experiment file, open for the run
  int terminal_unit = 0;               // where every report of the conversion goes
};

}  // namespace conversion
