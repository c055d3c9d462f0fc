// The list-directed text of eight single-precision reals at once, in the processor's vector
// registers where it has them (AVX2): the fixed-point forms that a map's values mostly take, with
// every other value left to the one-value conversion.
//
// Threads: any; the functions keep no state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textio {

inline constexpr std::size_t kListRealLanes = 8;

// The texts of a batch: at most 16 characters each, or length 0 for a value not formatted here.
struct ListRealHeads {
  alignas(32) char text[kListRealLanes][16];
  std::uint8_t length[kListRealLanes];
};

// Whether this build formats in vector registers and textio::vector_code_enabled().
bool list_real_vectors_available();

// The text of each of the eight values whose magnitude lies from 1E-4 up to 1E9, unless its
// nine digits round on a hair's breadth from a half; the others get length 0. The texts are
// those of format_list_real.
void format_list_reals_in_vectors(const float* values, ListRealHeads& heads);

}  // namespace textio
