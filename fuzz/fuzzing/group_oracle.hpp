// Whether an operator set delivered by the symbol interpreter describes a space group: the
// stored operators, each combined with every centring vector and, when the set is centric, with
// the inversion as well, must be distinct and closed under composition.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "symmetry/operator_set.hpp"

namespace fuzzing {

// x' = R x + t / 12, translations reduced to 0..11.
struct Operation {
  std::array<std::array<int, 3>, 3> rotation{};
  std::array<int, 3> translation{};
  auto operator<=>(const Operation&) const = default;
};

// Every operation of the full group that the set stands for, in the order built.
std::vector<Operation> expand_operator_set(const symmetry::OperatorSet& set);

// An empty text when the operations are distinct and closed under composition, else what is
// wrong with them.
std::string group_defect(const std::vector<Operation>& operations);

}  // namespace fuzzing
