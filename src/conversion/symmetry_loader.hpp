// The symmetry of the map's phase, from its space-group symbol in the experiment file.
#pragma once

#include "symmetry/operator_set.hpp"

namespace conversion {

// Reads the phase's "SG SYM" record and interprets the symbol into `operators`. A missing
// record or a symbol that cannot be interpreted stops the run; a translation conflict is
// reported as a warning and the completed operator set is used.
void load_phase_symmetry(int experiment_unit, int map_phase, symmetry::OperatorSet& operators);

}  // namespace conversion
