// The list-directed oracle against the rule's own examples, worked by hand.
#include "fuzzing/list_text.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace fuzzing {
namespace {

TEST(ExpectedListReal, FollowsTheRuleExamples) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.5, "  0.5"},
      {-2.0, " -2."},
      {0.1f, "  0.100000001"},
      {0.00005f, "  4.99999987E-005"},
      {1e12, "  1.E+012"},
      {1.0, "  1."},
      {-0.25, " -0.25"},
      {0.0, "  0."},
      {-0.0, "  0."},
      {123456789.0, "  123456789."},
      {1234567890.0, "  1.23456789E+009"},
      {0.0001, "  0.0001"},
      {-1e-300, " -1.E-300"},
  };
  for (const Case& c : cases) EXPECT_EQ(expected_list_real(c.value), c.text) << c.value;
}

TEST(ExpectedListReal, KeepsTheLettersOfInfinityAndNaN) {
  EXPECT_EQ(expected_list_real(std::numeric_limits<double>::infinity()), "  INF");
  EXPECT_EQ(expected_list_real(-std::numeric_limits<double>::infinity()), " -INF");
  EXPECT_EQ(expected_list_real(std::numeric_limits<double>::quiet_NaN()), "  NAN");
}

TEST(ExpectedListRecords, StartsARecordBeforeAnItemReachingColumn80) {
  const std::string forty(40, 'a');
  const std::string thirty_eight(38, 'b');
  const std::string eighty_five(85, 'c');
  // 41 + 38 = 79 columns fit; 41 + 40 = 81 do not; a long item that starts a record stays whole.
  EXPECT_EQ(expected_list_records({{" " + forty, forty}, {" " + thirty_eight, thirty_eight}}),
            (std::vector<std::string>{" " + forty + thirty_eight}));
  EXPECT_EQ(expected_list_records({{" " + forty, forty}, {" " + forty, forty}}),
            (std::vector<std::string>{" " + forty, " " + forty}));
  EXPECT_EQ(expected_list_records({{" " + eighty_five, eighty_five}, {" 1", " 1"}}),
            (std::vector<std::string>{" " + eighty_five, " 1"}));
  EXPECT_EQ(expected_list_integer(-42), " -42");
}

}  // namespace
}  // namespace fuzzing
