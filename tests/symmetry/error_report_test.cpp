// Numbered errors: each with a symbol that raises it and the two lines on the error unit.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "symmetry/interpreter.hpp"
#include "symmetry_test_support.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace {

using symmetry_test::CapturedUnit;
using symmetry_test::pad;

struct ErrorCase {
  std::string symbol;
  int error;
  std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << '"' << c.symbol << '"';
}

std::vector<std::string> error_lines(const std::string& symbol, const std::string& message) {
  return {" ****** Error processing symbol " + pad(symbol, 20), " " + pad(message, 48)};
}

class NumberedError : public testing::TestWithParam<ErrorCase> {};

TEST_P(NumberedError, IsReportedInTwoLinesAndLeavesTheCountAlone) {
  const ErrorCase& c = GetParam();
  CapturedUnit errors;
  symmetry::OperatorSet set;
  set.operator_count = 5;
  set.symbol = c.symbol;
  symmetry::interpret_symbol(set, 0, errors.unit());
  EXPECT_EQ(errors.lines(), error_lines(c.symbol, c.message));
  EXPECT_EQ(set.unique_axis, symmetry::kUniqueAxisAfterError);
  EXPECT_EQ(set.operator_count, 5);
  EXPECT_EQ(symmetry::error_message(c.error), pad(c.message, 48));
}

INSTANTIATE_TEST_SUITE_P(
    EveryError, NumberedError,
    testing::Values(ErrorCase{"P", 1, "Less than 2 operator fields were found"},
                    ErrorCase{"1 P", 2, "Illegal Lattice type, not P, A, B, C, I, F or R"},
                    ErrorCase{"R 4", 3, "Rhombohedral lattice without a 3-axis"},
                    ErrorCase{"P -m", 4, "Minus sign does not preceed 1, 2, 3, 4 or 6"},
                    ErrorCase{"P -", 4, "Minus sign does not preceed 1, 2, 3, 4 or 6"},
                    ErrorCase{"P P", 7, "I for COMPUTED GO TO out of range."},
                    ErrorCase{"P 1 . 1", 7, "I for COMPUTED GO TO out of range."},
                    ErrorCase{"P /m", 7, "I for COMPUTED GO TO out of range."},
                    ErrorCase{"P 2/-", 7, "I for COMPUTED GO TO out of range."},
                    ErrorCase{"P H", 7, "I for COMPUTED GO TO out of range."},
                    ErrorCase{"P a 1 1", 8, "An A-glide mirror normal to A"},
                    ErrorCase{"P b", 9, "A B-glide mirror normal to B"},
                    ErrorCase{"P 1 1 c", 10, "A C-glide mirror normal to C"},
                    ErrorCase{"P d d 2", 11, "D-glide in a primitive lattice"},
                    ErrorCase{"P 4 4 4", 12, "A 4-axis not in the 2nd operator field"},
                    ErrorCase{"P 2 6 2", 13, "A 6-axis not in the 2nd operator field"},
                    ErrorCase{"P 6 3", 15, "More than 24 matrices needed to define group"},
                    ErrorCase{"P 2m", 16, "Improper construction of a rotation operator"},
                    ErrorCase{"P 2/", 17, "No mirror following a /"},
                    ErrorCase{"P -2", 19, "The 2bar operator is not allowed"},
                    ErrorCase{"P 2 2", 20, "3 fields are legal only in R & m3 cubic groups"},
                    ErrorCase{"F -4 3 d", 21, "Syntax error. Expected I-43d at this point."},
                    ErrorCase{"A 4/m m m", 23, "A or B centered tetragonal?   IMPOSSIBLE"},
                    ErrorCase{"B 4 2 2", 23, "A or B centered tetragonal?   IMPOSSIBLE"},
                    ErrorCase{"P 5", 25, "Either a 5-axis anywhere or a 3-axis in field"},
                    ErrorCase{"P 3 m 3", 25, "Either a 5-axis anywhere or a 3-axis in field"},
                    ErrorCase{"Q 1", 29, "Illegal character in the space group symbol"},
                    ErrorCase{"C m c e", 29, "Illegal character in the space group symbol"},
                    ErrorCase{"P -7", 29, "Illegal character in the space group symbol"}),
    symmetry_test::NamedBySymbol());

// Symbols whose operators, centring vectors and inversion do not close into a group: a rotation
// carries a centring vector onto one that is no lattice translation ("C 3", "A 4/m", "A 2 3"),
// or products of the elements fall outside the set.
INSTANTIATE_TEST_SUITE_P(NotAGroup, NumberedError,
                         testing::Values(ErrorCase{"C 3", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"F 3", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"I 6", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"A m -3", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"A 2 3", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"B m -3 m", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"A 4/m", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"R 3 2 2", 5, "Lattice S.R. found an error"},
                                         ErrorCase{"I 41 m 21", 5, "Lattice S.R. found an error"}),
                         symmetry_test::NamedBySymbol());

// The translation conflicts are explained as they are found; the error itself follows the
// completed set.
TEST(TranslationConflict, IsExplainedAtOnceAndReportedAtTheEnd) {
  CapturedUnit errors;
  const symmetry::OperatorSet set = symmetry_test::interpret("P 2/c 2/c 2/a", 0, errors.unit());
  std::vector<std::string> expected = {
      " Operator  2 generates Matrix  3 which has a translation conflict with matrix  2",
      "  Matrix  3 is  -1  0  0   0  1  0   0  0  1 0.00 0.00 0.50     6.0",
      "  Matrix  2 is   1  0  0   0 -1  0   0  0 -1 0.00 0.00 0.00     0.0",
      " Operator  3 generates Matrix  5 which has a translation conflict with matrix  3",
      "  Matrix  5 is   1  0  0   0 -1  0   0  0  1 0.00 0.00 0.50     6.0",
      "  Matrix  3 is  -1  0  0   0  1  0   0  0 -1 0.00 0.00 0.00     0.0",
      " Operator  4 generates Matrix  5 which has a translation conflict with matrix  4",
      "  Matrix  5 is   1  0  0   0  1  0   0  0 -1 0.50 0.00 0.00   864.0",
      "  Matrix  4 is  -1  0  0   0 -1  0   0  0  1 0.00 0.00 0.00     0.0",
  };
  for (const std::string& line :
       error_lines("P 2/c 2/c 2/a", "A translation conflict between operators")) {
    expected.push_back(line);
  }
  EXPECT_EQ(errors.lines(), expected);
  EXPECT_EQ(set.operator_count, 4);
  EXPECT_EQ(set.unique_axis, symmetry::kUniqueAxisAfterError);
}

// Units 0 and below print nothing; units 0 and 6 are the error and output streams of textio,
// so both are watched.
class ConsoleCapture : public testing::Test {
 protected:
  void SetUp() override {
    output_ = std::tmpfile();
    error_ = std::tmpfile();
    textio::set_console_streams(nullptr, output_, error_);
  }
  void TearDown() override {
    textio::reset_program_state();
    std::fclose(output_);
    std::fclose(error_);
  }
  static std::string contents(std::FILE* f) {
    textio::flush_unit(textio::kConsoleOutput);
    textio::flush_unit(textio::kErrorOutput);
    std::rewind(f);
    std::string text;
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) text.push_back(static_cast<char>(c));
    return text;
  }
  std::FILE* output_ = nullptr;
  std::FILE* error_ = nullptr;
};

TEST_F(ConsoleCapture, UnitZeroOrBelowPrintsNothing) {
  for (int unit : {0, -1}) {
    symmetry_test::interpret("Q 1", unit, unit);
    symmetry_test::interpret("P 21/c", unit, unit);
    symmetry_test::interpret("P 2/c 2/c 2/a", unit, unit);
  }
  EXPECT_EQ(contents(output_), "");
  EXPECT_EQ(contents(error_), "");
}

TEST_F(ConsoleCapture, TheTerminalCanBeTheErrorUnit) {
  symmetry_test::interpret("P -2", 0, textio::kConsoleOutput);
  EXPECT_EQ(contents(output_),
            " ****** Error processing symbol P -2                \n"
            " The 2bar operator is not allowed                \n");
  EXPECT_EQ(contents(error_), "");
}

}  // namespace
