// The list-directed text of single-precision reals, against the
// C library's "%.9G" with a point always present and a three-digit exponent.
#include "textio/list_real.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace textio {
namespace {

std::string library_text(float value) {
  if (value == 0.0f) return "  0.";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9G", static_cast<double>(value));
  std::string text = buffer;
  std::string sign = text[0] == '-' ? "-" : " ";
  if (text[0] == '-') text.erase(0, 1);
  std::string exponent;
  if (std::size_t e = text.find('E'); e != std::string::npos) {
    int power = std::atoi(text.c_str() + e + 1);
    std::snprintf(buffer, sizeof buffer, "E%c%03d", power < 0 ? '-' : '+', std::abs(power));
    exponent = buffer;
    text.erase(e);
  }
  if (std::isfinite(value) && text.find('.') == std::string::npos) text += '.';
  return " " + sign + text + exponent;
}

std::string direct_text(float value) {
  char out[kListRealMaxLength];
  return std::string(out, format_list_real(value, out));
}

std::string widened_text(float value) {
  char out[kListRealMaxLength];
  return std::string(out, format_list_real(static_cast<double>(value), out));
}

TEST(ListRealSingle, SubnormalsTiesAndLimits) {
  struct Case {
    float value;
    const char* text;
  } cases[] = {
      {std::numeric_limits<float>::denorm_min(), "  1.40129846E-045"},
      {-std::numeric_limits<float>::denorm_min(), " -1.40129846E-045"},
      {std::bit_cast<float>(0x007FFFFFu), "  1.17549421E-038"},
      {std::ldexp(1.0f, -14), "  6.10351562E-005"},  // 6.103515625E-005: a tie, to even
      {std::ldexp(3.0f, -15), "  9.15527344E-005"},  // 9.1552734375E-005: above the tie
      {std::ldexp(1.0f, -20), "  9.53674316E-007"},  // 9.5367431640625E-007
      {std::numeric_limits<float>::max(), "  3.40282347E+038"},
      {1.0e9f, "  1.E+009"},
      {999999936.0f, "  999999936."},
      {0.0001f, "  9.99999975E-005"},
      {0.001f, "  0.00100000005"},
      {-0.0f, "  0."},
      {std::numeric_limits<float>::infinity(), "  INF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(direct_text(c.value), c.text) << c.value;
  }
}

TEST(ListRealSingle, AgreesWithTheCLibraryOverAStrideOfAllBitPatterns) {
  // Signs, subnormals, every exponent and varied mantissas; `make check-formatting` covers
  // every pattern.
  for (std::uint64_t b = 0; b <= 0xFFFFFFFFu; b += 0x3F1D) {
    float value = std::bit_cast<float>(static_cast<std::uint32_t>(b));
    std::string want = library_text(value);
    ASSERT_EQ(direct_text(value), want) << b;
    ASSERT_EQ(widened_text(value), want) << b;
  }
}

}  // namespace
}  // namespace textio
