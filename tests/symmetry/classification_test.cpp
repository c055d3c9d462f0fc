// Tokens and classification: the field layout of a symbol, its Laue class and unique axis, and
// the origin-shift table that places the generators.
#include "symmetry/classification.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "symmetry/operator_set.hpp"
#include "symmetry/tokens.hpp"
#include "symmetry_test_support.hpp"

namespace {

using symmetry::classify;
using symmetry::tokenise;

using Fields = std::vector<std::vector<int>>;

Fields fields_of(const symmetry::TokenGrid& grid) {
  Fields fields;
  for (int f = 1; f <= grid.field_count; ++f) {
    std::vector<int> tokens;
    for (int p = 1; p <= 4 && grid.t(p, f) != 0; ++p) tokens.push_back(grid.t(p, f));
    fields.push_back(tokens);
  }
  return fields;
}

// Token codes: P 5, C 2, M 9, A 4, R 8, H 20, digits 1..6 are 12..17, "-" 18, "/" 19.
TEST(Tokeniser, SplitsFieldsAfterLettersAndAtBlanks) {
  const Fields p21c = {{5}, {13, 12, 19, 2}};
  EXPECT_EQ(fields_of(tokenise("P 21/c").grid), p21c);
  EXPECT_EQ(fields_of(tokenise("P21/c").grid), p21c);
  EXPECT_EQ(fields_of(tokenise("p 21/c").grid), p21c);
  EXPECT_EQ(fields_of(tokenise("   P   21/c").grid), p21c);
  EXPECT_EQ(fields_of(tokenise("P\t21/c").grid), p21c);
  EXPECT_EQ(fields_of(tokenise("Pnma").grid), (Fields{{5}, {10}, {9}, {4}}));
  EXPECT_EQ(fields_of(tokenise("P 4/m m m").grid), (Fields{{5}, {15, 19, 9}, {9}, {9}}));
  // A field ends after its fourth token; the next token opens a new field.
  EXPECT_EQ(fields_of(tokenise("P 1234").grid), (Fields{{5}, {12, 13, 14, 15}}));
  EXPECT_EQ(fields_of(tokenise("P 12345").grid), (Fields{{5}, {12, 13, 14, 15}, {16}}));
  EXPECT_EQ(fields_of(tokenise("R 3 h").grid), (Fields{{8}, {14}, {20}}));
}

TEST(Tokeniser, MovesALeadingBarBehindItsDigit) {
  const symmetry::TokenisedSymbol t = tokenise("F d -3 m");
  EXPECT_EQ(t.error, 0);
  EXPECT_EQ(fields_of(t.grid), (Fields{{6}, {11}, {14, 18}, {9}}));
  EXPECT_EQ(t.lattice_type, symmetry::kLatticeF);
}

TEST(Tokeniser, LatticeLetters) {
  const std::array<std::pair<const char*, int>, 7> letters = {
      {{"P 1", 1}, {"A 1", 2}, {"B 1", 3}, {"C 1", 4}, {"I 1", 5}, {"F 1", 6}, {"R 3", 7}}};
  for (const auto& [symbol, lattice] : letters) {
    EXPECT_EQ(tokenise(symbol).lattice_type, lattice) << symbol;
  }
}

using Shifts = std::array<std::array<int, 3>, 3>;

// A shift of a whole cell edge is no shift.
Shifts within_cell(Shifts shifts) {
  for (auto& row : shifts) {
    for (int& s : row) s = (s % 12 + 12) % 12;
  }
  return shifts;
}

struct ShiftCase {
  std::string symbol;
  int laue_class;
  int unique_axis;
  Shifts shifts;  // S(i, j) in twelfths, row i
  int d_glides = 0;
  bool rhombohedral_cubic = false;
};

void PrintTo(const ShiftCase& c, std::ostream* os) {
  *os << '"' << c.symbol << '"';
}

class Classification : public testing::TestWithParam<ShiftCase> {};

TEST_P(Classification, SetsLaueClassUniqueAxisAndOriginShifts) {
  const ShiftCase& c = GetParam();
  const symmetry::TokenisedSymbol tokens = tokenise(c.symbol);
  ASSERT_EQ(tokens.error, 0);
  const symmetry::Classification result = classify(tokens.grid, tokens.lattice_type);
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(result.laue_class, c.laue_class);
  EXPECT_EQ(result.unique_axis, c.unique_axis);
  EXPECT_EQ(within_cell(result.shifts.twelfths), c.shifts);
  EXPECT_EQ(result.d_glide_count, c.d_glides);
  EXPECT_EQ(result.rhombohedral_cubic, c.rhombohedral_cubic);
}

constexpr Shifts kNoShifts = {};

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, Classification,
    testing::Values(ShiftCase{"P 21/c", 2, 2, {{{0, 0, 0}, {0, 6, 0}, {0, 6, 0}}}},
                    ShiftCase{"P 1 1 21/b", 2, 3, {{{0, 0, 0}, {0, 0, 6}, {0, 0, 6}}}},
                    ShiftCase{"P 21/n 1 1", 2, 1, {{{6, 0, 0}, {6, 0, 0}, {6, 0, 0}}}},
                    ShiftCase{"P n m a", 3, 0, {{{6, 0, 0}, {0, 6, 0}, {0, 0, 6}}}},
                    ShiftCase{"P 21 21 21", 3, 0, {{{0, 0, 0}, {6, 0, 0}, {0, 6, 0}}}},
                    ShiftCase{"P 43 21 2", 5, 0, {{{0, 6, 6}, {0, 0, 6}, {0, 9, 0}}}},
                    ShiftCase{"I 41/a", 4, 0, {{{0, 0, 9}, {0, 0, 3}, {0, 0, 0}}}},
                    ShiftCase{"I 41/a m d", 5, 0, {{{0, 0, 3}, {0, 3, 9}, {0, 0, 0}}}},
                    ShiftCase{"F d d d", 3, 0, kNoShifts, 3},
                    ShiftCase{"F d d 2", 3, 0, kNoShifts, 2},
                    ShiftCase{"P 4/n", 4, 0, {{{0, 0, 6}, {0, 0, 0}, {0, 0, 0}}}},
                    ShiftCase{"P 42/n", 4, 0, {{{0, 0, 0}, {0, 0, 6}, {0, 0, 0}}}},
                    ShiftCase{"A 4/m", 4, 0, kNoShifts},
                    ShiftCase{"P 2/c 2/c 2/a", 3, 0, kNoShifts},
                    ShiftCase{"C m c m", 3, 0, {{{0, 0, 0}, {0, 0, 0}, {0, 0, 6}}}},
                    // One a-glide beside the c-glide: the C lattice moves the planes normal to a
                    // and b by half a cell (the plane normal to a comes back to the origin).
                    ShiftCase{"C m c a", 3, 0, {{{0, 0, 0}, {0, 6, 0}, {0, 0, 6}}}},
                    ShiftCase{"I -4 3 d", 14, 0, {{{0, 0, 9}, {0, 0, 3}, {0, 0, 9}}}, 0, true},
                    ShiftCase{"P 21 3", 13, 0, {{{0, 0, 0}, {6, 0, 0}, {0, 0, 0}}}, 0, true},
                    ShiftCase{"P 4 3 2", 14, 0, kNoShifts, 0, true},
                    ShiftCase{"P 6/m m m", 12, 0, kNoShifts}, ShiftCase{"P 6/m", 11, 0, kNoShifts},
                    ShiftCase{"P 3 1 m", 10, 0, kNoShifts}, ShiftCase{"P 3 m 1", 9, 0, kNoShifts},
                    ShiftCase{"P 3 1 1", 8, 0, kNoShifts}, ShiftCase{"P 1 1 1", 1, 0, kNoShifts}),
    symmetry_test::NamedBySymbol());

TEST(Classification, RhombohedralAxesSuffix) {
  struct Case {
    const char* symbol;
    int laue_class;
    int lattice_type;
    int fields;
    bool rhombohedral_cubic;
  };
  for (const Case& c : {Case{"R 3 R", 6, 1, 2, true}, Case{"R 3 m R", 7, 1, 3, true},
                        Case{"R 3", 8, 7, 2, false}, Case{"R -3 H", 8, 7, 2, false},
                        Case{"R 3 m", 9, 7, 3, false}, Case{"R -3 c H", 9, 7, 3, false}}) {
    symmetry::TokenisedSymbol tokens = tokenise(c.symbol);
    int lattice = tokens.lattice_type;
    const symmetry::Classification result = symmetry::classify_rhombohedral(tokens.grid, lattice);
    EXPECT_EQ(result.error, 0) << c.symbol;
    EXPECT_EQ(result.laue_class, c.laue_class) << c.symbol;
    EXPECT_EQ(lattice, c.lattice_type) << c.symbol;
    EXPECT_EQ(tokens.grid.field_count, c.fields) << c.symbol;
    EXPECT_EQ(result.rhombohedral_cubic, c.rhombohedral_cubic) << c.symbol;
  }
}

}  // namespace
