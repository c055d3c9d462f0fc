// The list-directed text of a real: "%.9G" of the value widened to double, always with a
// decimal point and with a three-digit exponent. The grid file writes one of these for every
// point of the cell, so values held exactly in single precision (every grid value) take an
// exact integer path; anything else goes through the C library.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "textio/records.hpp"

namespace textio {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr int kSignificant = 9;
constexpr std::uint32_t kBeyond9Digit = 1000000000;  // 10^9

constexpr int kMaxPower = 38;

struct PowerTables {
  u128 five[kMaxPower + 1];
  u128 ten[kMaxPower + 1];
  constexpr PowerTables() : five(), ten() {
    five[0] = ten[0] = 1;
    for (int i = 1; i <= kMaxPower; ++i) {
      five[i] = five[i - 1] * 5;
      ten[i] = ten[i - 1] * 10;
    }
  }
};
constexpr PowerTables kPowers;

// `numerator` / 2^shift, rounded to nearest with ties to even (as the C library does).
u128 shift_right_rounded(u128 numerator, int shift) {
  u128 quotient = numerator >> shift;
  u128 remainder = numerator - (quotient << shift);
  u128 half = static_cast<u128>(1) << (shift - 1);
  if (remainder > half || (remainder == half && (quotient & 1))) ++quotient;
  return quotient;
}

u128 divide_rounded(u128 numerator, u128 divisor) {
  u128 quotient = numerator / divisor;
  u128 remainder = numerator - quotient * divisor;
  u128 twice = remainder * 2;
  if (twice > divisor || (twice == divisor && (quotient & 1))) ++quotient;
  return quotient;
}

// m x 2^e x 10^power, rounded to an integer; power in [-38, 27] and e small enough that no step
// overflows (guaranteed by the caller's range check).
std::uint64_t scaled_rounded(std::uint32_t m, int e, int power) {
  if (power >= 0) {
    u128 numerator = static_cast<u128>(m) * kPowers.five[power];
    int shift = e + power;
    if (shift >= 0) return static_cast<std::uint64_t>(numerator << shift);
    return static_cast<std::uint64_t>(shift_right_rounded(numerator, -shift));
  }
  u128 whole = static_cast<u128>(m) << e;  // e >= 0 here: the value is at least 10^9
  return static_cast<std::uint64_t>(divide_rounded(whole, kPowers.ten[-power]));
}

// Writes the nine digits of `n` (10^8 <= n < 10^9) to `out`.
void nine_digits(std::uint32_t n, char* out) {
  for (int i = kSignificant - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
}

// The magnitude in "%.9G" form with a point always present; returns its length. Handles
// positive single-precision normal values in [1e-19, 3.4e38]; returns 0 for anything else.
std::size_t exact_magnitude(double magnitude, char* out) {
  float single = static_cast<float>(magnitude);
  if (static_cast<double>(single) != magnitude || !(magnitude >= 1e-19) || !std::isfinite(single)) {
    return 0;
  }
  std::uint32_t bits;
  std::memcpy(&bits, &single, sizeof bits);
  int biased = static_cast<int>(bits >> 23);
  std::uint32_t m = (bits & 0x7FFFFF) | 0x800000;
  int e = biased - 150;
  // floor(log10(2^(biased-127))) is never above the decimal exponent, so the rounded
  // nine-digit integer only needs correcting downwards.
  int exponent = ((biased - 127) * 78913) >> 18;
  std::uint64_t n = scaled_rounded(m, e, kSignificant - 1 - exponent);
  while (n >= kBeyond9Digit) {
    ++exponent;
    n = scaled_rounded(m, e, kSignificant - 1 - exponent);
  }
  char digits[kSignificant];
  nine_digits(static_cast<std::uint32_t>(n), digits);
  int count = kSignificant;
  while (count > 1 && digits[count - 1] == '0') --count;

  char* p = out;
  if (exponent < -4 || exponent >= kSignificant) {
    *p++ = digits[0];
    *p++ = '.';
    std::memcpy(p, digits + 1, static_cast<std::size_t>(count - 1));
    p += count - 1;
    int shown = exponent < 0 ? -exponent : exponent;
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    *p++ = static_cast<char>('0' + shown / 100);
    *p++ = static_cast<char>('0' + shown / 10 % 10);
    *p++ = static_cast<char>('0' + shown % 10);
  } else if (exponent >= 0) {
    int whole = exponent + 1;
    for (int i = 0; i < whole; ++i) *p++ = i < count ? digits[i] : '0';
    *p++ = '.';
    for (int i = whole; i < count; ++i) *p++ = digits[i];
  } else {
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < -exponent - 1; ++i) *p++ = '0';
    std::memcpy(p, digits, static_cast<std::size_t>(count));
    p += count;
  }
  return static_cast<std::size_t>(p - out);
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

std::size_t format_list_real(double value, char* out) {
  out[0] = ' ';
  out[1] = std::signbit(value) && value != 0.0 ? '-' : ' ';
  if (value == 0.0) {
    out[2] = '0';
    out[3] = '.';
    return 4;
  }
  double magnitude = std::fabs(value);
  std::size_t length = exact_magnitude(magnitude, out + 2);
  if (length == 0) length = library_magnitude(magnitude, out + 2);
  return length + 2;
}

}  // namespace textio
