#include "grd2ccp4/decimal_float.hpp"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace grd2ccp4 {

namespace {

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

// Reads digits into `number`, at most `room` of them; returns the end of the digits, or nullptr
// when there are more.
const char* read_digits(const char* p, const char* last, std::uint64_t& number, int& room) {
  for (; p != last && is_digit(*p); ++p) {
    if (room-- == 0) return nullptr;
    number = number * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  return p;
}

// Reads an exponent part "(E|e)[+|-]digits" if there is one; returns its end, or nullptr when it
// is malformed or too long.
const char* read_exponent(const char* p, const char* last, int& exponent) {
  if (p == last || (*p != 'E' && *p != 'e')) return p;
  ++p;
  const bool negative = p != last && *p == '-';
  if (p != last && (*p == '-' || *p == '+')) ++p;
  const char* const digits = p;
  std::uint64_t magnitude = 0;
  int room = kMostExponentDigits;
  p = read_digits(p, last, magnitude, room);
  if (p == nullptr || p == digits) return nullptr;
  exponent += negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
  return p;
}

const char* read_decimal(const char* p, const char* last, Decimal& decimal) {
  decimal.negative = p != last && *p == '-';
  if (decimal.negative) ++p;
  int room = kMostMantissaDigits;
  const char* const whole_start = p;
  p = read_digits(p, last, decimal.mantissa, room);
  if (p == nullptr) return nullptr;
  bool has_digits = p != whole_start;
  if (p != last && *p == '.') {
    const char* const fraction_start = ++p;
    p = read_digits(p, last, decimal.mantissa, room);
    if (p == nullptr) return nullptr;
    decimal.exponent = -static_cast<int>(p - fraction_start);
    has_digits = has_digits || p != fraction_start;
  }
  if (!has_digits) return nullptr;
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
// std::from_chars.
bool quick_float(const Decimal& decimal, float& value) {
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

}  // namespace

const char* read_decimal_float(const char* first, const char* last, float& value) {
  Decimal decimal;
  const char* const end = read_decimal(first, last, decimal);
  if (end == nullptr) return nullptr;
  if (quick_float(decimal, value)) return end;
  float slow = 0.0f;
  const auto [slow_end, error] = std::from_chars(first, end, slow);
  if (error != std::errc() || slow_end != end || !std::isfinite(slow)) return nullptr;
  value = slow;
  return end;
}

}  // namespace grd2ccp4
