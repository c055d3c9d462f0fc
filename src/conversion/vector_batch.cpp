#include "conversion/vector_batch.hpp"

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstring>

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

// Lanes for the shared steps of sampling_steps.hpp. Their operators are the compiler's plain
// vector arithmetic, which needs no target attribute: a shared step instantiated with them is
// inlined into the vector functions below and compiled there with AVX2. A float operand is
// taken in every lane.
struct Floats8 {
  __m256 v;
};

using LaneBits = std::int32_t __attribute__((vector_size(32)));

struct Mask8 {
  LaneBits bits;  // all ones in the lanes where the test holds
};

template <typename T>
concept LaneOperand = std::same_as<T, Floats8> || std::same_as<T, float>;

// The lane operators are always inlined, like the shared steps that use them: a call to one
// compiled on its own, without AVX2, would take its eight-lane operands in memory where the
// vector functions hand them over in registers (an unoptimised build would crash there).
#define LANE_OPERATOR [[gnu::always_inline]] inline

// The operand as the compiler's vector arithmetic takes it; a float is taken in every lane.
LANE_OPERATOR const __m256& lanes(const Floats8& a) {
  return a.v;
}
LANE_OPERATOR float lanes(float a) {
  return a;
}

template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Floats8 operator+(A a, B b) {
  return {lanes(a) + lanes(b)};
}
template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Floats8 operator-(A a, B b) {
  return {lanes(a) - lanes(b)};
}
template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Floats8 operator*(A a, B b) {
  return {lanes(a) * lanes(b)};
}
template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Floats8 operator/(A a, B b) {
  return {lanes(a) / lanes(b)};
}
LANE_OPERATOR Floats8 operator-(Floats8 a) {
  return {-a.v};
}
template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Mask8 operator>=(A a, B b) {
  return {lanes(a) >= lanes(b)};
}
template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Mask8 operator<=(A a, B b) {
  return {lanes(a) <= lanes(b)};
}
template <LaneOperand A, LaneOperand B>
LANE_OPERATOR Mask8 operator==(A a, B b) {
  return {lanes(a) == lanes(b)};
}
LANE_OPERATOR Mask8 operator&(Mask8 a, Mask8 b) {
  return {a.bits & b.bits};
}

// The mask's bits as the integer instructions take them.
VECTOR_CODE __m256i as_integers(Mask8 mask) {
  return (__m256i)mask.bits;
}

// Bit k set where lane k's test holds.
VECTOR_CODE int lanes_set(Mask8 mask) {
  return _mm256_movemask_ps(_mm256_castsi256_ps(as_integers(mask)));
}

VECTOR_CODE Mask8 all_lanes() {
  return {LaneBits{} == LaneBits{}};
}

// All bits set in the first `lanes` lanes.
VECTOR_CODE __m256i first_lanes(int lanes) {
  const __m256i numbers = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes), numbers);
}

// The steps that need vector instructions, each named after the portable step it mirrors and
// taking its operations in its order.

// Mirrors wrap(): a - b * trunc(a / b).
VECTOR_CODE Floats8 wrap(Floats8 a, float b) {
  const Floats8 quotient = {_mm256_round_ps((a / b).v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC)};
  return a - b * quotient;
}

// Mirrors direct_coordinate().
VECTOR_CODE Floats8 direct_coordinate(Floats8 fraction, const BlockAxis& axis) {
  return wrap(shifted_grid_coordinate(fraction, axis), axis.divisions);
}

// Mirrors inverse_coordinate().
VECTOR_CODE Floats8 inverse_coordinate(Floats8 direct, const BlockAxis& axis) {
  return wrap(shifted_inverse_coordinate(direct, axis), axis.divisions);
}

// Mirrors GridCell and grid_cell().
struct GridCells8 {
  __m256i index;
  Floats8 fraction;
};
VECTOR_CODE GridCells8 grid_cell(Floats8 coordinate) {
  const __m256i index = _mm256_cvttps_epi32(coordinate.v);
  return {index, coordinate - Floats8{_mm256_cvtepi32_ps(index)}};
}

// Mirrors has_next(): all bits set in the lanes whose index + 1 < steps.
VECTOR_CODE __m256i has_next(__m256i index, int steps) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(steps),
                            _mm256_add_epi32(index, _mm256_set1_epi32(1)));
}

// The lanes whose point lies in the block; `grid` holds its coordinates, or its inverse's when
// only that lies in the block. Mirrors MapSampler::find_images, one point per lane: the image,
// the direct coordinate and its test, then the inverse coordinate and its test.
VECTOR_CODE int lanes_in_block(const BlockGeometry& block, const RowImage& image, Floats8 z,
                               Floats8 (&grid)[3]) {
  Mask8 inside = all_lanes();
  for (std::size_t i = 0; i < 3; ++i) {
    const Floats8 q =
        image_coordinate(image.row_sums[i], image.z_column[i], z, image.translation[i]);
    grid[i] = direct_coordinate(q + image.shift[i], block.axes[i]);
    inside = inside & within_block(grid[i], block.axes[i]);
  }
  const int direct_lanes = lanes_set(inside);
  if (!block.centric || direct_lanes == (1 << kLanes) - 1) return direct_lanes;
  Mask8 inverse_inside = all_lanes();
  Floats8 inverse[3];
  for (std::size_t i = 0; i < 3; ++i) {
    inverse[i] = inverse_coordinate(grid[i], block.axes[i]);
    inverse_inside = inverse_inside & within_block(inverse[i], block.axes[i]);
  }
  const __m256 keep_direct = _mm256_castsi256_ps(as_integers(inside));
  for (int i = 0; i < 3; ++i) grid[i].v = _mm256_blendv_ps(inverse[i].v, grid[i].v, keep_direct);
  return direct_lanes | lanes_set(inverse_inside);
}

// The codes at elements e and e + 1 of every selected lane, the first in the low half; 0 in the
// others.
VECTOR_CODE __m256i code_pairs(const BlockGeometry& block, __m256i element, __m256i selected) {
  return _mm256_mask_i32gather_epi32(
      _mm256_setzero_si256(), reinterpret_cast<const int*>(block.values), element, selected, 2);
}

// The same, read lane by lane: the processor's prefetcher follows such reads along a row, where
// a gather leaves it behind.
VECTOR_CODE __m256i loaded_pairs(const BlockGeometry& block, __m256i element, __m256i selected) {
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
VECTOR_CODE Floats8 first_code(__m256i pairs) {
  return {_mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16))};
}

// The second code of each pair, where the lane's point has a stored neighbour along x; else 0.
VECTOR_CODE Floats8 second_code(__m256i pairs, __m256i next_stored) {
  return {_mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srai_epi32(pairs, 16), next_stored))};
}

// Eight samples: values, and codes where the point is a stored one.
struct Samples8 {
  __m256 value;
  __m256i code;
  int left_out;  // lanes whose corners reach the last element
};

// Mirrors MapSampler::interpolate for one point per lane.
VECTOR_CODE Samples8 interpolate8(const BlockGeometry& block, const BatchCoordinates& grid,
                                  std::size_t first, int lanes) {
  const GridCells8 c1 = grid_cell({_mm256_loadu_ps(grid[0].data() + first)});
  const GridCells8 c2 = grid_cell({_mm256_loadu_ps(grid[1].data() + first)});
  const GridCells8 c3 = grid_cell({_mm256_loadu_ps(grid[2].data() + first)});
  const __m256i lx = _mm256_set1_epi32(static_cast<int>(block.lx));
  const __m256i lxy = _mm256_set1_epi32(static_cast<int>(block.lxy));
  const __m256i element = _mm256_add_epi32(
      c1.index,
      _mm256_add_epi32(_mm256_mullo_epi32(lx, c2.index), _mm256_mullo_epi32(lxy, c3.index)));
  const Mask8 stored = (c1.fraction == 0.0f) & (c2.fraction == 0.0f) & (c3.fraction == 0.0f);
  const __m256i x1 = has_next(c1.index, block.steps[0]), y1 = has_next(c2.index, block.steps[1]),
                z1 = has_next(c3.index, block.steps[2]);
  // Each corner read takes two codes; the pair read farthest on must not start at the last one.
  const __m256i farthest = _mm256_add_epi32(
      element, _mm256_add_epi32(_mm256_and_si256(lx, y1), _mm256_and_si256(lxy, z1)));
  const __m256i at_last =
      _mm256_cmpeq_epi32(farthest, _mm256_set1_epi32(static_cast<int>(block.value_count - 1)));
  const __m256i selected = _mm256_andnot_si256(at_last, first_lanes(lanes));
  // On a stored point every corner but the first two has weight +0, and a corner taken as 0
  // leaves the sum as it is: those corners are read only between stored points.
  const __m256i between = _mm256_andnot_si256(as_integers(stored), selected);
  const __m256i p0 = loaded_pairs(block, element, selected);
  const __m256i py =
      code_pairs(block, _mm256_add_epi32(element, lx), _mm256_and_si256(between, y1));
  const __m256i pz =
      code_pairs(block, _mm256_add_epi32(element, lxy), _mm256_and_si256(between, z1));
  const __m256i pyz = code_pairs(block, _mm256_add_epi32(element, _mm256_add_epi32(lx, lxy)),
                                 _mm256_and_si256(between, _mm256_and_si256(y1, z1)));
  const Corners<Floats8> codes = {first_code(p0),  second_code(p0, x1), first_code(py),
                                  first_code(pz),  second_code(py, x1), second_code(pz, x1),
                                  first_code(pyz), second_code(pyz, x1)};
  const Floats8 sum = weighted_sum(corner_weights(c1.fraction, c2.fraction, c3.fraction), codes);
  // On a stored point the sum is exactly that point's code, and so is its decoded value.
  const Floats8 value = decoded(sum, block);
  const __m256i code =
      _mm256_blendv_epi8(_mm256_set1_epi32(Sample::kNoCode),
                         _mm256_srai_epi32(_mm256_slli_epi32(p0, 16), 16), as_integers(stored));
  const int left_out =
      _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_and_si256(at_last, first_lanes(lanes))));
  return {value.v, code, left_out};
}

static_assert(sizeof(Sample) == 2 * sizeof(float) && offsetof(Sample, code) == sizeof(float));

VECTOR_CODE void store(const Samples8& samples, int lanes, Sample* out) {
  const __m256 codes = _mm256_castsi256_ps(samples.code);
  const __m256 low = _mm256_unpacklo_ps(samples.value, codes);
  const __m256 high = _mm256_unpackhi_ps(samples.value, codes);
  alignas(32) float pairs[2 * kLanes];
  _mm256_store_ps(pairs, _mm256_permute2f128_ps(low, high, 0x20));
  _mm256_store_ps(pairs + kLanes, _mm256_permute2f128_ps(low, high, 0x31));
  std::memcpy(out, pairs, static_cast<std::size_t>(lanes) * sizeof(Sample));
}

}  // namespace

bool vector_batch_available() {
  return textio::vector_code_enabled();
}

VECTOR_CODE std::size_t find_images_vector(const BlockGeometry& block, const RowImage& image,
                                           const float* z, std::size_t count,
                                           BatchCoordinates& grid) {
  for (std::size_t first = 0; first < count; first += kLanes) {
    const int lanes = static_cast<int>(std::min<std::size_t>(kLanes, count - first));
    const Floats8 zs = {_mm256_maskload_ps(z + first, first_lanes(lanes))};
    Floats8 coordinates[3];
    const int inside = lanes_in_block(block, image, zs, coordinates);
    for (int i = 0; i < 3; ++i) _mm256_storeu_ps(grid[i].data() + first, coordinates[i].v);
    const int wanted = (1 << lanes) - 1;
    if ((inside & wanted) != wanted) {
      return first + static_cast<std::size_t>(std::countr_one(static_cast<unsigned>(inside)));
    }
  }
  return count;
}

VECTOR_CODE std::uint32_t interpolate_vector(const BlockGeometry& block,
                                             const BatchCoordinates& grid, std::size_t count,
                                             Sample* out) {
  std::uint32_t left_out = 0;
  for (std::size_t first = 0; first < count; first += kLanes) {
    const int lanes = static_cast<int>(std::min<std::size_t>(kLanes, count - first));
    const Samples8 samples = interpolate8(block, grid, first, lanes);
    store(samples, lanes, out + first);
    left_out |= static_cast<std::uint32_t>(samples.left_out) << first;
  }
  return left_out;
}

#else

bool vector_batch_available() {
  return false;
}

std::size_t find_images_vector(const BlockGeometry&, const RowImage&, const float*, std::size_t,
                               BatchCoordinates&) {
  return 0;
}

std::uint32_t interpolate_vector(const BlockGeometry&, const BatchCoordinates&, std::size_t,
                                 Sample*) {
  return 0;
}

#endif

}  // namespace conversion
