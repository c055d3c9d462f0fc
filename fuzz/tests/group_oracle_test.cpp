// The group check on operator sets written by hand.
#include "fuzzing/group_oracle.hpp"

#include <gtest/gtest.h>

namespace fuzzing {
namespace {

using Rotation = std::array<std::array<int, 3>, 3>;

constexpr Rotation kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
constexpr Rotation kTwoFoldB = {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
constexpr Rotation kFourFoldC = {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};

symmetry::OperatorSet set_of(const std::vector<std::pair<Rotation, std::array<int, 3>>>& ops,
                             int centric, const std::vector<std::array<float, 3>>& centring) {
  symmetry::OperatorSet set;
  set.operator_count = static_cast<int>(ops.size());
  for (std::size_t k = 0; k < ops.size(); ++k) {
    set.operators[k].rotation = ops[k].first;
    set.operators[k].translation = ops[k].second;
  }
  set.centric = centric;
  set.centring_count = static_cast<int>(centring.size());
  for (std::size_t v = 0; v < centring.size(); ++v) set.centring[v] = centring[v];
  return set;
}

TEST(GroupCheck, AcceptsCentredAndCentricGroups) {
  // P 21/c: x,y,z and -x,y+1/2,-z+1/2 with the inversion: four operations.
  const auto p21c = set_of({{kIdentity, {0, 0, 0}}, {kTwoFoldB, {0, 6, 6}}}, 1, {{0, 0, 0}});
  const std::vector<Operation> operations = expand_operator_set(p21c);
  ASSERT_EQ(operations.size(), 4u);
  EXPECT_EQ(operations[3].translation, (std::array<int, 3>{0, 6, 6}));  // -(0, 6, 6) mod 12
  EXPECT_EQ(group_defect(operations), "");
  // C 2: the centring (1/2, 1/2, 0) doubles the two operations.
  const auto c2 =
      set_of({{kIdentity, {0, 0, 0}}, {kTwoFoldB, {0, 0, 0}}}, 0, {{0, 0, 0}, {0.5f, 0.5f, 0}});
  EXPECT_EQ(expand_operator_set(c2).size(), 4u);
  EXPECT_EQ(group_defect(expand_operator_set(c2)), "");
}

TEST(GroupCheck, FindsMissingProductsAndRepeats) {
  // A four-fold axis without its square is no group.
  const auto four = set_of({{kIdentity, {0, 0, 0}}, {kFourFoldC, {0, 0, 0}}}, 0, {{0, 0, 0}});
  EXPECT_NE(group_defect(expand_operator_set(four)).find("is not in the set"), std::string::npos);
  // A translation of 1/3 along z without the 2/3 is no group either.
  const auto screw = set_of({{kIdentity, {0, 0, 0}}, {kIdentity, {0, 0, 4}}}, 0, {{0, 0, 0}});
  EXPECT_NE(group_defect(expand_operator_set(screw)), "");
  // A centric set that already holds the inversion holds it twice.
  const Rotation inversion = {{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
  const auto twice = set_of({{kIdentity, {0, 0, 0}}, {inversion, {0, 0, 0}}}, 1, {{0, 0, 0}});
  EXPECT_EQ(group_defect(expand_operator_set(twice)), "an operation occurs twice");
}

}  // namespace
}  // namespace fuzzing
