// Third stage of reading a space-group symbol: each operator token of fields 2 to 4 gives one
// generator (or none), placed by the origin shifts of the classification.
#pragma once

#include <optional>

#include "symmetry/classification.hpp"
#include "symmetry/matrices.hpp"
#include "symmetry/tokens.hpp"

namespace symmetry {

// Everything make_generator reads about the symbol.
struct SymbolContext {
  const TokenGrid& grid;
  int lattice_type;
  const Classification& classification;
};

// What one operator token yields: a generator, the inversion, nothing, or an error.
struct GeneratorRule {
  std::optional<WorkingMatrix> generator;  // translations in twelfths, not yet reduced
  bool makes_centric = false;
  int error = 0;
};

GeneratorRule make_generator(const SymbolContext& symbol, int field, int position);

// Where the next operator token of a field stands: the token after a "/" at or after `from`.
// Position 0 means the field has no further operator.
struct NextOperator {
  int position = 0;
  int error = 0;  // kRotationConstruction: a letter before the "/"; kNothingAfterSlash
};

NextOperator next_operator_position(const TokenGrid& grid, int field, int from);

}  // namespace symmetry
