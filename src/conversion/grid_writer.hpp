// The grid file NAME.grd: a title line, the cell, the grid divisions, then the map value at
// every grid point of the cell (grid_values.hpp).
//
// Threads: called from the main thread; write_grid_file runs the grid's worker threads.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/conversion_run.hpp"
#include "conversion/map_block.hpp"
#include "conversion/map_reader.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

class MapOutput;

struct Cell {
  std::array<float, 3> lengths{};  // a, b, c
  std::array<float, 3> angles{};   // alpha, beta, gamma in degrees
};

// The grid file's cell line: a, b, c, then alpha, beta, gamma in degrees.
inline constexpr std::string_view kCellLineFormat = "(3f10.5,3f10.4)";
inline constexpr std::size_t kCellLineWidth = 60;

// The grid file's name and the header it carries beside the map's.
struct GridFile {
  std::string name;
  Cell cell;
};

// Writes the grid file of `map` sampled through `operators` on `thread_count` threads (at least
// 1), reporting on the run's terminal. The grid is written to a temporary file beside the grid
// file, which replaces any file of that name only when it is whole; a run that ends any other way
// leaves an older grid file as it was. Grid points that the stored block does not cover are
// written as 0 and counted in a warning on standard error. With `map_output`, its map is made of
// the same values and written before the grid file takes its name, and put in place after it.
void write_grid_file(const ConversionRun& run, const GridFile& grid, const LoadedMap& map,
                     const symmetry::OperatorSet& operators, int thread_count,
                     MapOutput* map_output = nullptr);

}  // namespace conversion
