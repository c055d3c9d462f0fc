// Values of a grid file's order taken to their places in a map's order, in pieces of any size,
// and the figures summed on the way.
#include "gridfile/plane_gatherer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using Divisions = std::array<int, 3>;

// Tells every grid point apart: ten thousands for x, hundreds for y, units for z.
float marker(int i, int j, int k) {
  return static_cast<float>(10000 * i + 100 * j + k);
}

struct GatherCase {
  Divisions divisions;
  std::size_t piece;      // values handed over at a time
  std::size_t first = 0;  // values in front of the map (a file's header)
};

class PlaneGathererTest : public ::testing::TestWithParam<GatherCase> {};

TEST_P(PlaneGathererTest, EveryValueReachesItsPlaceInTheMap) {
  const auto [n, piece, first] = GetParam();
  std::vector<float> file_order;
  for (int i = 0; i < n[0]; ++i) {
    for (int j = 0; j < n[1]; ++j) {
      for (int k = 0; k < n[2]; ++k) file_order.push_back(marker(i, j, k));
    }
  }
  // The figures must not depend on the pieces handed over, to the last bit: grd2ccp4 hands over
  // those of its text blocks and mapconv --ccp4 those of its worker threads.
  const auto gathered = [&](std::size_t size, gridfile::MapValues& map, std::size_t in_front) {
    gridfile::PlaneGatherer gatherer(n, map, in_front);
    for (std::size_t at = 0; at < file_order.size(); at += size) {
      gatherer.append(file_order.data() + at, std::min(size, file_order.size() - at));
    }
    gatherer.place_gathered();
    return gatherer.statistics();
  };
  // Room made ahead (as mapconv --ccp4 makes it while the block is read, for the largest header)
  // is filled where it is, behind the values left in front.
  gridfile::MapValues map = gridfile::map_room(n, first + 5), whole;
  std::fill_n(map.begin(), first, -1.0f);
  const float* const made = map.data();
  const gridfile::ValueStatistics figures = gathered(piece, map, first);
  EXPECT_EQ(map.data(), made);
  EXPECT_EQ(std::count(map.begin(), map.begin() + std::ptrdiff_t(first), -1.0f), first);
  const gridfile::ValueStatistics whole_figures = gathered(file_order.size(), whole, 0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(figures.mean),
            std::bit_cast<std::uint64_t>(whole_figures.mean));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(figures.sigma),
            std::bit_cast<std::uint64_t>(whole_figures.sigma));
  EXPECT_EQ(figures.maximum, marker(n[0] - 1, n[1] - 1, n[2] - 1));
  EXPECT_EQ(figures.minimum, 0.0);
  ASSERT_EQ(map.size(), first + file_order.size());
  std::size_t wrong = 0, at = first;
  for (int k = 0; k < n[2]; ++k) {
    for (int j = 0; j < n[1]; ++j) {
      for (int i = 0; i < n[0]; ++i) wrong += map[at++] != marker(i, j, k);
    }
  }
  EXPECT_EQ(wrong, 0u);
}

// One point; pieces that end inside planes; groups of planes that fill whole cache lines of the
// map (placed past the caches), also behind a header that shifts them across two lines (1104
// bytes) or off the 16-byte alignment that the streaming stores need; planes too large for more
// than one to be gathered at once (8 MB), and a number of planes that the gathered groups do not
// divide.
INSTANTIATE_TEST_SUITE_P(Grids, PlaneGathererTest,
                         ::testing::Values(GatherCase{{1, 1, 1}, 1}, GatherCase{{3, 4, 5}, 7},
                                           GatherCase{{48, 9, 7}, 100},
                                           GatherCase{{48, 9, 7}, 100, 276},
                                           GatherCase{{48, 9, 7}, 100, 1},
                                           GatherCase{{37, 61, 113}, 32768},
                                           GatherCase{{3, 1100, 1000}, 100000}));

}  // namespace
