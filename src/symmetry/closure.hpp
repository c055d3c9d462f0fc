// Fourth stage of reading a space-group symbol: each generator joins the group, which is closed
// under multiplication; equal rotations with clashing translations are reported. The inversion
// and the centring translations are kept out of the stored set.
#pragma once

#include "symmetry/errors.hpp"
#include "symmetry/matrices.hpp"
#include "symmetry/operator_set.hpp"

namespace symmetry {

// The group being built: the working matrices found so far and what the closure has learned.
struct GroupState {
  WorkArea& matrices;
  int count = 0;  // stored matrices; matrix 1 is the identity
  int centric = 0;
  int deferred_error = 0;  // kTranslationConflict after a translation conflict
};

// What the translation check needs to know besides the two matrices.
struct ClosureContext {
  int field = 0;  // the operator field being read
  int lattice_type = 0;
  int laue_class = 0;
  int error_unit = kSilent;
};

// Stores the identity and, for cubic and rhombohedral groups, the three-fold along [111].
void start_group(GroupState& group, bool rhombohedral_cubic);

// Adds a generator (translations in twelfths, any sign) and closes the group. Returns 0, or
// kGeneratorOverflow (the generator would be the 25th matrix) or kProductOverflow (a product
// would be).
int add_generator(GroupState& group, const WorkingMatrix& generator, const ClosureContext& context);

// The operation flag of a rotation, -1 for a rotation outside the table.
int operation_flag(int rotation_code);

// Copies the working matrices into the operator set. An unknown rotation gets flag -1 and a
// line on the terminal.
void complete_operator_set(const GroupState& group, OperatorArray& operators, int& operator_count);

}  // namespace symmetry
