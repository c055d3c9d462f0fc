#include "gridfile/value_text.hpp"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

namespace gridfile {

namespace {

// What a plain value line passes through is kept inline (gnu::always_inline) in the loop over the
// lines: a call for each of these small pieces would cost more than the piece itself.

constexpr int kMostMantissaDigits = 19;  // 10^19 - 1 still fits a std::uint64_t
constexpr int kMostExponentDigits = 4;
constexpr std::uint64_t kExactIntegers = std::uint64_t{1} << 53;  // every integer below is a double

// The powers of ten that a double holds exactly.
constexpr std::array<double, 23> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = static_cast<int>(kExactPowersOfTen.size()) - 1;

// A float's significand has 29 bits fewer than a double's. A double that lies halfway between
// two adjacent normal floats has exactly the highest of those 29 bits set.
constexpr std::uint64_t kBitsBelowFloat = (std::uint64_t{1} << 29) - 1;
constexpr std::uint64_t kHalfwayBits = std::uint64_t{1} << 28;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal number mantissa x 10^exponent, its digits read.
struct Decimal {
  bool negative = false;
  std::uint64_t mantissa = 0;
  int exponent = 0;
};

// The eight digits at `p` as a number, when the eight characters there are all digits. The
// characters are taken as the bytes of one word, first character lowest.
[[gnu::always_inline]] inline std::optional<std::uint64_t> eight_digits(const char* p) {
  if constexpr (std::endian::native != std::endian::little) return std::nullopt;
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  // A digit's byte is 0x3_, and stays 0x3_ when 6 is added to it.
  constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0;
  constexpr std::uint64_t kThrees = 0x3030303030303030;
  if ((word & kHighHalves) != kThrees || ((word + 0x0606060606060606) & kHighHalves) != kThrees) {
    return std::nullopt;
  }
  word -= kThrees;
  // Neighbouring numbers merge into one of twice the width: 8 numbers of one digit into 4 of two,
  // 2 of four and 1 of eight, each step exact within its lanes.
  word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FF;
  word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFF;
  return (word * 10000 + (word >> 32)) & 0xFFFFFFFF;
}

// Reads digits into `number` and counts them into `count`; returns the end of the digits. Past
// 19 digits `number` wraps around, which the caller refuses by their count.
[[gnu::always_inline]] inline const char* read_digits(const char* p, const char* last,
                                                      std::uint64_t& number, int& count) {
  for (std::optional<std::uint64_t> eight; last - p >= 8 && (eight = eight_digits(p)); p += 8) {
    number = number * 100000000 + *eight;
    count += 8;
  }
  for (; p != last && is_digit(*p); ++p, ++count) {
    number = number * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  return p;
}

// Reads an exponent part "(E|e)[+|-]digits" if there is one; returns its end, or nullptr when it
// is malformed or too long.
[[gnu::always_inline]] inline const char* read_exponent(const char* p, const char* last,
                                                        int& exponent) {
  if (p == last || (*p != 'E' && *p != 'e')) return p;
  ++p;
  const bool negative = p != last && *p == '-';
  if (p != last && (*p == '-' || *p == '+')) ++p;
  std::uint64_t magnitude = 0;
  int digits = 0;
  p = read_digits(p, last, magnitude, digits);
  if (digits == 0 || digits > kMostExponentDigits) return nullptr;
  exponent += negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
  return p;
}

[[gnu::always_inline]] inline const char* read_decimal(const char* p, const char* last,
                                                       Decimal& decimal) {
  decimal.negative = p != last && *p == '-';
  if (decimal.negative) ++p;
  int digits = 0;
  p = read_digits(p, last, decimal.mantissa, digits);
  if (p != last && *p == '.') {
    const int whole_digits = digits;
    p = read_digits(p + 1, last, decimal.mantissa, digits);
    decimal.exponent = whole_digits - digits;
  }
  if (digits == 0 || digits > kMostMantissaDigits) return nullptr;
  return read_exponent(p, last, decimal.exponent);
}

// The correctly rounded float of the decimal, when two roundings give it for sure.
//
// The mantissa and the power of ten are exact doubles, so one multiplication or division rounds
// the exact value x once, to the double d nearest to it. Rounding d to a float gives the float
// nearest to x unless a point M halfway between two adjacent floats lies between x and d (M on
// the side of d, or at d). Such an M is itself a double; unless it is d, it would be a double
// nearer to x than d. So the two roundings agree except when d is a halfway point, which is
// checked. Floats below the normal range have fewer significand bits, so their halfway points
// are not those found here: such values, like values that are not finite, are left to
// read_finite_float.
[[gnu::always_inline]] inline bool quick_float(const Decimal& decimal, float& value) {
  if (decimal.mantissa >= kExactIntegers || decimal.exponent < -kLargestExactPower ||
      decimal.exponent > kLargestExactPower) {
    return false;
  }
  const double mantissa = static_cast<double>(decimal.mantissa);
  const double magnitude = decimal.exponent >= 0 ? mantissa * kExactPowersOfTen[decimal.exponent]
                                                 : mantissa / kExactPowersOfTen[-decimal.exponent];
  if (magnitude != 0.0 && !(magnitude >= FLT_MIN && magnitude <= FLT_MAX)) return false;
  if ((std::bit_cast<std::uint64_t>(magnitude) & kBitsBelowFloat) == kHalfwayBits) return false;
  const float rounded = static_cast<float>(magnitude);
  value = decimal.negative ? -rounded : rounded;
  return true;
}

[[gnu::always_inline]] inline const char* read_number(const char* first, const char* last,
                                                      float& value) {
  Decimal decimal;
  const char* const end = read_decimal(first, last, decimal);
  if (end == nullptr) return nullptr;
  return quick_float(decimal, value) || read_finite_float(first, end, value) ? end : nullptr;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

const char* after_blanks(const char* p, const char* last) {
  while (p != last && is_blank(*p)) ++p;
  return p;
}

}  // namespace

bool read_finite_float(const char* first, const char* last, float& value) {
  float read = 0.0f;
  const auto [end, error] = std::from_chars(first, last, read);
  // std::from_chars refuses a number too small for a float as out of range, as it does one too
  // large; std::strtof gives the first its float and the second infinity. The program keeps the
  // C locale, whose decimal point is the one that std::from_chars reads.
  if (error == std::errc::result_out_of_range) {
    read = std::strtof(std::string(first, end).c_str(), nullptr);
  } else if (error != std::errc()) {
    return false;
  }
  if (end != last || !std::isfinite(read)) return false;
  value = read;
  return true;
}

const char* read_decimal_float(const char* first, const char* last, float& value) {
  return read_number(first, last, value);
}

const char* read_plain_value_lines(const char* line, const char* last, std::size_t longest,
                                   std::size_t room, LargeBuffer<float>& values) {
  while (line != last && values.size() < room) {
    float value = 0.0f;
    const char* p = read_number(after_blanks(line, last), last, value);
    if (p == nullptr) break;
    p = after_blanks(p, last);
    if (p != last && *p == '\r') ++p;
    if (p == last || *p != '\n' || static_cast<std::size_t>(p - line) > longest) break;
    values.push_back(value);
    line = p + 1;
  }
  return line;
}

}  // namespace gridfile
