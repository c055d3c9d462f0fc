// The grid file check on grid files written by hand.
#include "fuzzing/grid_oracle.hpp"

#include <gtest/gtest.h>

#include "support/map_file.hpp"

namespace fuzzing {
namespace {

std::string header_lines() {
  return "Title\r\n  10.00000  10.00000  10.00000  90.0000  90.0000  90.0000\r\n   1   1   2\r\n";
}

MapLimits two_points() {
  return {2.0, 9.0f, -5.0f};  // limits of one digit before the point: not scaled
}

TEST(GridCheck, ReadsTheLimitsFromTheSecondHeaderRecord) {
  support::MapFile map;
  map.grid_divisions = {4, 5, 6};
  map.block_steps = {1, 1, 1};
  map.density_maximum = 2.5f;
  map.density_minimum = -1.5f;
  map.record_words = 40;
  map.values = {1.0f};
  const std::optional<MapLimits> limits = read_map_limits(support::map_file_bytes(map), 40);
  ASSERT_TRUE(limits);
  EXPECT_EQ(limits->grid_points, 120.0);
  EXPECT_EQ(limits->density_maximum, 2.5f);
  EXPECT_EQ(limits->density_minimum, -1.5f);
  EXPECT_FALSE(read_map_limits(support::map_file_bytes(map), 200));  // too short for record 2
  map.grid_divisions[1] = 0;
  EXPECT_FALSE(read_map_limits(support::map_file_bytes(map), 40));
}

TEST(GridCheck, AcceptsACompleteGridFile) {
  EXPECT_EQ(grid_file_defect(header_lines() + "  2.5\r\n -5.\r\n", two_points()), "");
  EXPECT_EQ(grid_file_defect(header_lines() + "  0.\r\n  9.\r\n", two_points()), "");
}

TEST(GridCheck, FindsWhatIsWrong) {
  const struct {
    const char* values;
    const char* defect;
  } cases[] = {
      {"  2.5\r\n", "4 lines for 2.000000 grid points"},
      {"  2.5\r\n  1.0\r\n", "value line [  1.0] is not the list-directed form [  1.]"},
      {"  2.5\r\n  x\r\n", "value line [  x] is not a number"},
      // Outside the limits, and outside them scaled by ten as well.
      {"  2.5\r\n  95.\r\n", "value   95. lies outside the density limits"},
      {"  2.5\r\n  1.\n", "line 5 lacks CR LF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(grid_file_defect(header_lines() + c.values, two_points()), c.defect) << c.values;
  }
}

}  // namespace
}  // namespace fuzzing
