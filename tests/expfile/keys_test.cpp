#include "expfile/keys.hpp"

#include <gtest/gtest.h>

#include <string>

#include "store_fixture.hpp"

namespace expfile_test {
namespace {

using expfile::CRSKEY;
using expfile::HAPKEY;
using expfile::HSTKEY;

TEST(RecordKeyTest, PrefixesFollowTheKeyColumns) {
  EXPECT_EQ(CRSKEY(1), "CRS1  ");
  EXPECT_EQ(CRSKEY(9), "CRS9  ");
  EXPECT_EQ(HSTKEY(5), "HST  5");
  EXPECT_EQ(HSTKEY(12), "HST 12");
  EXPECT_EQ(HAPKEY(2, 3), "HAP2 3");
  EXPECT_EQ(HAPKEY(9, 99), "HAP999");
}

// Numbers outside the key columns give asterisks rather than a longer key.
TEST(RecordKeyTest, NumbersThatDoNotFitStaySixCharacters) {
  EXPECT_EQ(CRSKEY(10), "CRS*  ");
  EXPECT_EQ(HSTKEY(100), "HST **");
  EXPECT_EQ(HAPKEY(-1, 3), "HAP* 3");
}

struct IsamerrCase {
  std::string key;
  std::string line;
};

class IsamerrTest : public StoreTest, public ::testing::WithParamInterface<IsamerrCase> {};

TEST_P(IsamerrTest, ReportsTheShortenedKeyAndStopsWithoutText) {
  EXPECT_EQ(stop_text_of([] { expfile::ISAMERR(11, GetParam().key, 1); }), "");
  EXPECT_EQ(console_text(), GetParam().line + "\n");
}

constexpr const char* kIsamerrCaseNames[] = {"FullKey", "TrailingBlanks", "TrailingNuls",
                                             "AllBlank"};

INSTANTIATE_TEST_SUITE_P(
    Keys, IsamerrTest,
    ::testing::Values(
        IsamerrCase{"CRS1  SG SYM", " ISAM record with KEY = \"CRS1  SG SYM\" has problems."},
        IsamerrCase{"CRS1  ABC   ", " ISAM record with KEY = \"CRS1  ABC\" has problems."},
        IsamerrCase{std::string("HST  1\0\0 \0", 10),
                    " ISAM record with KEY = \"HST  1\" has problems."},
        IsamerrCase{std::string(12, ' '), " ISAM record with KEY = \"\" has problems."}),
    [](const auto& info) { return std::string(kIsamerrCaseNames[info.index]); });

}  // namespace
}  // namespace expfile_test
