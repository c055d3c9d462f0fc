#include "gridfile/plane_gatherer.hpp"

#include <algorithm>

namespace gridfile {

namespace {

constexpr std::size_t kGatheredBytes = std::size_t{8} << 20;
constexpr std::size_t kMostGatheredPlanes = 16;

}  // namespace

PlaneGatherer::PlaneGatherer(const std::array<int, 3>& divisions, MapValues& map)
    : n1_(static_cast<std::size_t>(divisions[0])),
      n2_(static_cast<std::size_t>(divisions[1])),
      n3_(static_cast<std::size_t>(divisions[2])),
      planes_(std::clamp<std::size_t>(kGatheredBytes / (sizeof(float) * n2_ * n3_), 1,
                                      kMostGatheredPlanes)),
      map_(map) {
  map_.resize(n1_ * n2_ * n3_);
  gathered_.resize(planes_ * n2_ * n3_);
}

void PlaneGatherer::append(const float* values, std::size_t count) {
  while (count > 0) {
    const std::size_t taken = std::min(count, gathered_.size() - held_);
    std::copy(values, values + taken, gathered_.begin() + static_cast<std::ptrdiff_t>(held_));
    held_ += taken;
    values += taken;
    count -= taken;
    if (held_ == gathered_.size()) place_gathered();
  }
}

// The gathered planes are read in their order, each of them from start to end.
void PlaneGatherer::place_gathered() {
  if (held_ == 0) return;
  sums_.add(gathered_.data(), held_);
  const std::size_t plane = n2_ * n3_;
  const std::size_t planes = held_ / plane;
  float* map = map_.data();
  for (std::size_t j = 0; j < n2_; ++j) {
    for (std::size_t k = 0; k < n3_; ++k) {
      float* to = map + first_plane_ + n1_ * (j + n2_ * k);
      const float* from = gathered_.data() + j * n3_ + k;
      for (std::size_t p = 0; p < planes; ++p) to[p] = from[p * plane];
    }
  }
  first_plane_ += planes;
  held_ = 0;
}

}  // namespace gridfile
