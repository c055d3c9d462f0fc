// The operator sets of symbols whose reading exercises the tokeniser, the classification and
// the generator rules; every expected operator was worked out by hand.
#include "symmetry/interpreter.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symmetry_test_support.hpp"

namespace {

using symmetry_test::interpret;
using symmetry_test::op;
using symmetry_test::Op;

struct SymbolCase {
  std::string symbol;
  int laue_class;
  int unique_axis;
  int centric;
  int lattice_type;
  int centring_count;
  int operator_count;
  std::vector<std::string> first_operators;  // in the order the closure finds them
};

void PrintTo(const SymbolCase& c, std::ostream* os) {
  *os << '"' << c.symbol << '"';
}

class InterpretedSymbol : public testing::TestWithParam<SymbolCase> {};

TEST_P(InterpretedSymbol, GivesTheOperatorSet) {
  const SymbolCase& c = GetParam();
  const symmetry::OperatorSet set = interpret(c.symbol);
  EXPECT_EQ(set.laue_class, c.laue_class);
  EXPECT_EQ(set.unique_axis, c.unique_axis);
  EXPECT_EQ(set.centric, c.centric);
  EXPECT_EQ(set.lattice_type, c.lattice_type);
  EXPECT_EQ(set.centring_count, c.centring_count);
  ASSERT_EQ(set.operator_count, c.operator_count);
  for (std::size_t k = 0; k < c.first_operators.size(); ++k) {
    EXPECT_EQ(symmetry_test::stored(set.operators[k]), op(c.first_operators[k]))
        << "operator " << k + 1 << " should be " << c.first_operators[k];
  }
}

const std::vector<std::string> kP21c = {"x,y,z", "-x,y+1/2,-z+1/2"};

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, InterpretedSymbol,
    testing::Values(
        SymbolCase{"P 21/c", 2, 2, 1, 1, 1, 2, kP21c}, SymbolCase{"P21/c", 2, 2, 1, 1, 1, 2, kP21c},
        SymbolCase{"p 21/c", 2, 2, 1, 1, 1, 2, kP21c},
        SymbolCase{"  P\t21/C  ", 2, 2, 1, 1, 1, 2, kP21c},
        SymbolCase{"P 1 21/c 1", 2, 2, 1, 1, 1, 2, kP21c},
        SymbolCase{"P 1 1 21/b", 2, 3, 1, 1, 1, 2, {"x,y,z", "-x,-y+1/2,z+1/2"}},
        SymbolCase{"P 1", 1, 0, 0, 1, 1, 1, {"x,y,z"}},
        SymbolCase{"P -1", 1, 0, 1, 1, 1, 1, {"x,y,z"}},
        SymbolCase{"P n m a",
                   3,
                   0,
                   1,
                   1,
                   1,
                   4,
                   {"x,y,z", "-x+1/2,y+1/2,z+1/2", "x,-y+1/2,z", "-x+1/2,-y,z+1/2"}},
        SymbolCase{"P 21 21 21",
                   3,
                   0,
                   0,
                   1,
                   1,
                   4,
                   {"x,y,z", "x+1/2,-y+1/2,-z", "-x,y+1/2,-z+1/2", "-x+1/2,-y,z+1/2"}},
        // A fifth field is never begun: the symbol reads as P 2 2 2.
        SymbolCase{"P 2 2 2 2", 3, 0, 0, 1, 1, 4, {"x,y,z", "x,-y,-z", "-x,y,-z", "-x,-y,z"}},
        SymbolCase{"P 43 21 2",
                   5,
                   0,
                   0,
                   1,
                   1,
                   8,
                   {"x,y,z", "-y+1/2,x+1/2,z+3/4", "-x,-y,z+1/2", "y+1/2,-x+1/2,z+1/4",
                    "-x+1/2,y+1/2,-z+3/4", "-y,-x,-z+1/2", "x+1/2,-y+1/2,-z+1/4", "y,x,-z"}},
        SymbolCase{"I 41/a",
                   4,
                   0,
                   1,
                   5,
                   2,
                   4,
                   {"x,y,z", "-y+3/4,x+1/4,z+1/4", "-x+1/2,-y,z+1/2", "y+3/4,-x+3/4,z+3/4"}},
        SymbolCase{"I 41/a m d", 5, 0, 1, 5, 2, 8, {"x,y,z", "-y+1/4,x+3/4,z+1/4"}},
        SymbolCase{"F d d d",
                   3,
                   0,
                   1,
                   6,
                   4,
                   4,
                   {"x,y,z", "-x,y+1/4,z+1/4", "x+1/4,-y,z+1/4", "-x+3/4,-y+1/4,z+1/2"}},
        SymbolCase{
            "P 4/n", 4, 0, 1, 1, 1, 4, {"x,y,z", "-y+1/2,x,z", "-x+1/2,-y+1/2,z", "y,-x+1/2,z"}},
        SymbolCase{"P 42/n",
                   4,
                   0,
                   1,
                   1,
                   1,
                   4,
                   {"x,y,z", "-y,x+1/2,z+1/2", "-x+1/2,-y+1/2,z", "y+1/2,-x,z+1/2"}},
        SymbolCase{"R -3 m",
                   9,
                   -1,
                   1,
                   7,
                   3,
                   6,
                   {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "-x+y,y,z", "-y,-x,z", "x,x-y,z"}},
        SymbolCase{
            "R -3 m R", 7, 0, 1, 1, 1, 6, {"x,y,z", "z,x,y", "y,z,x", "y,x,z", "z,y,x", "x,z,y"}},
        SymbolCase{"R 3 R", 6, 0, 0, 1, 1, 3, {"x,y,z", "z,x,y", "y,z,x"}},
        SymbolCase{"R 3", 8, -1, 0, 7, 3, 3, {"x,y,z", "-y,x-y,z", "-x+y,-x,z"}},
        SymbolCase{
            "R -3 c H", 9, -1, 1, 7, 3, 6, {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "-x+y,y,z+1/2"}},
        SymbolCase{"P 31", 8, 0, 0, 1, 1, 3, {"x,y,z", "-y,x-y,z+1/3", "-x+y,-x,z+2/3"}},
        SymbolCase{"P 63/m", 11, 0, 1, 1, 1, 6, {"x,y,z", "x-y,x,z+1/2"}},
        SymbolCase{"P 4 2 2", 5, 0, 0, 1, 1, 8, {"x,y,z", "-y,x,z"}},
        SymbolCase{"P 4 3 2", 14, 0, 0, 1, 1, 24, {"x,y,z", "z,x,y", "y,z,x", "-y,x,z"}},
        SymbolCase{"F d -3 m", 14, 0, 1, 6, 4, 24, {"x,y,z", "z,x,y", "y,z,x", "x+1/4,y+1/4,-z"}},
        SymbolCase{
            "I -4 3 d", 14, 0, 0, 5, 2, 24, {"x,y,z", "z,x,y", "y,z,x", "y+3/4,-x+1/4,-z+3/4"}}),
    symmetry_test::NamedBySymbol());

TEST(Interpreter, FullOrthorhombicSymbolCompletesTheSetThenReportsTheConflict) {
  const symmetry::OperatorSet set = interpret("P 2/c 2/c 2/a");
  EXPECT_EQ(set.unique_axis, symmetry::kUniqueAxisAfterError);
  EXPECT_EQ(set.centric, 1);
  EXPECT_EQ(symmetry_test::stored_operators(set),
            (std::vector<Op>{op("x,y,z"), op("x,-y,-z"), op("-x,y,-z"), op("-x,-y,z")}));
}

TEST(Interpreter, ColumnFiveHoldsTheCodesAndTheOperationFlag) {
  const symmetry::OperatorSet set = interpret("P n m a");
  const symmetry::SymmetryOperator& identity = set.operators[0];
  EXPECT_EQ(identity.rotation_code, 193);
  EXPECT_EQ(identity.translation_code, 0);
  EXPECT_EQ(identity.operation_flag, 0);
  // (-x+1/2, y+1/2, z+1/2): rows -x, y, z give codes -2, 3, 4.
  const symmetry::SymmetryOperator& glide = set.operators[1];
  EXPECT_EQ(glide.rotation_code, 81 * -2 + 9 * 3 + 4);
  EXPECT_EQ(glide.translation_code, 942);
  EXPECT_EQ(glide.operation_flag, 4);
  EXPECT_EQ(set.operators[2].operation_flag, 2);  // (x, -y+1/2, z)
  EXPECT_EQ(set.operators[3].operation_flag, 6);  // (-x+1/2, -y, z+1/2)
}

TEST(Interpreter, CentringVectorsFollowTheLattice) {
  const symmetry::OperatorSet r = interpret("R 3");
  ASSERT_EQ(r.centring_count, 3);
  EXPECT_EQ(r.centring[0], (std::array<float, 3>{0.0F, 0.0F, 0.0F}));
  EXPECT_EQ(r.centring[1], (std::array<float, 3>{1.0F / 3, 2.0F / 3, 2.0F / 3}));
  EXPECT_EQ(r.centring[2], (std::array<float, 3>{2.0F / 3, 1.0F / 3, 1.0F / 3}));

  const symmetry::OperatorSet f = interpret("F m -3 m");
  ASSERT_EQ(f.centring_count, 4);
  EXPECT_EQ(f.centring[1], (std::array<float, 3>{0.0F, 0.5F, 0.5F}));
  EXPECT_EQ(f.centring[2], (std::array<float, 3>{0.5F, 0.0F, 0.5F}));
  EXPECT_EQ(f.centring[3], (std::array<float, 3>{0.5F, 0.5F, 0.0F}));

  EXPECT_EQ(interpret("C 2/c").centring[1], (std::array<float, 3>{0.5F, 0.5F, 0.0F}));
  EXPECT_EQ(interpret("A m m 2").centring[1], (std::array<float, 3>{0.0F, 0.5F, 0.5F}));
  EXPECT_EQ(interpret("I m m m").centring[1], (std::array<float, 3>{0.5F, 0.5F, 0.5F}));
  EXPECT_EQ(interpret("P 1").centring_count, 1);
}

TEST(Interpreter, PolarAxisCodeIsStoredWithoutADescriptionUnit) {
  struct Polar {
    const char* symbol;
    int code;
  };
  for (const Polar& p :
       {Polar{"P 1", 7}, Polar{"P 1 2 1", 2}, Polar{"P m m 2", 4}, Polar{"R 3 R", 8},
        Polar{"P 31", 4}, Polar{"P -1", 0}, Polar{"P 21/c", 0}, Polar{"P 4 3 2", 0}}) {
    EXPECT_EQ(interpret(p.symbol).polar_axis, p.code) << p.symbol;
  }
}

TEST(Interpreter, OnlyTheFirstTwentyCharactersAreRead) {
  // "P" and then a field that is still open after character 20: one field only.
  EXPECT_EQ(interpret("P                  1").unique_axis, symmetry::kUniqueAxisAfterError);
  // Characters after the twentieth are never looked at, even illegal ones.
  const symmetry::OperatorSet set = interpret("P 21/c              QQQ");
  EXPECT_EQ(set.unique_axis, 2);
  EXPECT_EQ(set.operator_count, 2);
}

TEST(Interpreter, SymintTakesTheFieldsInItsOwnOrder) {
  int laue = -9, unique = -9, centric = -9, lattice = -9, count = -9, polar = -9, centrings = -9;
  symmetry::OperatorArray operators{};
  symmetry::CentringVectors centring{};
  symmetry::WorkArea work{};
  symmetry::SYMINT("C 2/c", laue, unique, centric, lattice, count, polar, operators, centring,
                   centrings, 0, 0, work);
  EXPECT_EQ(laue, 2);
  EXPECT_EQ(unique, 2);
  EXPECT_EQ(centric, 1);
  EXPECT_EQ(lattice, symmetry::kLatticeC);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(polar, 0);
  EXPECT_EQ(centrings, 2);
  EXPECT_EQ(symmetry_test::stored(operators[1]), op("-x,y,-z+1/2"));

  // An error leaves the set of the symbol before, apart from the unique axis.
  symmetry::SYMINT("Q 1", laue, unique, centric, lattice, count, polar, operators, centring,
                   centrings, 0, 0, work);
  EXPECT_EQ(unique, symmetry::kUniqueAxisAfterError);
  EXPECT_EQ(lattice, symmetry::kLatticeC);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(centrings, 2);
  EXPECT_EQ(symmetry_test::stored(operators[1]), op("-x,y,-z+1/2"));
}

}  // namespace
