// Values in a grid file's order (z fastest, x slowest) taken to their places in a map's order (x
// fastest, z slowest), and summed for the map's figures on the way. The values of a few whole x
// planes are gathered before they go to their places, so that the map takes whole cache lines at
// a time instead of one value per line.
//
// Threads: one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "gridfile/large_buffer.hpp"
#include "gridfile/value_statistics.hpp"

namespace gridfile {

// Room for the map of `divisions` (N1, N2, N3) and for `room_before` values in front of it (a
// file's header), not yet written. The system makes each page as it is first written, which
// inside a virtual machine costs about as much as filling the map: a caller with a core to spare
// has the pages made on a thread of its own (os::make_pages) while the values come.
MapValues map_room(const std::array<int, 3>& divisions, std::size_t room_before = 0);

class PlaneGatherer {
 public:
  // Makes room for the map of `divisions` (N1, N2, N3) in `map` from its value `first` on, the
  // values before it left to the caller; `map` ends with the map's last value. Memory that
  // map_room made with room for at least `first` values is used where it is.
  PlaneGatherer(const std::array<int, 3>& divisions, MapValues& map, std::size_t first = 0);
  PlaneGatherer(const PlaneGatherer&) = delete;
  PlaneGatherer& operator=(const PlaneGatherer&) = delete;

  // Takes the next `count` values of the grid file's order.
  void append(const float* values, std::size_t count);

  // Places the planes held; the values end with a whole plane.
  void place_gathered();

  // The figures of the values placed so far (at least one). The values are summed in the pieces
  // that are placed together, which depend on the divisions alone.
  ValueStatistics statistics() const { return sums_.statistics(); }

 private:
  std::size_t n1_, n2_, n3_, planes_;
  float* map_ = nullptr;  // the map's first value
  MapValues gathered_;    // the planes held, in the grid file's order
  std::size_t held_ = 0;
  std::size_t first_plane_ = 0;
  ValueSums sums_;
};

}  // namespace gridfile
