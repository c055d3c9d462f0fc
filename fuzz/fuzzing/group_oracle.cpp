#include "fuzzing/group_oracle.hpp"

#include <cmath>
#include <set>

namespace fuzzing {

namespace {

constexpr int kTwelfths = 12;

int reduced(int twelfths) {
  return ((twelfths % kTwelfths) + kTwelfths) % kTwelfths;
}

Operation compose(const Operation& a, const Operation& b) {
  Operation c;
  for (int i = 0; i < 3; ++i) {
    int t = a.translation[i];
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) c.rotation[i][j] += a.rotation[i][k] * b.rotation[k][j];
      t += a.rotation[i][j] * b.translation[j];
    }
    c.translation[i] = reduced(t);
  }
  return c;
}

std::string text_of(const Operation& op) {
  std::string text;
  for (int i = 0; i < 3; ++i) {
    text += i == 0 ? "(" : "; ";
    for (int j = 0; j < 3; ++j) text += std::to_string(op.rotation[i][j]) + " ";
    text += "| " + std::to_string(op.translation[i]) + "/12";
  }
  return text + ")";
}

}  // namespace

std::vector<Operation> expand_operator_set(const symmetry::OperatorSet& set) {
  std::vector<Operation> operations;
  const int sign_count = set.centric != 0 ? 2 : 1;
  for (int v = 0; v < set.centring_count && v < symmetry::kMaxCentringVectors; ++v) {
    std::array<int, 3> centring{};
    for (int i = 0; i < 3; ++i) {
      centring[i] = static_cast<int>(std::lround(set.centring[v][i] * kTwelfths));
    }
    for (int sign = 0; sign < sign_count; ++sign) {
      const int factor = sign == 0 ? 1 : -1;
      for (int k = 0; k < set.operator_count && k < symmetry::kMaxOperators; ++k) {
        Operation op;
        for (int i = 0; i < 3; ++i) {
          for (int j = 0; j < 3; ++j) op.rotation[i][j] = factor * set.operators[k].rotation[i][j];
          op.translation[i] = reduced(factor * set.operators[k].translation[i] + centring[i]);
        }
        operations.push_back(op);
      }
    }
  }
  return operations;
}

std::string group_defect(const std::vector<Operation>& operations) {
  const std::set<Operation> members(operations.begin(), operations.end());
  if (members.size() != operations.size()) return "an operation occurs twice";
  for (const Operation& a : operations) {
    for (const Operation& b : operations) {
      const Operation product = compose(a, b);
      if (!members.contains(product)) {
        return "the product of " + text_of(a) + " and " + text_of(b) + " is not in the set";
      }
    }
  }
  return {};
}

}  // namespace fuzzing
