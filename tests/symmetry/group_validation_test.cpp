// The group check on hand-made operator sets: closure under products, with the centring vectors
// and the inversion, and no element twice.
#include "symmetry/group_validation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symmetry_test_support.hpp"

namespace {

struct GroupCase {
  std::string name;
  std::vector<std::string> operators;
  int lattice_type;
  bool centric;
  bool closed;
};

void PrintTo(const GroupCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<symmetry::WorkingMatrix> working_matrices(const std::vector<std::string>& triplets) {
  std::vector<symmetry::WorkingMatrix> matrices;
  for (const std::string& triplet : triplets) {
    const symmetry_test::Op o = symmetry_test::op(triplet);
    matrices.push_back({o.rotation, o.translation, 0, 0});
  }
  return matrices;
}

class GroupCheck : public testing::TestWithParam<GroupCase> {};

TEST_P(GroupCheck, AcceptsExactlyTheClosedSets) {
  const GroupCase& c = GetParam();
  EXPECT_EQ(symmetry::is_closed_group(working_matrices(c.operators), c.lattice_type, c.centric),
            c.closed);
}

using symmetry::kLatticeC;
using symmetry::kLatticeI;
using symmetry::kLatticeP;
using symmetry::kLatticeR;

INSTANTIATE_TEST_SUITE_P(
    HandMadeSets, GroupCheck,
    testing::Values(
        GroupCase{"Identity", {"x,y,z"}, kLatticeP, false, true},
        GroupCase{"ScrewSquaresToACellEdge", {"x,y,z", "-x,-y,z+1/2"}, kLatticeP, false, true},
        GroupCase{"QuarterScrewMissesItsSquare", {"x,y,z", "-x,-y,z+1/4"}, kLatticeP, false, false},
        GroupCase{"FourFoldWithoutTwoFold", {"x,y,z", "-y,x,z"}, kLatticeP, false, false},
        GroupCase{"ThreeFold", {"x,y,z", "-y,x-y,z", "-x+y,-x,z"}, kLatticeP, false, true},
        GroupCase{"ThreeFoldOnC", {"x,y,z", "-y,x-y,z", "-x+y,-x,z"}, kLatticeC, false, false},
        GroupCase{"ThreeFoldOnR", {"x,y,z", "-y,x-y,z", "-x+y,-x,z"}, kLatticeR, false, true},
        GroupCase{"TwoFoldAlongCOnR", {"x,y,z", "-x,-y,z"}, kLatticeR, false, false},
        GroupCase{"CentricTwoFoldOnI", {"x,y,z", "-x,-y,z"}, kLatticeI, true, true},
        GroupCase{"InversionStoredAndCentric", {"x,y,z", "-x,-y,-z"}, kLatticeP, true, false},
        GroupCase{"IdentityTwice", {"x,y,z", "x,y,z"}, kLatticeP, false, false}),
    [](const testing::TestParamInfo<GroupCase>& info) { return info.param.name; });

}  // namespace
