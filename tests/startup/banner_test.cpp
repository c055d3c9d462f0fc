#include "startup/banner.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace startup {
namespace {

constexpr std::string_view kDate = "Sun Sep  9 01:46:40 2001";

struct GeometryCase {
  const char* name;
  std::string title;
  std::size_t margin;  // L
  std::size_t width;   // W
  std::size_t title_lines;
};

class BoxGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

// Every line of the box: L blanks, "|", W + 2 characters, "|".
TEST_P(BoxGeometryTest, EveryLineFillsTheBox) {
  const GeometryCase& c = GetParam();
  const BannerBox box = banner_box("MAPCONV", "Win32 ", c.title, kDate);
  std::vector<std::string> lines = {box.border, box.program_line, box.date_line};
  lines.insert(lines.end(), box.title_lines.begin(), box.title_lines.end());
  EXPECT_EQ(box.title_lines.size(), c.title_lines);
  for (const std::string& line : lines) {
    EXPECT_EQ(line.size(), c.margin + c.width + 4) << line;
    EXPECT_EQ(line.substr(0, c.margin + 1), std::string(c.margin, ' ') + "|") << line;
    EXPECT_EQ(line.back(), '|') << line;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Titles, BoxGeometryTest,
    ::testing::Values(
        GeometryCase{"ShortTitle", "Fourier map to grid convertion program", 19, 39, 1},
        GeometryCase{"EmptyTitle", "", 19, 39, 0},
        GeometryCase{"TwoShortLines", "First line|Second", 19, 39, 2},
        GeometryCase{"OddWidth", std::string(40, 'x'), 18, 40, 1},
        GeometryCase{"WidestLineDecides", "ab|" + std::string(50, 'x') + "|c", 13, 50, 3},
        GeometryCase{"LongLineCutToTheLimit", std::string(80, 'x'), 1, 75, 1},
        GeometryCase{"SeventySixCharacters", std::string(76, 'x'), 1, 75, 1}),
    [](const auto& info) { return info.param.name; });

TEST(BannerBox, ProgramAndDateLinesOfAnOddWidth) {
  const BannerBox box = banner_box("MAPCONV", "Win32 ", std::string(40, 'x'), kDate);
  const std::string margin(18, ' ');
  EXPECT_EQ(box.program_line, margin + "|      Program MAPCONV Version Win32       |");
  EXPECT_EQ(box.date_line, margin + "| Distributed on Sun Sep  9 01:46:40 2001  |");
}

TEST(BannerBox, NameTooLongForTheBoxPushesTheEdgeOut) {
  const BannerBox box = banner_box("ABCDEFGHIJKLMNOPQRST", "Win32 ", "t", kDate);
  EXPECT_EQ(box.program_line,
            std::string(19, ' ') + "|Program ABCDEFGHIJKLMNOPQRST Version Win32 |");
}

struct SplitCase {
  const char* name;
  std::string title;
  std::vector<std::string_view> lines;
};

class SplitTitleTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTitleTest, CutsAtEachBar) {
  EXPECT_EQ(split_title(GetParam().title), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Titles, SplitTitleTest,
                         ::testing::Values(SplitCase{"NoBar", "one", {"one"}},
                                           SplitCase{"Empty", "", {}},
                                           SplitCase{"TwoLines", "one|two", {"one", "two"}},
                                           SplitCase{"TrailingBar", "one|", {"one"}},
                                           SplitCase{"LeadingBar", "|one", {"", "one"}},
                                           SplitCase{"DoubleBar", "a||b", {"a", "", "b"}}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace startup
