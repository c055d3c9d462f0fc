#include "analysis/space_group.hpp"

#include <algorithm>
#include <cmath>
#include <gemmi/symmetry.hpp>
#include <stdexcept>

#include "symmetry/interpreter.hpp"

namespace analysis {

namespace {

Operation identity() {
  Operation op;
  for (std::size_t i = 0; i < 3; ++i) op.rotation[i][i] = 1;
  return op;
}

int twelfths_of(float fraction) {
  return symmetry::modulo_cell(static_cast<int>(std::lround(fraction * symmetry::kTwelfths)));
}

void add_unique(std::vector<Operation>& operations, const Operation& op) {
  const auto same = [&](const Operation& other) {
    return other.rotation == op.rotation && other.translation == op.translation;
  };
  if (std::none_of(operations.begin(), operations.end(), same)) operations.push_back(op);
}

// gemmi's operations count translations in 24ths.
gemmi::Op gemmi_op_of(const Operation& op) {
  gemmi::Op result;
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) result.rot[i][j] = op.rotation[i][j] * gemmi::Op::DEN;
    result.tran[i] = op.translation[i] * (gemmi::Op::DEN / symmetry::kTwelfths);
  }
  return result;
}

void identify(SpaceGroup& group) {
  gemmi::GroupOps ops;
  for (const Operation& op : group.operations) ops.sym_ops.push_back(gemmi_op_of(op));
  const gemmi::SpaceGroup* found = nullptr;
  try {
    ops = gemmi::split_centering_vectors(ops.sym_ops);
    found = gemmi::find_spacegroup_by_ops(ops);
  } catch (const std::exception&) {
    found = nullptr;
  }
  if (found == nullptr) {
    group.number = 0;
    group.standard_name.clear();
    group.table_name.clear();
    return;
  }
  group.number = found->number;
  group.standard_name = found->hm;
  group.table_name = found->xhm();
  group.two_origins = found->ext == '2';
}

}  // namespace

std::array<double, 3> Operation::apply(const std::array<double, 3>& x) const {
  std::array<double, 3> y{};
  for (std::size_t i = 0; i < 3; ++i) {
    y[i] = translation[i] / double(symmetry::kTwelfths);
    for (std::size_t j = 0; j < 3; ++j) y[i] += rotation[i][j] * x[j];
  }
  return y;
}

SpaceGroup triclinic_group() {
  SpaceGroup group;
  group.operations = {identity()};
  return group;
}

SpaceGroup group_of(const symmetry::OperatorSet& operators) {
  SpaceGroup group;
  const std::size_t end = operators.symbol.find_last_not_of(' ');
  group.symbol = end == std::string::npos ? "" : operators.symbol.substr(0, end + 1);
  group.operations = {identity()};
  const int centrings = std::max(operators.centring_count, 1);
  for (int c = 0; c < centrings; ++c) {
    for (int k = 0; k < operators.operator_count; ++k) {
      const symmetry::SymmetryOperator& stored = operators.operators[std::size_t(k)];
      for (int sign : {1, -1}) {
        if (sign < 0 && operators.centric != 1) continue;
        Operation op;
        for (std::size_t i = 0; i < 3; ++i) {
          for (std::size_t j = 0; j < 3; ++j) op.rotation[i][j] = sign * stored.rotation[i][j];
          op.translation[i] = symmetry::modulo_cell(
              sign * stored.translation[i] + twelfths_of(operators.centring[std::size_t(c)][i]));
        }
        add_unique(group.operations, op);
      }
    }
  }
  identify(group);
  return group;
}

std::optional<SpaceGroup> group_of_symbol(std::string_view symbol, std::string_view map_type) {
  symmetry::OperatorSet operators;
  operators.symbol = std::string(symbol.substr(0, symmetry::kSymbolWidth));
  operators.symbol.resize(symmetry::kSymbolWidth, ' ');
  const int error = symmetry::interpret_symbol(operators, symmetry::kSilent, symmetry::kSilent);
  if (error != 0 && error != symmetry::kTranslationConflict) return std::nullopt;
  return group_of(map_symmetry(operators, map_type));
}

SpaceGroup group_for_map(const std::string& symbol, std::string_view map_type,
                         const std::string& where) {
  std::optional<SpaceGroup> group = group_of_symbol(symbol, map_type);
  if (!group) {
    throw std::runtime_error(where + ": the space-group symbol \"" + symbol +
                             "\" cannot be interpreted");
  }
  return *group;
}

symmetry::OperatorSet map_symmetry(symmetry::OperatorSet operators, std::string_view map_type) {
  if (map_type != "PTSN" && map_type != "DPTS") return operators;
  operators.centric = 1;
  for (int k = 0; k < operators.operator_count; ++k) {
    operators.operators[std::size_t(k)].translation = {0, 0, 0};
  }
  return operators;
}

bool grid_carries_group(const SpaceGroup& group, const std::array<int, 3>& divisions) {
  for (const Operation& op : group.operations) {
    for (std::size_t i = 0; i < 3; ++i) {
      // Row i takes grid step 1/N_j along j to R(i, j) / N_j along i: a whole number of steps
      // 1/N_i only when N_i R(i, j) is a multiple of N_j.
      for (std::size_t j = 0; j < 3; ++j) {
        if ((divisions[i] * op.rotation[i][j]) % divisions[j] != 0) return false;
      }
      if ((divisions[i] * op.translation[i]) % symmetry::kTwelfths != 0) return false;
    }
  }
  return true;
}

bool is_difference_map(std::string_view map_type) {
  return map_type == "DELF" || map_type == "DPTS";
}

}  // namespace analysis
