// Map blocks of random codes for the conversion's tests, of random size and start on a random
// grid whose divisions need not suit the group.
#pragma once

#include <cstdint>
#include <random>

#include "conversion/map_block.hpp"

namespace conversion {

// The ranges the random geometry is drawn from, per axis.
struct RandomBlockRanges {
  int most_divisions;  // divisions from 3 to this
  int lowest_start;    // block starts from this to highest_start
  int highest_start;
  int extra_steps;  // block steps from 1 to divisions / 2 + this
};

inline MapBlock random_block(std::mt19937& random, const RandomBlockRanges& ranges) {
  auto uniform = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  MapBlock block;
  block.density_minimum = -1.5f;
  block.density_range = 4.0f;
  for (int i = 0; i < 3; ++i) {
    block.grid_divisions[i] = uniform(3, ranges.most_divisions);
    block.block_start[i] = uniform(ranges.lowest_start, ranges.highest_start);
    block.block_steps[i] = uniform(1, block.grid_divisions[i] / 2 + ranges.extra_steps);
  }
  const auto [lx, ly, lz] = block.block_steps;
  for (int e = 0; e < lx * ly * lz; ++e) {
    block.values.push_back(static_cast<std::int16_t>(uniform(-32767, 32767)));
  }
  return block;
}

}  // namespace conversion
