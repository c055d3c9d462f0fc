// The description of a space group and the list of its equivalent positions.
#pragma once

#include <string_view>

#include "symmetry/operator_set.hpp"

namespace symmetry {

// Computes the polar-axis code: the directions along which the origin is arbitrary (1 x, 2 y,
// 4 z, 8 [111]; 0 for a centric group). When `description_unit` is above 0 it also writes the
// description of the group and its equivalent positions there.
void SYMLST(std::string_view symbol, const OperatorArray& operators, int laue_class,
            int unique_axis, int centric, int lattice_type, int operator_count, int centring_count,
            int description_unit, int& polar_axis);

}  // namespace symmetry
