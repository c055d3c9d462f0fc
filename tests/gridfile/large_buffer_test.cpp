// Large buffers: whole large pages from the threshold on, and values that survive growth and
// moves across it.
#include "gridfile/large_buffer.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <utility>

namespace {

using Allocator = gridfile::LargeBufferAllocator<float>;

TEST(LargeBufferTest, KeepsItsValuesAndStartsOnALargePageFromTheThreshold) {
  constexpr std::size_t kThreshold = Allocator::kLargeFrom / sizeof(float);
  for (const std::size_t count : {std::size_t{1}, kThreshold - 1, kThreshold, 3 * kThreshold + 5}) {
    gridfile::LargeBuffer<float> buffer(count);
    std::iota(buffer.begin(), buffer.end(), 0.0f);
    if (count >= kThreshold) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % Allocator::kLargePage, 0u)
          << count;
    }
    // Growing past the threshold, and moving, keep every value.
    buffer.resize(count + kThreshold, -1.0f);
    const gridfile::LargeBuffer<float> moved = std::move(buffer);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < count; ++i) wrong += moved[i] != static_cast<float>(i);
    for (std::size_t i = count; i < moved.size(); ++i) wrong += moved[i] != -1.0f;
    EXPECT_EQ(wrong, 0u) << count;
  }
}

}  // namespace
