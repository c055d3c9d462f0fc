#include "conversion/vector_batch.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "conversion/map_block.hpp"
#include "textio/vector_code.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define MAPCONV_VECTOR_BATCH 1
#endif

namespace conversion {

#if MAPCONV_VECTOR_BATCH

namespace {

#define VECTOR_CODE __attribute__((target("avx2")))

constexpr int kLanes = 8;

VECTOR_CODE __m256 splat(float value) {
  return _mm256_set1_ps(value);
}

// All bits set in the first `lanes` lanes.
VECTOR_CODE __m256i first_lanes(int lanes) {
  const __m256i numbers = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes), numbers);
}

// a - b * trunc(a / b).
VECTOR_CODE __m256 wrap(__m256 a, __m256 b) {
  const __m256 quotient =
      _mm256_round_ps(_mm256_div_ps(a, b), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  return _mm256_sub_ps(a, _mm256_mul_ps(b, quotient));
}

VECTOR_CODE __m256 within(__m256 coordinate, const BlockAxis& axis) {
  return _mm256_and_ps(_mm256_cmp_ps(coordinate, _mm256_setzero_ps(), _CMP_GE_OQ),
                       _mm256_cmp_ps(coordinate, splat(axis.last), _CMP_LE_OQ));
}

VECTOR_CODE __m256 direct_coordinate(__m256 fraction, const BlockAxis& axis) {
  const __m256 g = _mm256_sub_ps(_mm256_mul_ps(fraction, splat(axis.divisions)), splat(axis.start));
  return wrap(_mm256_add_ps(g, splat(axis.whole_periods)), splat(axis.divisions));
}

VECTOR_CODE __m256 inverse_coordinate(__m256 direct, const BlockAxis& axis) {
  const __m256 negated = _mm256_xor_ps(direct, splat(-0.0f));
  return wrap(
      _mm256_add_ps(_mm256_sub_ps(negated, splat(axis.twice_start)), splat(axis.whole_periods)),
      splat(axis.divisions));
}

// The lanes whose point lies in the block; `grid` holds its coordinates, or its inverse's when
// only that lies in the block.
VECTOR_CODE int lanes_in_block(const BlockLayout& block, const RowImage& image, __m256 z,
                               __m256 (&grid)[3]) {
  __m256 inside = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  for (int i = 0; i < 3; ++i) {
    const __m256 q = _mm256_add_ps(
        _mm256_add_ps(splat(image.row_sums[i]), _mm256_mul_ps(splat(image.z_column[i]), z)),
        splat(image.translation[i]));
    grid[i] = direct_coordinate(_mm256_add_ps(q, splat(image.shift[i])), block.axes[i]);
    inside = _mm256_and_ps(inside, within(grid[i], block.axes[i]));
  }
  const int direct_lanes = _mm256_movemask_ps(inside);
  if (!block.centric || direct_lanes == (1 << kLanes) - 1) return direct_lanes;
  __m256 inverse_inside = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  __m256 inverse[3];
  for (int i = 0; i < 3; ++i) {
    inverse[i] = inverse_coordinate(grid[i], block.axes[i]);
    inverse_inside = _mm256_and_ps(inverse_inside, within(inverse[i], block.axes[i]));
  }
  for (int i = 0; i < 3; ++i) grid[i] = _mm256_blendv_ps(inverse[i], grid[i], inside);
  return direct_lanes | _mm256_movemask_ps(inverse_inside);
}

// The codes at elements e and e + 1 of every selected lane, the first in the low half; 0 in the
// others.
VECTOR_CODE __m256i code_pairs(const BlockLayout& block, __m256i element, __m256i selected) {
  return _mm256_mask_i32gather_epi32(
      _mm256_setzero_si256(), reinterpret_cast<const int*>(block.values), element, selected, 2);
}

// The same, read lane by lane: the processor's prefetcher follows such reads along a row, where
// a gather leaves it behind.
VECTOR_CODE __m256i loaded_pairs(const BlockLayout& block, __m256i element, __m256i selected) {
  const int lanes = _mm256_movemask_ps(_mm256_castsi256_ps(selected));
  alignas(32) std::int32_t elements[8];
  alignas(32) std::uint32_t pairs[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(elements), element);
  for (int k = 0; k < 8; ++k) {
    std::uint32_t pair = 0;
    if (lanes >> k & 1) std::memcpy(&pair, block.values + elements[k], sizeof pair);
    pairs[k] = pair;
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(pairs));
}

// The first code of each pair.
VECTOR_CODE __m256 first_code(__m256i pairs) {
  return _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16));
}

// The second code of each pair, where the lane's point has a stored neighbour along x; else 0.
VECTOR_CODE __m256 second_code(__m256i pairs, __m256i has_next) {
  return _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srai_epi32(pairs, 16), has_next));
}

// The eight corners' weights and codes, summed in the portable code's order, and decoded.
struct Lanes8 {
  __m256 value;
  __m256i code;
  int left_out;  // lanes whose corners reach the last element
};

VECTOR_CODE Lanes8 interpolate8(const BlockLayout& block, const BatchCoordinates& grid,
                                std::size_t first, int lanes) {
  const __m256 g1 = _mm256_loadu_ps(grid[0].data() + first);
  const __m256 g2 = _mm256_loadu_ps(grid[1].data() + first);
  const __m256 g3 = _mm256_loadu_ps(grid[2].data() + first);
  const __m256i i1 = _mm256_cvttps_epi32(g1), i2 = _mm256_cvttps_epi32(g2),
                i3 = _mm256_cvttps_epi32(g3);
  const __m256 f1 = _mm256_sub_ps(g1, _mm256_cvtepi32_ps(i1));
  const __m256 f2 = _mm256_sub_ps(g2, _mm256_cvtepi32_ps(i2));
  const __m256 f3 = _mm256_sub_ps(g3, _mm256_cvtepi32_ps(i3));
  const __m256 a = _mm256_mul_ps(f1, f2), b = _mm256_mul_ps(f1, f3), c = _mm256_mul_ps(f2, f3);
  const __m256 d = _mm256_mul_ps(a, f3);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i x1 =
      _mm256_cmpgt_epi32(_mm256_set1_epi32(block.steps[0]), _mm256_add_epi32(i1, one));
  const __m256i y1 =
      _mm256_cmpgt_epi32(_mm256_set1_epi32(block.steps[1]), _mm256_add_epi32(i2, one));
  const __m256i z1 =
      _mm256_cmpgt_epi32(_mm256_set1_epi32(block.steps[2]), _mm256_add_epi32(i3, one));
  const __m256i lx = _mm256_set1_epi32(static_cast<int>(block.lx));
  const __m256i lxy = _mm256_set1_epi32(static_cast<int>(block.lxy));
  const __m256i element = _mm256_add_epi32(
      i1, _mm256_add_epi32(_mm256_mullo_epi32(lx, i2), _mm256_mullo_epi32(lxy, i3)));
  // Each corner read takes two codes; the pair read farthest on must not start at the last one.
  const __m256i farthest = _mm256_add_epi32(
      element, _mm256_add_epi32(_mm256_and_si256(lx, y1), _mm256_and_si256(lxy, z1)));
  const __m256i at_last =
      _mm256_cmpeq_epi32(farthest, _mm256_set1_epi32(static_cast<int>(block.value_count - 1)));
  const __m256i selected = _mm256_andnot_si256(at_last, first_lanes(lanes));
  const __m256 zero = _mm256_setzero_ps();
  const __m256 stored = _mm256_and_ps(
      _mm256_and_ps(_mm256_cmp_ps(f1, zero, _CMP_EQ_OQ), _mm256_cmp_ps(f2, zero, _CMP_EQ_OQ)),
      _mm256_cmp_ps(f3, zero, _CMP_EQ_OQ));
  // On a stored point every corner but the first two has weight +0, and a corner taken as 0
  // leaves the sum as it is: those corners are read only between stored points.
  const __m256i between = _mm256_andnot_si256(_mm256_castps_si256(stored), selected);
  const __m256i p0 = loaded_pairs(block, element, selected);
  const __m256i py =
      code_pairs(block, _mm256_add_epi32(element, lx), _mm256_and_si256(between, y1));
  const __m256i pz =
      code_pairs(block, _mm256_add_epi32(element, lxy), _mm256_and_si256(between, z1));
  const __m256i pyz = code_pairs(block, _mm256_add_epi32(element, _mm256_add_epi32(lx, lxy)),
                                 _mm256_and_si256(between, _mm256_and_si256(y1, z1)));
  const __m256 w0 = _mm256_sub_ps(
      _mm256_add_ps(
          _mm256_add_ps(
              _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(_mm256_sub_ps(splat(1.0f), f1), f2), f3),
                            a),
              b),
          c),
      d);
  const __m256 w1 = _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(f1, a), b), d);
  const __m256 w2 = _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(f2, a), c), d);
  const __m256 w3 = _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(f3, b), c), d);
  __m256 t = _mm256_mul_ps(w0, first_code(p0));
  t = _mm256_add_ps(t, _mm256_mul_ps(w1, second_code(p0, x1)));
  t = _mm256_add_ps(t, _mm256_mul_ps(w2, first_code(py)));
  t = _mm256_add_ps(t, _mm256_mul_ps(w3, first_code(pz)));
  t = _mm256_add_ps(t, _mm256_mul_ps(_mm256_sub_ps(a, d), second_code(py, x1)));
  t = _mm256_add_ps(t, _mm256_mul_ps(_mm256_sub_ps(b, d), second_code(pz, x1)));
  t = _mm256_add_ps(t, _mm256_mul_ps(_mm256_sub_ps(c, d), first_code(pyz)));
  t = _mm256_add_ps(t, _mm256_mul_ps(d, second_code(pyz, x1)));
  // On a stored point the sum is exactly that point's code, and so is its decoded value.
  const __m256 value = _mm256_add_ps(
      _mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(_mm256_div_ps(t, splat(kCodeScale)), splat(1.0f)),
                                  splat(block.density_range)),
                    splat(0.5f)),
      splat(block.density_minimum));
  const __m256i code = _mm256_blendv_epi8(_mm256_set1_epi32(Sample::kNoCode),
                                          _mm256_srai_epi32(_mm256_slli_epi32(p0, 16), 16),
                                          _mm256_castps_si256(stored));
  const int left_out =
      _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_and_si256(at_last, first_lanes(lanes))));
  return {value, code, left_out};
}

static_assert(sizeof(Sample) == 2 * sizeof(float) && offsetof(Sample, code) == sizeof(float));

VECTOR_CODE void store(const Lanes8& lanes8, int lanes, Sample* out) {
  const __m256 codes = _mm256_castsi256_ps(lanes8.code);
  const __m256 low = _mm256_unpacklo_ps(lanes8.value, codes);
  const __m256 high = _mm256_unpackhi_ps(lanes8.value, codes);
  alignas(32) float pairs[2 * kLanes];
  _mm256_store_ps(pairs, _mm256_permute2f128_ps(low, high, 0x20));
  _mm256_store_ps(pairs + kLanes, _mm256_permute2f128_ps(low, high, 0x31));
  std::memcpy(out, pairs, static_cast<std::size_t>(lanes) * sizeof(Sample));
}

}  // namespace

bool vector_batch_available() {
  return textio::vector_code_enabled();
}

VECTOR_CODE std::size_t find_images_vector(const BlockLayout& block, const RowImage& image,
                                           const float* z, std::size_t count,
                                           BatchCoordinates& grid) {
  for (std::size_t first = 0; first < count; first += kLanes) {
    const int lanes = static_cast<int>(std::min<std::size_t>(kLanes, count - first));
    const __m256 zs = _mm256_maskload_ps(z + first, first_lanes(lanes));
    __m256 coordinates[3];
    const int inside = lanes_in_block(block, image, zs, coordinates);
    for (int i = 0; i < 3; ++i) _mm256_storeu_ps(grid[i].data() + first, coordinates[i]);
    const int wanted = (1 << lanes) - 1;
    if ((inside & wanted) != wanted) {
      return first + static_cast<std::size_t>(std::countr_one(static_cast<unsigned>(inside)));
    }
  }
  return count;
}

VECTOR_CODE std::uint32_t interpolate_vector(const BlockLayout& block, const BatchCoordinates& grid,
                                             std::size_t count, Sample* out) {
  std::uint32_t left_out = 0;
  for (std::size_t first = 0; first < count; first += kLanes) {
    const int lanes = static_cast<int>(std::min<std::size_t>(kLanes, count - first));
    const Lanes8 samples = interpolate8(block, grid, first, lanes);
    store(samples, lanes, out + first);
    left_out |= static_cast<std::uint32_t>(samples.left_out) << first;
  }
  return left_out;
}

#else

bool vector_batch_available() {
  return false;
}

std::size_t find_images_vector(const BlockLayout&, const RowImage&, const float*, std::size_t,
                               BatchCoordinates&) {
  return 0;
}

std::uint32_t interpolate_vector(const BlockLayout&, const BatchCoordinates&, std::size_t,
                                 Sample*) {
  return 0;
}

#endif

}  // namespace conversion
