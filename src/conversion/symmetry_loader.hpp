// The symmetry the map is sampled with: the phase's space group from its symbol in the
// experiment file, made the Patterson group's for a Patterson map.
//
// Threads: the main thread only.
#pragma once

#include <string_view>

#include "conversion/conversion_run.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

// Reads the phase's "SG SYM" record and interprets the symbol. A missing record or a symbol that
// cannot be interpreted stops the run; a translation conflict is reported on the run's terminal
// as a warning and the completed operator set is used.
symmetry::OperatorSet phase_symmetry(const ConversionRun& run, int phase);

// The symmetry of a map of `map_type` of a phase with `operators`: a Patterson map's (PTSN,
// DPTS) is centric and has no translations.
symmetry::OperatorSet map_symmetry(symmetry::OperatorSet operators, std::string_view map_type);

}  // namespace conversion
