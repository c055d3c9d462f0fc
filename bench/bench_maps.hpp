// A smooth map block and the operator set of a space group, for the benchmarks that sample or
// format a whole cell without any file.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/map_sampler.hpp"
#include "symmetry/interpreter.hpp"
#include "symmetry/operator_set.hpp"

namespace bench {

struct MapCase {
  const char* symbol;
  int grid;
  conversion::Triple block_steps;
};

// A quarter of the cell stored (x, a quarter of y plus its boundary, z).
inline MapCase p21c(int n) {
  return {"P 21/c", n, {n, n / 4 + 1, n}};
}
// An eighth of the cell stored, with the boundaries.
inline MapCase fd3m(int n) {
  return {"F d -3 m", n, {n / 2 + 1, n / 2 + 1, n / 2 + 1}};
}

// Densities from -2 to 2 that vary smoothly along every axis, encoded as the map reader does.
inline conversion::MapBlock smooth_block(const MapCase& c) {
  conversion::MapBlock block;
  block.density_minimum = -2.0f;
  block.density_maximum = 2.0f;
  block.density_range = 4.0f;
  block.grid_divisions = {c.grid, c.grid, c.grid};
  block.block_steps = c.block_steps;
  const double k = 2.0 * M_PI / c.grid;
  for (int z = 0; z < c.block_steps[2]; ++z) {
    for (int y = 0; y < c.block_steps[1]; ++y) {
      for (int x = 0; x < c.block_steps[0]; ++x) {
        double density = std::cos(k * x) * std::cos(2 * k * y) + std::sin(3 * k * z);
        block.values.push_back(static_cast<std::int16_t>(std::lround(density / 2.0 * 32767.0)));
      }
    }
  }
  return block;
}

inline symmetry::OperatorSet operators_of(const char* symbol) {
  symmetry::OperatorSet set;
  set.symbol = symbol;
  set.symbol.resize(symmetry::kSymbolWidth, ' ');
  symmetry::interpret_symbol(set, 0, 0);
  return set;
}

// Calls `visit` with every point of the cell in the grid file's order: z fastest, then y, x.
template <typename Visit>
void walk_cell(int grid, Visit visit) {
  const float n = static_cast<float>(grid);
  for (int i = 0; i < grid; ++i) {
    for (int j = 0; j < grid; ++j) {
      for (int k = 0; k < grid; ++k) {
        visit(conversion::Point{static_cast<float>(i) / n, static_cast<float>(j) / n,
                                static_cast<float>(k) / n});
      }
    }
  }
}

}  // namespace bench
