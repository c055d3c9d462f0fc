// Values in a grid file's order (z fastest, x slowest) taken to their places in a map's order (x
// fastest, z slowest). The values of a few whole x planes are gathered before they go to their
// places, so that the map takes whole cache lines at a time instead of one value per line.
//
// Threads: one thread at a time; making the map's memory runs on a thread of its own.
#pragma once

#include <array>
#include <cstddef>
#include <future>
#include <vector>

namespace gridfile {

class PlaneGatherer {
 public:
  // Makes room for the map of `divisions` (N1, N2, N3) in `map` on a thread of its own: the system
  // clears its memory page by page, which takes a while and is not needed before the first planes
  // are placed.
  PlaneGatherer(const std::array<int, 3>& divisions, std::vector<float>& map);
  PlaneGatherer(const PlaneGatherer&) = delete;
  PlaneGatherer& operator=(const PlaneGatherer&) = delete;

  // Waits until the map's memory is ready; throws what making it threw.
  void wait_for_map();

  // Takes the next `count` values of the grid file's order.
  void append(const float* values, std::size_t count);

  // Places the planes held; the values end with a whole plane.
  void place_gathered();

 private:
  void make_map();

  std::size_t n1_, n2_, n3_, planes_;
  std::vector<float>& map_;
  std::future<void> map_made_;  // until the first planes are placed
  std::vector<float> gathered_;
  std::size_t held_ = 0;
  std::size_t first_plane_ = 0;
};

}  // namespace gridfile
