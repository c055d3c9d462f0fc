#include "gridfile/plane_gatherer.hpp"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#define MAPCONV_STREAMED_LINES 1
#endif

namespace gridfile {

namespace {

constexpr std::size_t kGatheredBytes = std::size_t{8} << 20;
constexpr std::size_t kMostGatheredPlanes = 16;

// Whether runs of sixteen values of the map can be written past the caches: the processor's
// streaming stores take four values aligned to 16 bytes. A map behind a header whose size is not
// a multiple of 64 bytes writes each run into two cache lines, which still saves the reads.
bool streamed_lines([[maybe_unused]] const float* map) {
#if MAPCONV_STREAMED_LINES
  return reinterpret_cast<std::uintptr_t>(map) % 16 == 0;
#else
  return true;
#endif
}

// Sixteen values, one from each of sixteen gathered planes, to a run of the map's values: written
// past the caches, which the map would only crowd, when the processor can.
void place_line(const float* from, std::size_t plane, float* to) {
#if MAPCONV_STREAMED_LINES
  for (std::size_t quarter = 0; quarter < 4; ++quarter, from += 4 * plane, to += 4) {
    _mm_stream_ps(to, _mm_setr_ps(from[0], from[plane], from[2 * plane], from[3 * plane]));
  }
#else
  for (std::size_t p = 0; p < kMostGatheredPlanes; ++p) to[p] = from[p * plane];
#endif
}

}  // namespace

MapValues map_room(const std::array<int, 3>& divisions, std::size_t room_before) {
  const std::size_t count =
      std::size_t(divisions[0]) * std::size_t(divisions[1]) * std::size_t(divisions[2]);
  return MapValues(room_before + count);
}

PlaneGatherer::PlaneGatherer(const std::array<int, 3>& divisions, MapValues& map, std::size_t first)
    : n1_(static_cast<std::size_t>(divisions[0])),
      n2_(static_cast<std::size_t>(divisions[1])),
      n3_(static_cast<std::size_t>(divisions[2])),
      planes_(std::clamp<std::size_t>(kGatheredBytes / (sizeof(float) * n2_ * n3_), 1,
                                      kMostGatheredPlanes)) {
  map.resize(first + n1_ * n2_ * n3_);
  map_ = map.data() + first;
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
  float* map = map_;
  const bool whole_lines = planes == kMostGatheredPlanes && streamed_lines(map_) &&
                           first_plane_ % kMostGatheredPlanes == 0 &&
                           n1_ % kMostGatheredPlanes == 0;
  for (std::size_t j = 0; j < n2_; ++j) {
    for (std::size_t k = 0; k < n3_; ++k) {
      float* to = map + first_plane_ + n1_ * (j + n2_ * k);
      const float* from = gathered_.data() + j * n3_ + k;
      if (whole_lines) {
        place_line(from, plane, to);
      } else {
        for (std::size_t p = 0; p < planes; ++p) to[p] = from[p * plane];
      }
    }
  }
#if MAPCONV_STREAMED_LINES
  _mm_sfence();
#endif
  first_plane_ += planes;
  held_ = 0;
}

}  // namespace gridfile
