#include <gtest/gtest.h>

#include <string>

#include "startup/console_input.hpp"

namespace startup {
namespace {

struct TokenCase {
  const char* name;
  std::string line;
  int position;
  std::size_t token_width;
  std::string token;  // the whole token field
  int length;
  int next_position;
};

class NxttokTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(NxttokTest, FindsTheTokenAndMovesPastItsSeparator) {
  const TokenCase& c = GetParam();
  int position = c.position;
  std::string token(c.token_width, '?');
  int length = -1;
  NXTTOK(c.line, position, token, length);
  EXPECT_EQ(token, c.token);
  EXPECT_EQ(length, c.length);
  EXPECT_EQ(position, c.next_position);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NxttokTest,
    ::testing::Values(TokenCase{"FirstWord", "AB CD", 1, 4, "AB  ", 2, 4},
                      TokenCase{"LastWordRunsToTheEnd", "AB CD", 4, 4, "CD  ", 2, 6},
                      TokenCase{"SkipsBlanksAndTabs", " \t AB,CD", 1, 4, "AB, ", 2, 7},
                      TokenCase{"CommaAloneIsEmpty", "  ,X", 1, 4, ",   ", 0, 4},
                      TokenCase{"TabSeparates", "A\tB", 1, 4, "A\t  ", 1, 3},
                      TokenCase{"UsedUpLine", "AB   ", 3, 4, "    ", 0, 6},
                      TokenCase{"PositionBeyondTheEnd", "AB", 9, 4, "    ", 0, 3},
                      TokenCase{"EmptyLine", "", 1, 4, "    ", 0, 1},
                      TokenCase{"NarrowTokenFieldIsCut", "ABCDEF GH", 1, 3, "ABC", 6, 8},
                      TokenCase{"SlashStaysInTheToken", "AB/ C", 1, 4, "AB/ ", 3, 5}),
    [](const auto& info) { return info.param.name; });

struct UpcaseCase {
  const char* name;
  std::string text;
  int length;
  std::string expected;
};

class UpcaseTest : public ::testing::TestWithParam<UpcaseCase> {};

TEST_P(UpcaseTest, ChangesOnlyLettersWithinTheLength) {
  std::string text = GetParam().text;
  UPCASE(text, GetParam().length);
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, UpcaseTest,
                         ::testing::Values(UpcaseCase{"Whole", "az09@[`{-", 9, "AZ09@[`{-"},
                                           UpcaseCase{"Prefix", "abc", 2, "ABc"},
                                           UpcaseCase{"LengthBeyondText", "ab", 10, "AB"},
                                           UpcaseCase{"NegativeLength", "ab", -1, "ab"},
                                           UpcaseCase{"EightBitUnchanged",
                                                      "\xe9"
                                                      "a",
                                                      2,
                                                      "\xe9"
                                                      "A"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace startup
