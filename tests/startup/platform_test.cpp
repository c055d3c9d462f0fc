#include "startup/platform.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "os/os.hpp"

namespace startup {
namespace {

constexpr const char* kVariable = "STARTUP_TEST_ENVVAL";

struct EnvvalCase {
  const char* name;
  std::optional<std::string> value;
  std::size_t width;
  std::string field;
  int returned;
};

class EnvvalTest : public ::testing::TestWithParam<EnvvalCase> {
 protected:
  void TearDown() override { os::unset_environment_variable(kVariable); }
};

TEST_P(EnvvalTest, FillsTheFieldAndTellsWhetherItIsBlank) {
  const EnvvalCase& c = GetParam();
  if (c.value) {
    os::set_environment_variable(kVariable, *c.value);
  } else {
    os::unset_environment_variable(kVariable);
  }
  std::string field(c.width, '?');
  EXPECT_EQ(ENVVAL(kVariable, field), c.returned);
  EXPECT_EQ(field, c.field);
}

INSTANTIATE_TEST_SUITE_P(Values, EnvvalTest,
                         ::testing::Values(EnvvalCase{"Unset", std::nullopt, 3, "   ", 0},
                                           EnvvalCase{"Empty", "", 3, "   ", 0},
                                           EnvvalCase{"Blank", "  ", 3, "   ", 0},
                                           EnvvalCase{"Padded", "ab", 5, "ab   ", 5},
                                           EnvvalCase{"Cut", "abcdef", 3, "abc", 3},
                                           EnvvalCase{"BlankOnceCut", "   x", 3, "   ", 0}),
                         [](const auto& info) { return info.param.name; });

class CtimeTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_tz = tz;
    os::set_environment_variable("TZ", "UTC");
    tzset();
  }
  void TearDown() override {
    if (saved_tz) {
      os::set_environment_variable("TZ", *saved_tz);
    } else {
      os::unset_environment_variable("TZ");
    }
    tzset();
  }
  std::optional<std::string> saved_tz;
};

TEST_F(CtimeTextTest, TwentyFourCharactersInEnglish) {
  EXPECT_EQ(ctime_text(0), "Thu Jan  1 00:00:00 1970");
  EXPECT_EQ(ctime_text(1000000000), "Sun Sep  9 01:46:40 2001");
  EXPECT_EQ(ctime_text(1700000000), "Tue Nov 14 22:13:20 2023");
}

TEST(FileModificationDate, MissingFileGivesBlanks) {
  EXPECT_EQ(file_modification_date("/nonexistent/startup-test"), std::string(24, ' '));
  EXPECT_EQ(file_modification_date(""), std::string(24, ' '));
}

}  // namespace
}  // namespace startup
