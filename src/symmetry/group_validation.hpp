// Last stage of reading a space-group symbol: whether what was built is a space group at all.
#pragma once

#include <span>

#include "symmetry/matrices.hpp"

namespace symmetry {

// True when the stored operators, each combined with every centring vector of the lattice and,
// for a centric set, with the inversion through the origin, form a group: every product of two
// of these elements, translations taken modulo whole cell edges, is again one of them, and no
// element appears twice. A symbol whose centring does not suit its rotations ("C 3": the
// three-fold turns (1/2, 1/2, 0) into a vector that is no lattice translation) fails here.
bool is_closed_group(std::span<const WorkingMatrix> operators, int lattice_type, bool centric);

}  // namespace symmetry
