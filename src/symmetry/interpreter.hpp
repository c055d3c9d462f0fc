// The space-group symbol interpreter: a Hermann-Mauguin symbol in, the symmetry operator set out.
#pragma once

#include <string_view>

#include "symmetry/errors.hpp"
#include "symmetry/matrices.hpp"
#include "symmetry/operator_set.hpp"

namespace symmetry {

// Interprets the symbol held in `set` (its first 20 characters) into the rest of `set`, and
// returns the number of the error reported (0 when there was none). On a unit above 0 the
// description and the list of operators are written to `description_unit` and a numbered error
// is reported on `error_unit`; 0 or less prints nothing. After an error the unique axis is 4 and
// the operator count keeps its previous value, except after a translation conflict, which is
// reported only once the set is complete. Operators that, with the centring vectors and the
// inversion, do not form a group are refused with kNotAGroup.
int interpret_symbol(OperatorSet& set, int description_unit, int error_unit);

// interpret_symbol for callers that keep the fields of the operator set apart, with a work area
// of their own for the working matrices; outputs that the interpretation does not reach keep
// their values.
void SYMINT(std::string_view symbol, int& laue_class, int& unique_axis, int& centric,
            int& lattice_type, int& operator_count, int& polar_axis, OperatorArray& operators,
            CentringVectors& centring, int& centring_count, int description_unit, int error_unit,
            WorkArea& work);

// The two-line report of a numbered error on `error_unit` (nothing for a unit of 0 or less).
void report_symbol_error(int error_unit, std::string_view symbol, int error);

}  // namespace symmetry
