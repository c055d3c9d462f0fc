// The nine significant digits come from the magnitude scaled by a power of ten in double
// precision. The scaled value is within 2^-52 of the exact product, relatively: its nearest
// integer is the exact product's unless the exact product lies on or close beside a half,
// and such values, like the product's nearness to the next power of ten, are left to the exact
// one-value conversion. The digits and the fixed characters are then placed by one byte shuffle
// per value, chosen by the decimal exponent.
#include "textio/list_real_vector.hpp"

#include <array>
#include <bit>
#include <cstring>

#include "textio/vector_code.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define MAPCONV_VECTOR_TEXT 1
#endif

namespace textio {

#if MAPCONV_VECTOR_TEXT

namespace {

#define VECTOR_CODE __attribute__((target("avx2")))

// Decimal exponents formatted here: the fixed-point forms.
constexpr int kLowestExponent = -4;
constexpr int kHighestExponent = 8;
constexpr int kForms = kHighestExponent - kLowestExponent + 1;

// 10^-1 to 10^13: the powers that bring a magnitude of 1E-5 to 1E9 to nine digits, or one
// above (10^0 up are exact in double precision).
constexpr std::array<double, 15> kPowersOfTen = {1e-1, 1e0, 1e1, 1e2,  1e3,  1e4,  1e5, 1e6,
                                                 1e7,  1e8, 1e9, 1e10, 1e11, 1e12, 1e13};

// How near a half, or the rounding edge of the next power of ten, a scaled value may come and
// still be rounded here: far more than its own error of at most 1.2E-6.
constexpr double kMargin = 1.0 / 65536.0;
constexpr double kNextPowerEdge = 999999999.5;

// Source bytes of a value's shuffle: its eight digits after the first (0-7), the first digit,
// the point, a zero, a blank and the sign character.
constexpr char kFirstDigit = 8, kPoint = 9, kZero = 10, kBlank = 11, kSign = 12;

constexpr char digit_byte(int k) {
  return k == 0 ? kFirstDigit : static_cast<char>(k - 1);
}

// The shuffle of each decimal exponent: two blanks' columns (a blank and the sign), then
// d.ddd with the point after the exponent's place, or 0.000ddd.
constexpr auto kShuffles = [] {
  std::array<std::array<char, 16>, kForms> shuffles{};
  for (int exponent = kLowestExponent; exponent <= kHighestExponent; ++exponent) {
    auto& s = shuffles[static_cast<std::size_t>(exponent - kLowestExponent)];
    s.fill(kBlank);
    std::size_t at = 0;
    s[at++] = kBlank;
    s[at++] = kSign;
    if (exponent >= 0) {
      for (int k = 0; k <= 8; ++k) {
        s[at++] = digit_byte(k);
        if (k == exponent) s[at++] = kPoint;
      }
    } else {
      s[at++] = kZero;
      s[at++] = kPoint;
      for (int zero = 1; zero < -exponent; ++zero) s[at++] = kZero;
      for (int k = 0; k <= 8; ++k) s[at++] = digit_byte(k);
    }
  }
  return shuffles;
}();

// The text's length from the decimal exponent and the number of significant digits (1 to 9):
// the point is always there, trailing zeros after it are not.
constexpr std::uint8_t text_length(int exponent, int significant) {
  const int magnitude =
      exponent >= 0 ? std::max(significant, exponent + 1) + 1 : 1 - exponent + significant;
  return static_cast<std::uint8_t>(2 + magnitude);
}

VECTOR_CODE __m256i splat(int value) {
  return _mm256_set1_epi32(value);
}

// What four values (in double precision) scale to: the nine-digit integer, whether the power
// one lower was taken, and whether the result cannot be trusted.
struct Scaled {
  __m256d rounded;
  int lower_power;  // lane bits
  int doubtful;     // lane bits
};

// The powers of ten at `power` (from 10^-1) for four lanes.
VECTOR_CODE __m256d powers_of_ten(const double* from, __m128i power) {
  const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), from, power, all, 8);
}

VECTOR_CODE Scaled scale(__m256d magnitude, __m128i power) {
  const __m256d up = _mm256_mul_pd(magnitude, powers_of_ten(kPowersOfTen.data() + 1, power));
  const __m256d down = _mm256_mul_pd(magnitude, powers_of_ten(kPowersOfTen.data(), power));
  const __m256d no_sign = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m256d edge = _mm256_set1_pd(kNextPowerEdge);
  const __m256d lower = _mm256_cmp_pd(up, edge, _CMP_GE_OQ);
  const __m256d near_edge = _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(up, edge), no_sign),
                                          _mm256_set1_pd(kMargin), _CMP_LT_OQ);
  const __m256d scaled = _mm256_blendv_pd(up, down, lower);
  const __m256d rounded = _mm256_round_pd(scaled, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256d near_half = _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(scaled, rounded), no_sign),
                                          _mm256_set1_pd(0.5 - kMargin), _CMP_GT_OQ);
  return {rounded, _mm256_movemask_pd(lower),
          _mm256_movemask_pd(_mm256_or_pd(near_edge, near_half))};
}

// Lane bits of four to eight 32-bit lanes.
VECTOR_CODE __m256i lane_masks(int bits) {
  const __m256i lane_bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  return _mm256_cmpeq_epi32(_mm256_and_si256(splat(bits), lane_bit), lane_bit);
}

// pair / 10 for pair < 100.
VECTOR_CODE __m256i tens(__m256i pair) {
  return _mm256_srli_epi32(_mm256_mullo_epi32(pair, splat(103)), 10);
}

// The digits of x < 10^4 as four characters, the first in the lowest byte.
VECTOR_CODE __m256i four_digits(__m256i x) {
  const __m256i high = _mm256_srli_epi32(_mm256_mullo_epi32(x, splat(5243)), 19);  // x / 100
  const __m256i low = _mm256_sub_epi32(x, _mm256_mullo_epi32(high, splat(100)));
  const __m256i h1 = tens(high), l1 = tens(low);
  const __m256i h2 = _mm256_sub_epi32(high, _mm256_mullo_epi32(h1, splat(10)));
  const __m256i l2 = _mm256_sub_epi32(low, _mm256_mullo_epi32(l1, splat(10)));
  const __m256i digits =
      _mm256_or_si256(_mm256_or_si256(h1, _mm256_slli_epi32(h2, 8)),
                      _mm256_or_si256(_mm256_slli_epi32(l1, 16), _mm256_slli_epi32(l2, 24)));
  return _mm256_add_epi32(digits, splat(0x30303030));
}

// n = first digit x 10^8 + upper x 10^4 + lower, for four nine-digit integers n; each part is
// found exactly in double precision, since the constants 1E-8 and 1E-4 lie just above their
// values and so never round an exact quotient below its integer.
struct NineDigits {
  __m256d first, upper, lower;
};

VECTOR_CODE NineDigits split(__m256d n) {
  const __m256d first = _mm256_floor_pd(_mm256_mul_pd(n, _mm256_set1_pd(1e-8)));
  const __m256d rest = _mm256_sub_pd(n, _mm256_mul_pd(first, _mm256_set1_pd(1e8)));
  const __m256d upper = _mm256_floor_pd(_mm256_mul_pd(rest, _mm256_set1_pd(1e-4)));
  return {first, upper, _mm256_sub_pd(rest, _mm256_mul_pd(upper, _mm256_set1_pd(1e4)))};
}

// Eight 32-bit lanes from two halves of four doubles, each an integer below 2^31.
VECTOR_CODE __m256i whole_numbers(__m256d low, __m256d high) {
  return _mm256_set_m128i(_mm256_cvttpd_epi32(high), _mm256_cvttpd_epi32(low));
}

}  // namespace

bool list_real_vectors_available() {
  return vector_code_enabled();
}

VECTOR_CODE void format_list_reals_in_vectors(const float* values, ListRealHeads& heads) {
  const __m256i bits = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values));
  const __m256i magnitude = _mm256_and_si256(bits, splat(0x7FFFFFFF));
  const __m256i biased = _mm256_srli_epi32(magnitude, 23);
  // floor(binary exponent x log10 2): the decimal exponent or one below it.
  const __m256i estimate =
      _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(biased, splat(127)), splat(78913)), 18);
  const __m256i in_range =
      _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi32(biased, splat(0)),
                                        _mm256_cmpgt_epi32(splat(255), biased)),
                       _mm256_and_si256(_mm256_cmpgt_epi32(estimate, splat(kLowestExponent - 2)),
                                        _mm256_cmpgt_epi32(splat(kHighestExponent + 1), estimate)));
  const __m256i power =
      _mm256_min_epi32(_mm256_max_epi32(_mm256_sub_epi32(splat(8), estimate), splat(0)), splat(13));
  const __m256 single = _mm256_castsi256_ps(magnitude);
  const Scaled low =
      scale(_mm256_cvtps_pd(_mm256_castps256_ps128(single)), _mm256_castsi256_si128(power));
  const Scaled high =
      scale(_mm256_cvtps_pd(_mm256_extractf128_ps(single, 1)), _mm256_extracti128_si256(power, 1));
  const int lower_power = low.lower_power | high.lower_power << 4;
  const int doubtful = low.doubtful | high.doubtful << 4;
  const __m256i exponent = _mm256_sub_epi32(estimate, lane_masks(lower_power));

  const NineDigits digits_of_low = split(low.rounded), digits_of_high = split(high.rounded);
  const __m256i first = whole_numbers(digits_of_low.first, digits_of_high.first);
  const __m256i upper = four_digits(whole_numbers(digits_of_low.upper, digits_of_high.upper));
  const __m256i lower = four_digits(whole_numbers(digits_of_low.lower, digits_of_high.lower));
  const __m256i fixed = _mm256_add_epi32(first, splat('0' | '.' << 8 | '0' << 16 | ' ' << 24));
  const __m256i sign =
      _mm256_blendv_epi8(splat(' '), splat('-'), _mm256_cmpgt_epi32(_mm256_setzero_si256(), bits));
  const __m256i accepted =
      _mm256_and_si256(_mm256_andnot_si256(lane_masks(doubtful), in_range),
                       _mm256_and_si256(_mm256_cmpgt_epi32(exponent, splat(kLowestExponent - 1)),
                                        _mm256_cmpgt_epi32(splat(kHighestExponent + 1), exponent)));
  const int accepted_lanes = _mm256_movemask_ps(_mm256_castsi256_ps(accepted));

  // One value per 128-bit lane: its eight digits, then its first digit and fixed characters.
  const __m256i digits_low = _mm256_unpacklo_epi32(upper, lower);
  const __m256i digits_high = _mm256_unpackhi_epi32(upper, lower);
  const __m256i fixed_low = _mm256_unpacklo_epi32(fixed, sign);
  const __m256i fixed_high = _mm256_unpackhi_epi32(fixed, sign);
  const __m256i sources[4] = {_mm256_unpacklo_epi64(digits_low, fixed_low),
                              _mm256_unpackhi_epi64(digits_low, fixed_low),
                              _mm256_unpacklo_epi64(digits_high, fixed_high),
                              _mm256_unpackhi_epi64(digits_high, fixed_high)};
  alignas(32) std::int32_t exponents[kListRealLanes];
  _mm256_store_si256(reinterpret_cast<__m256i*>(exponents), exponent);
  const __m256i zero_digit = _mm256_set1_epi8('0');
  for (std::size_t pair = 0; pair < 4; ++pair) {
    // Values pair and pair + 4.
    const std::size_t lanes[2] = {pair, pair + 4};
    std::size_t form[2];
    for (int half = 0; half < 2; ++half) {
      const int e = exponents[lanes[half]];
      form[half] = e >= kLowestExponent && e <= kHighestExponent
                       ? static_cast<std::size_t>(e - kLowestExponent)
                       : 0;
    }
    const __m256i shuffle =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(kShuffles[form[1]].data()),
                            reinterpret_cast<const __m128i*>(kShuffles[form[0]].data()));
    const __m256i text = _mm256_shuffle_epi8(sources[pair], shuffle);
    _mm_store_si128(reinterpret_cast<__m128i*>(heads.text[lanes[0]]), _mm256_castsi256_si128(text));
    _mm_store_si128(reinterpret_cast<__m128i*>(heads.text[lanes[1]]),
                    _mm256_extracti128_si256(text, 1));
    const unsigned zeros =
        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(sources[pair], zero_digit)));
    for (int half = 0; half < 2; ++half) {
      const std::size_t lane = lanes[half];
      const unsigned nonzero =
          ~(zeros >> (16 * half)) & 0xFF;  // of the eight digits after the first
      heads.length[lane] = (accepted_lanes >> lane & 1)
                               ? text_length(exponents[lane], 1 + std::bit_width(nonzero))
                               : 0;
    }
  }
}

#else

bool list_real_vectors_available() {
  return false;
}

void format_list_reals_in_vectors(const float*, ListRealHeads& heads) {
  std::memset(heads.length, 0, sizeof heads.length);
}

#endif

}  // namespace textio
