// The description of a group and its equivalent positions, line for line.
#include "symmetry/description.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symmetry/interpreter.hpp"
#include "symmetry_test_support.hpp"

namespace {

using symmetry_test::CapturedUnit;
using Lines = std::vector<std::string>;

Lines description_of(const std::string& symbol) {
  CapturedUnit unit;
  symmetry_test::interpret(symbol, unit.unit(), 0);
  return unit.lines();
}

TEST(Description, P21c) {
  const Lines expected = {
      "",
      " Space group P 21/c              ",
      " The lattice is centric   primitive monoclinic    Laue symmetry 2/m   ",
      "  Multiplicity of a general site is   4",
      "  The unique axis is b",
      "  The symmetry of the point 0,0,0 contains 1bar",
      "",
      " The equivalent positions are:",
      "",
      " ( 1)    X      Y      Z   ( 2)    -X  1/2+Y  1/2-Z ",
      " ",
  };
  EXPECT_EQ(description_of("P 21/c"), expected);
}

TEST(Description, P31ListsThreeOperatorsToALine) {
  const Lines expected = {
      "",
      " Space group P 31                ",
      " The lattice is acentric   primitive trigonal      Laue symmetry 3bar  ",
      "  Multiplicity of a general site is   3",
      "  The location of the origin is arbitrary in z  ",
      "",
      " The equivalent positions are:",
      "",
      " ( 1)    X      Y      Z   ( 2)    -Y     X-Y 1/3+Z  ( 3)    Y-X    -X  2/3+Z ",
      " ",
  };
  EXPECT_EQ(description_of("P 31"), expected);
}

TEST(Description, R3OnRhombohedralAxesIsPrimitiveWithA111PolarAxis) {
  const Lines expected = {
      "",
      " Space group R 3 R               ",
      " The lattice is acentric   primitive trigonal      Laue symmetry 3bar  ",
      "  Multiplicity of a general site is   3",
      "  The location of the origin is arbitrary in 111",
      "",
      " The equivalent positions are:",
      "",
      " ( 1)    X      Y      Z   ( 2)    Z      X      Y   ( 3)    Y      Z      X  ",
      " ",
  };
  EXPECT_EQ(description_of("R 3 R"), expected);
}

TEST(Description, Fdbar3mListsAll24Operators) {
  const Lines expected = {
      "",
      " Space group F d -3 m            ",
      " The lattice is centric  F-centered cubic         Laue symmetry m3m   ",
      "  Multiplicity of a general site is 192",
      "  The symmetry of the point 0,0,0 contains 1bar",
      "",
      " The equivalent positions are:",
      "",
      " ( 1)    X      Y      Z   ( 2)    Z      X      Y   ( 3)    Y      Z      X  ",
      " ( 4) 1/4+X  1/4+Y     -Z  ( 5)    -Z  1/4+X  1/4+Y  ( 6) 1/4+Y     -Z  1/4+X ",
      " ( 7) 1/4-Z  1/2+X  3/4-Y  ( 8) 3/4-Y  1/4-Z  1/2+X  ( 9) 1/2+Y  1/4-Z  3/4-X ",
      " (10) 3/4-X  1/2+Y  1/4-Z  (11) 1/4-Z  3/4-X  1/2+Y  (12) 1/2+X  3/4-Y  1/4-Z ",
      " (13)    Y      X      Z   (14)    Z      Y      X   (15)    X      Z      Y  ",
      " (16) 1/4+Y  1/4+X     -Z  (17)    -Z  1/4+Y  1/4+X  (18) 1/4+X     -Z  1/4+Y ",
      " (19) 1/4-Z  1/2+Y  3/4-X  (20) 3/4-X  1/4-Z  1/2+Y  (21) 1/2+X  1/4-Z  3/4-Y ",
      " (22) 3/4-Y  1/2+X  1/4-Z  (23) 1/4-Z  3/4-Y  1/2+X  (24) 1/2+Y  3/4-X  1/4-Z ",
      " ",
  };
  EXPECT_EQ(description_of("F d -3 m"), expected);
}

// The description comes before the deferred error, and an R lattice on hexagonal axes shows
// no unique axis.
TEST(Description, HexagonalRLatticeAndDeferredConflict) {
  const Lines r3 = description_of("R 3");
  ASSERT_GE(r3.size(), 4U);
  EXPECT_EQ(r3[2], " The lattice is acentric  R-centered trigonal      Laue symmetry 3bar  ");
  EXPECT_EQ(r3[3], "  Multiplicity of a general site is   9");
  EXPECT_EQ(r3[4], "  The location of the origin is arbitrary in z  ");

  CapturedUnit unit;
  symmetry_test::interpret("P 2/c 2/c 2/a", unit.unit(), unit.unit());
  const Lines lines = unit.lines();
  ASSERT_EQ(lines.size(), 9U + 11U + 2U);
  EXPECT_EQ(lines[9 + 1], " Space group P 2/c 2/c 2/a       ");
  EXPECT_EQ(lines[9 + 9], " ( 3)    -X     Y      -Z  ( 4)    -X     -Y     Z  ");
  EXPECT_EQ(lines[9 + 11], " ****** Error processing symbol P 2/c 2/c 2/a       ");
}

TEST(Description, ListsAnOddOperatorCountWhole) {
  // Laue class 1 with two stored operators: the last line holds one operator.
  symmetry::OperatorArray operators{};
  operators[0].rotation = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  operators[1].rotation = {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
  operators[2].rotation = {{{1, 1, 0}, {0, 0, 0}, {0, 0, 1}}};
  operators[2].translation = {1, 0, 11};
  CapturedUnit unit;
  int polar = -1;
  symmetry::SYMLST("P 1", operators, 1, 0, 0, 1, 3, 1, unit.unit(), polar);
  const Lines lines = unit.lines();
  EXPECT_EQ(polar, 4);
  ASSERT_EQ(lines.size(), 11U);
  EXPECT_EQ(lines[8], " ( 1)    X      Y      Z   ( 2)    -X     -Y     Z  ");
  // Twelfths that are no simple fraction and rows outside the term table print as ERR.
  EXPECT_EQ(lines[9], " ( 3) ERRERR    ERR ERR+Z ");
}

}  // namespace
