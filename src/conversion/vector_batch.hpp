// The batch step of row sampling in the processor's 8-lane single-precision registers, where it
// has them (AVX2). Each lane takes the steps of sampling_steps.hpp that the portable code takes,
// in the same order, so that every value and code is the portable one bit for bit.
//
// Threads: any; the functions keep no state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "conversion/sample.hpp"
#include "conversion/sampling_steps.hpp"

namespace conversion {

// Whether this build runs the vector batch and textio::vector_code_enabled().
bool vector_batch_available();

// How many points at the front of the batch z[0 .. count) the image brings into the block, or,
// for a centric block, its inverse; count at most kBatchPoints. The block coordinates of those
// points go to `grid`.
std::size_t find_images_vector(const BlockGeometry& block, const RowImage& image, const float* z,
                               std::size_t count, BatchCoordinates& grid);

// The samples at the first `count` points of `grid` to `out`. A point whose corners lie at the
// block's last element is left out: the result has bit j set for each such point j, for the
// caller to interpolate. The block holds fewer than 2^31 elements.
std::uint32_t interpolate_vector(const BlockGeometry& block, const BatchCoordinates& grid,
                                 std::size_t count, Sample* out);

}  // namespace conversion
