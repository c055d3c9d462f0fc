// The values of the grid file: the map value at every grid point of the cell, one list-directed
// record each, z fastest and x slowest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "conversion/map_block.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

// Takes the values written to the grid file, in the file's order, a chunk at a time: called by
// the worker thread that holds the turn to write, so one thread at a time and in the file's order.
class GridValueSink {
 public:
  virtual void take(const float* values, std::size_t count) = 0;

 protected:
  ~GridValueSink() = default;
};

// How many points before its share of the grid a thread samples to guess where the search for
// the share's first image begins. A wrong guess costs sampling the share again.
inline constexpr std::int64_t kGuessPoints = 512;

// What the values written were made of: points without an image in the block (written as 0), and
// points interpolated between stored points. Every other point is a stored value.
struct GridValueCounts {
  std::int64_t uncovered = 0;
  std::int64_t interpolated = 0;
};

// Writes the value of every grid point of the cell to `unit`, sampled from `block` through
// `operators` on `thread_count` threads (at least 1), and returns what the values were made of. The
// file is the same byte for byte whatever the thread count and `guess_points`. A `sink` takes
// every value written, in the file's order. A failed
// write ends the run with the same report from whichever thread met it.
//
// Threads: called from the main thread. Its worker threads read `block` and `operators`, format
// with textio's stateless list-real functions, and write through textio::write_whole_records one
// thread at a time, in grid order, while the main thread waits for them: that changes only the
// grid unit's own entry in the unit table. Nothing else of textio, and no other program-wide
// state, is touched from them; the sink is called the same way, in turn.
GridValueCounts write_grid_values(int unit, const MapBlock& block,
                                  const symmetry::OperatorSet& operators, int thread_count,
                                  std::int64_t guess_points = kGuessPoints,
                                  GridValueSink* sink = nullptr);

}  // namespace conversion
