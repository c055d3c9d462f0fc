#include "symmetry/interpreter.hpp"

#include <span>

#include "symmetry/classification.hpp"
#include "symmetry/closure.hpp"
#include "symmetry/description.hpp"
#include "symmetry/generators.hpp"
#include "symmetry/group_validation.hpp"
#include "symmetry/tokens.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"

namespace symmetry {

void report_symbol_error(int error_unit, std::string_view symbol, int error) {
  if (!reports_to(error_unit)) return;
  textio::write_record(error_unit, "(1X,'****** Error processing symbol ',A/1X,A)",
                       textio::fit(symbol, kSymbolWidth), error_message(error));
}

namespace {

void set_centring_vectors(int lattice_type, CentringVectors& centring, int& centring_count) {
  const CentringTable table = centring_table(lattice_type);
  centring_count = table.count;
  for (int v = 0; v < kMaxCentringVectors; ++v) {
    for (int i = 0; i < 3; ++i) {
      centring[v][i] = v < table.count ? static_cast<float>(table.vectors[v][i]) / kTwelfths : 0.0F;
    }
  }
}

// Builds one field's generators and closes the group after each. Returns 0 or an error.
int read_operator_field(const SymbolContext& symbol, int field, GroupState& group, int error_unit) {
  const TokenGrid& grid = symbol.grid;
  if (grid.t(1, field) == kEmpty) return kNoFirstOperator;
  const ClosureContext context{field, symbol.lattice_type, symbol.classification.laue_class,
                               error_unit};
  for (int position = 1; position < 4 && grid.t(position, field) != kEmpty; ++position) {
    if (position > 1) {
      const NextOperator next = next_operator_position(grid, field, position);
      if (next.error != 0) return next.error;
      if (next.position == 0) break;
      position = next.position;
    }
    const GeneratorRule rule = make_generator(symbol, field, position);
    if (rule.error != 0) return rule.error;
    if (rule.makes_centric) group.centric = 1;
    if (!rule.generator) continue;
    if (const int error = add_generator(group, *rule.generator, context)) return error;
  }
  return 0;
}

int read_operator_fields(const SymbolContext& symbol, GroupState& group, int error_unit) {
  for (int field = 2; field <= symbol.grid.field_count; ++field) {
    if (const int error = read_operator_field(symbol, field, group, error_unit)) return error;
  }
  return 0;
}

// Interprets `set.symbol` into the rest of `set`; returns the number of the error reported, 0
// when there was none.
int interpret(OperatorSet& set, int description_unit, int error_unit, WorkArea& work) {
  const std::string_view symbol = set.symbol;
  set.centric = 0;
  set.laue_class = 0;
  set.unique_axis = 0;
  auto fail = [&](int error) {
    report_symbol_error(error_unit, symbol, error);
    set.unique_axis = kUniqueAxisAfterError;
    return error;
  };

  // Tokens.
  TokenisedSymbol tokens = tokenise(symbol);
  if (tokens.lattice_type != 0) set.lattice_type = tokens.lattice_type;
  if (tokens.error != 0) return fail(tokens.error);

  // Classification.
  const Classification classification = set.lattice_type == kLatticeR
                                            ? classify_rhombohedral(tokens.grid, set.lattice_type)
                                            : classify(tokens.grid, set.lattice_type);
  set.laue_class = classification.laue_class;
  set.unique_axis = classification.unique_axis;
  if (classification.error != 0) return fail(classification.error);
  set_centring_vectors(set.lattice_type, set.centring, set.centring_count);

  // Generators and closure.
  GroupState group{work};
  start_group(group, classification.rhombohedral_cubic);
  const SymbolContext context{tokens.grid, set.lattice_type, classification};
  const int error = read_operator_fields(context, group, error_unit);
  set.centric = group.centric;
  if (error != 0) return fail(error);
  const std::span<const WorkingMatrix> stored(group.matrices.data(), group.count);
  if (!is_closed_group(stored, set.lattice_type, set.centric == 1)) return fail(kNotAGroup);
  complete_operator_set(group, set.operators, set.operator_count);

  SYMLST(symbol, set.operators, set.laue_class, set.unique_axis, set.centric, set.lattice_type,
         set.operator_count, set.centring_count, description_unit, set.polar_axis);
  if (set.lattice_type == kLatticeR) set.unique_axis = kRhombohedralUniqueAxis;
  if (group.deferred_error != 0) return fail(group.deferred_error);
  return 0;
}

}  // namespace

int interpret_symbol(OperatorSet& set, int description_unit, int error_unit) {
  WorkArea work;
  return interpret(set, description_unit, error_unit, work);
}

void SYMINT(std::string_view symbol, int& laue_class, int& unique_axis, int& centric,
            int& lattice_type, int& operator_count, int& polar_axis, OperatorArray& operators,
            CentringVectors& centring, int& centring_count, int description_unit, int error_unit,
            WorkArea& work) {
  // Every output goes in as well: what the interpretation does not reach keeps its value.
  OperatorSet set{.symbol = std::string(symbol),
                  .centric = centric,
                  .operator_count = operator_count,
                  .lattice_type = lattice_type,
                  .centring_count = centring_count,
                  .laue_class = laue_class,
                  .polar_axis = polar_axis,
                  .unique_axis = unique_axis,
                  .operators = operators,
                  .centring = centring};
  interpret(set, description_unit, error_unit, work);
  centric = set.centric;
  operator_count = set.operator_count;
  lattice_type = set.lattice_type;
  centring_count = set.centring_count;
  laue_class = set.laue_class;
  polar_axis = set.polar_axis;
  unique_axis = set.unique_axis;
  operators = set.operators;
  centring = set.centring;
}

}  // namespace symmetry
