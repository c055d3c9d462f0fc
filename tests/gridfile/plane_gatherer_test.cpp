// Values of a grid file's order taken to their places in a map's order, in pieces of any size.
#include "gridfile/plane_gatherer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace {

using Divisions = std::array<int, 3>;

// Tells every grid point apart: ten thousands for x, hundreds for y, units for z.
float marker(int i, int j, int k) {
  return static_cast<float>(10000 * i + 100 * j + k);
}

struct GatherCase {
  Divisions divisions;
  std::size_t piece;  // values handed over at a time
};

class PlaneGathererTest : public ::testing::TestWithParam<GatherCase> {};

TEST_P(PlaneGathererTest, EveryValueReachesItsPlaceInTheMap) {
  const auto [n, piece] = GetParam();
  std::vector<float> file_order;
  for (int i = 0; i < n[0]; ++i) {
    for (int j = 0; j < n[1]; ++j) {
      for (int k = 0; k < n[2]; ++k) file_order.push_back(marker(i, j, k));
    }
  }
  std::vector<float> map;
  {
    gridfile::PlaneGatherer gatherer(n, map);
    for (std::size_t at = 0; at < file_order.size(); at += piece) {
      gatherer.append(file_order.data() + at, std::min(piece, file_order.size() - at));
    }
    gatherer.place_gathered();
  }
  ASSERT_EQ(map.size(), file_order.size());
  std::size_t wrong = 0, at = 0;
  for (int k = 0; k < n[2]; ++k) {
    for (int j = 0; j < n[1]; ++j) {
      for (int i = 0; i < n[0]; ++i) wrong += map[at++] != marker(i, j, k);
    }
  }
  EXPECT_EQ(wrong, 0u);
}

// One point; pieces that end inside planes; planes too large for more than one to be gathered at
// once (8 MB), and a number of planes that the gathered groups do not divide.
INSTANTIATE_TEST_SUITE_P(Grids, PlaneGathererTest,
                         ::testing::Values(GatherCase{{1, 1, 1}, 1}, GatherCase{{3, 4, 5}, 7},
                                           GatherCase{{37, 61, 113}, 32768},
                                           GatherCase{{3, 1100, 1000}, 100000}));

}  // namespace
