// The list-directed text of a real: "%.9G" of the value widened to double, always with a
// decimal point and with a three-digit exponent. The grid file writes one of these for every
// point of the cell, so every finite single-precision value takes an exact integer path of its
// own; anything else goes through the C library.
#include "textio/list_real.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "textio/list_real_vector.hpp"
#include "textio/records.hpp"

namespace textio {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr int kSignificant = 9;
constexpr std::uint32_t kSmallest9Digit = 100000000;  // 10^8
constexpr std::uint32_t kBeyond9Digit = 1000000000;   // 10^9

// ---- Powers of ten as 64-bit significands ----

// 10^p rounded up to 64 significant bits: significand x 2^exponent with
// 2^63 <= significand < 2^64.
struct PowerOfTen {
  std::uint64_t significand;
  int exponent;
};

constexpr int bit_length(u128 n) {
  int length = 0;
  for (; n != 0; n >>= 1) ++length;
  return length;
}

// 5^p x 2^p, from the exact 5^p (below 2^128 for every p used here).
constexpr PowerOfTen positive_power(int p) {
  u128 five = 1;
  for (int i = 0; i < p; ++i) five *= 5;
  int length = bit_length(five);
  if (length <= 64) return {static_cast<std::uint64_t>(five << (64 - length)), p - (64 - length)};
  int dropped = length - 64;
  bool inexact = (five & ((static_cast<u128>(1) << dropped) - 1)) != 0;
  return {static_cast<std::uint64_t>(five >> dropped) + inexact, p + dropped};
}

// 1 / (5^q x 2^q): 2^(63 + length of 5^q) / 5^q by long division, rounded up.
constexpr PowerOfTen negative_power(int q) {
  u128 five = 1;
  for (int i = 0; i < q; ++i) five *= 5;
  int length = bit_length(five);
  u128 quotient = 0, remainder = 1;
  for (int i = 0; i < 63 + length; ++i) {
    remainder <<= 1;
    quotient <<= 1;
    if (remainder >= five) {
      remainder -= five;
      quotient |= 1;
    }
  }
  return {static_cast<std::uint64_t>(quotient) + (remainder != 0), -(63 + length) - q};
}

// Nine digits of a float need 10^p from 10^-31 (values near 3.4E+038, after the decimal
// exponent is corrected) to 10^53 (the smallest subnormal, 1.4E-045).
constexpr int kMinPower = -31;
constexpr int kMaxPower = 53;

constexpr auto kPowersOfTen = [] {
  std::array<PowerOfTen, kMaxPower - kMinPower + 1> table{};
  for (int p = kMinPower; p <= kMaxPower; ++p) {
    table[static_cast<std::size_t>(p - kMinPower)] =
        p >= 0 ? positive_power(p) : negative_power(-p);
  }
  return table;
}();
static_assert(std::all_of(kPowersOfTen.begin(), kPowersOfTen.end(),
                          [](const PowerOfTen& power) { return power.significand >> 63 == 1; }));

// ---- Nine significant digits of a float ----

// Whether m x 2^e x 10^p lies exactly half-way between two integers, that is, whether twice
// it, m x 5^p x 2^(e+p+1) for p >= 0, is odd. For p < 0 the value is at least 10^9 and would
// be (2n + 1) x 5^-p x 2^(-p-1) with 2n + 1 > 2 x 10^8: an odd factor wider than a float's 24
// bits, so no float is half-way there.
bool is_half_way(std::uint32_t m, int e, int p) {
  return p >= 0 && std::countr_zero(m) + e + p + 1 == 0;
}

// m x 2^e x 10^p rounded to the nearest integer, ties to even (as the C library rounds), for
// results below 2^34. The product with the rounded-up power exceeds the exact value by less
// than 2^-29; no float comes that close below a half-way point without being on it (the
// all-patterns check bears this out), so a product at or above the half rounds up unless the
// exact value is on the half.
std::uint64_t scaled_rounded(std::uint32_t m, int e, int p) {
  const PowerOfTen& power = kPowersOfTen[static_cast<std::size_t>(p - kMinPower)];
  u128 product = static_cast<u128>(m) * power.significand;
  int shift = -(e + power.exponent);  // 36 to 63 for every float
  std::uint64_t whole = static_cast<std::uint64_t>(product >> shift);
  std::uint64_t fraction = static_cast<std::uint64_t>(product) & ((std::uint64_t{1} << shift) - 1);
  std::uint64_t half = std::uint64_t{1} << (shift - 1);
  std::uint64_t error = std::uint64_t{1} << (shift - 28);
  std::uint64_t above_half = fraction - half;  // wraps around when the fraction is below it
  if (above_half < error && is_half_way(m, e, p)) return whole + (whole & 1);
  return whole + (fraction >= half);
}

// The float's value as digits x 10^(exponent - 8), digits having exactly nine digits.
struct NineDigits {
  std::uint32_t digits;
  int exponent;
};

NineDigits nine_digits_of(std::uint32_t bits) {
  std::uint32_t fraction = bits & 0x7FFFFF;
  int biased = static_cast<int>(bits >> 23);
  std::uint32_t m = biased == 0 ? fraction : fraction | 0x800000;
  int e = biased == 0 ? -149 : biased - 150;
  int binary_exponent = e + std::bit_width(m) - 1;
  // floor(binary_exponent x log10(2)): the decimal exponent or one below it.
  int exponent = (binary_exponent * 78913) >> 18;
  std::uint64_t n = scaled_rounded(m, e, kSignificant - 1 - exponent);
  if (n >= kBeyond9Digit) {
    ++exponent;
    n = scaled_rounded(m, e, kSignificant - 1 - exponent);
  }
  return {static_cast<std::uint32_t>(n), exponent};
}

// ---- Text ----

constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

std::uint64_t digit_pair(std::uint32_t n) {
  std::uint16_t pair;
  std::memcpy(&pair, &kDigitPairs[2 * n], 2);
  return pair;
}

// Texts are assembled in 128-bit words, the first character in the lowest byte, and stored
// whole: no narrow stores that a wider load of the same bytes would have to wait for.
u128 low_bytes(u128 text, int count) {
  return text & ((static_cast<u128>(1) << (8 * count)) - 1);
}

// The eight digits of n < 10^8, the first in the lowest byte.
std::uint64_t eight_digits(std::uint32_t n) {
  std::uint32_t high = n / 10000, low = n % 10000;
  return digit_pair(high / 100) | digit_pair(high % 100) << 16 | digit_pair(low / 100) << 32 |
         digit_pair(low % 100) << 48;
}

// "E", the sign and three digits of a decimal exponent.
std::uint64_t exponent_text(int exponent) {
  std::uint32_t shown = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
  return 'E' | static_cast<std::uint64_t>(exponent < 0 ? '-' : '+') << 8 |
         std::uint64_t{'0' + shown / 100} << 16 | digit_pair(shown % 100) << 24;
}

constexpr std::uint64_t kZeroDigits = 0x3030303030303030;

// The magnitude in "%.9G" form with a point always present: at most 15 characters.
struct MagnitudeText {
  u128 text;
  int length;
};

MagnitudeText magnitude_text(NineDigits value) {
  std::uint32_t first = value.digits / kSmallest9Digit;
  std::uint64_t rest = eight_digits(value.digits - first * kSmallest9Digit);
  std::uint64_t rest_values = rest ^ kZeroDigits;  // zero bytes where the digit is 0
  int significant = 1 + (rest_values == 0 ? 0 : 8 - std::countl_zero(rest_values) / 8);
  u128 digits = ('0' + first) | static_cast<u128>(rest) << 8;
  int exponent = value.exponent;
  if (exponent < -4 || exponent >= kSignificant) {
    int length = significant + 1;
    u128 mantissa = low_bytes((digits & 0xFF) | u128{'.'} << 8 | (digits >> 8) << 16, length);
    return {mantissa | static_cast<u128>(exponent_text(exponent)) << (8 * length), length + 5};
  }
  if (exponent >= 0) {
    int whole = exponent + 1;
    return {low_bytes(digits, whole) | static_cast<u128>('.') << (8 * whole) |
                (digits >> (8 * whole)) << (8 * (whole + 1)),
            std::max(significant, whole) + 1};
  }
  int zeros = -exponent - 1;
  return {low_bytes(0x303030302E30, 2 + zeros) | digits << (8 * (2 + zeros)),  // "0.000"
          2 + zeros + significant};
}

constexpr std::uint32_t kMagnitudeBits = 0x7FFFFFFF;
constexpr std::uint32_t kInfinityBits = 0x7F800000;

// The whole list-directed text of a finite float: characters 0-15 in `head`, 16 and 17 in
// `tail` (only the longest exponent forms reach them).
struct ListText {
  u128 head;
  std::uint16_t tail;
  std::uint8_t length;
};

ListText finite_text(std::uint32_t bits) {
  std::uint32_t magnitude = bits & kMagnitudeBits;
  if (magnitude == 0) return {0x2E302020, 0, 4};  // "  0."
  MagnitudeText text = magnitude_text(nine_digits_of(magnitude));
  u128 sign = magnitude == bits ? ' ' : '-';
  return {' ' | sign << 8 | text.text << 16, static_cast<std::uint16_t>(text.text >> 112),
          static_cast<std::uint8_t>(text.length + 2)};
}

std::size_t store(const ListText& text, char* out) {
  std::memcpy(out, &text.head, sizeof text.head);
  std::memcpy(out + sizeof text.head, &text.tail, sizeof text.tail);
  return text.length;
}

// The C library's "%.9G" made to carry a point and a three-digit exponent.
std::size_t library_magnitude(double magnitude, char* out) {
  char buffer[48];
  int length = std::snprintf(buffer, sizeof buffer, "%.9G", magnitude);
  std::size_t n = 0;
  bool has_point = std::memchr(buffer, '.', static_cast<std::size_t>(length)) != nullptr;
  const char* e =
      static_cast<const char*>(std::memchr(buffer, 'E', static_cast<std::size_t>(length)));
  bool finite = std::isfinite(magnitude);
  std::size_t mantissa_length =
      e ? static_cast<std::size_t>(e - buffer) : static_cast<std::size_t>(length);
  std::memcpy(out, buffer, mantissa_length);
  n = mantissa_length;
  if (!has_point && finite) out[n++] = '.';
  if (e) {
    int exponent = std::atoi(e + 1);
    n += static_cast<std::size_t>(std::snprintf(out + n, 8, "E%c%03d", exponent < 0 ? '-' : '+',
                                                exponent < 0 ? -exponent : exponent));
  }
  return n;
}

}  // namespace

std::size_t format_list_real(float value, char* out) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  if ((bits & kInfinityBits) != kInfinityBits) return store(finite_text(bits), out);
  return format_list_real(static_cast<double>(value), out);
}

std::size_t format_list_real(double value, char* out) {
  if (std::fabs(value) <= std::numeric_limits<float>::max()) {
    float single = static_cast<float>(value);
    if (static_cast<double>(single) == value)
      return store(finite_text(std::bit_cast<std::uint32_t>(single)), out);
  }
  out[0] = ' ';
  out[1] = std::signbit(value) ? '-' : ' ';
  return 2 + library_magnitude(std::fabs(value), out + 2);
}

static_assert(kListRealBatch == kListRealLanes);

std::size_t format_list_real_lines(const float* values, const ShortLineEnd& line_end, char* out) {
  static const bool in_vectors = list_real_vectors_available();
  ListRealHeads heads;
  if (in_vectors) {
    format_list_reals_in_vectors(values, heads);
  } else {
    std::fill(std::begin(heads.length), std::end(heads.length), 0);
  }
  char* const start = out;
  for (std::size_t i = 0; i < kListRealBatch; ++i) {
    if (heads.length[i] != 0) {
      std::memcpy(out, heads.text[i], sizeof heads.text[i]);
      out += heads.length[i];
    } else {
      out += format_list_real(values[i], out);
    }
    out += line_end.put(out);
  }
  return static_cast<std::size_t>(out - start);
}

ListRealCache::ListRealCache(std::size_t distinct_values)
    : slot_bits_(std::bit_width(std::clamp(distinct_values, kLeastSlots, kMostSlots) - 1)),
      slot_mask_(static_cast<std::uint16_t>((std::size_t{1} << slot_bits_) - 1)),
      entries_(std::make_unique<Entry[]>(std::size_t{1} << slot_bits_)) {}

std::size_t ListRealCache::format(float value, char* out) {
  // Fibonacci hashing spreads neighbouring bit patterns over the whole table.
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  return format(value, static_cast<std::uint16_t>((bits * 0x9E3779B1u) >> (32 - slot_bits_)), out);
}

std::size_t ListRealCache::format(float value, std::uint16_t slot, char* out) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  if ((bits & kInfinityBits) == kInfinityBits) return format_list_real(value, out);
  Entry& entry = entry_of(slot);
  if (entry.bits == bits && entry.length != 0) {
    std::memcpy(out, entry.head, sizeof entry.head);
    std::memcpy(out + sizeof entry.head, &entry.tail, sizeof entry.tail);
    return entry.length;
  }
  ListText text = finite_text(bits);
  entry.bits = bits;
  entry.length = text.length;
  entry.tail = text.tail;
  std::memcpy(entry.head, &text.head, sizeof entry.head);
  return store(text, out);
}

}  // namespace textio
