// The quick reading of value texts against std::strtof, bit for bit.
#include "gridfile/value_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The digits before the exponent; read_decimal_float takes at most 19.
std::size_t mantissa_digits(const std::string& text) {
  const std::size_t exponent = text.find_first_of("Ee");
  return static_cast<std::size_t>(std::count_if(
      text.begin(), exponent == std::string::npos ? text.end() : text.begin() + exponent,
      [](char c) { return c >= '0' && c <= '9'; }));
}

// Every text here is a number of the form read_decimal_float takes, but for the number of its
// digits: it must read what strtof reads (a number too small for a float is zero or the nearest
// subnormal), and refuse exactly the texts with too many digits and those too large for a float.
void expect_as_strtof(const std::string& text) {
  char* expected_end = nullptr;
  const float expected = std::strtof(text.c_str(), &expected_end);
  const bool taken = std::isfinite(expected) && mantissa_digits(text) <= 19;
  float value = 0.0f;
  const char* end = gridfile::read_decimal_float(text.data(), text.data() + text.size(), value);
  if (!taken) {
    EXPECT_EQ(end, nullptr) << text;
    return;
  }
  ASSERT_NE(end, nullptr) << text;
  EXPECT_EQ(end, text.data() + (expected_end - text.c_str())) << text;
  EXPECT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(expected)) << text;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream stream(text);
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

std::string printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The exponent with three digits, as mapconv writes it: 1.5E-05 becomes 1.5E-005.
std::string with_three_digit_exponent(std::string text) {
  const std::size_t e = text.find('E');
  if (e != std::string::npos && text.size() - e == 4) text.insert(e + 2, "0");
  return text;
}

TEST(DecimalFloatTest, ReadsWhatStrtofReadsForRandomFloats) {
  std::mt19937 random(20240611);
  for (int n = 0; n < 300000; ++n) {
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isfinite(f)) continue;
    expect_as_strtof(with_three_digit_exponent(printed("%.9G", f)));
    expect_as_strtof(printed("%.8f", f));
    // Halfway between f and the next float, near enough to test the second rounding.
    const double halfway = (double(f) + double(std::nextafter(f, INFINITY))) / 2;
    expect_as_strtof(printed("%.17G", halfway));
  }
}

TEST(DecimalFloatTest, ReadsWhatStrtofReadsAtTheEdges) {
  // Halfway points (16777217, 33554435, 1.00000006), the ends of the quick path (2^53, 10^22,
  // 19 digits), the ends of the float range and the forms that mapconv writes.
  const std::string texts =
      "0 0. -0. .5 -.5 5. 16777217 16777219 -16777217 33554434 33554435 1.00000006 0.100000001 "
      "1e-10 1E-010 1e22 1e23 1e-22 1e-23 9007199254740991 9007199254740992 9007199254740993 "
      "1234567890123456789 0.000000000000000001 1.17549435E-038 1.17549421E-038 1.4E-045 1E-046 "
      "3.40282347E+038 3.40282357E+038 3.4028236E+038 1E+039 -1E+039 2.5E+0 1.10789824 "
      "-0.0123456789 1.23456789E-005 0.5e0001 7E+22 7E-22 4.9406564584124654E-324 1.0E-50 "
      "-1.0E-50 7.1E-046 1.0E+50";
  for (const std::string& text : words(texts)) expect_as_strtof(text);
}

// Where a number ends: at the first character that cannot continue it, also within a run of
// eight characters read at once; text of any other form is refused (0), so that the caller reads
// it the slow way.
TEST(DecimalFloatTest, EndsWhereTheNumberEndsOrRefuses) {
  // Each text with the length of the number in it.
  std::vector<std::pair<std::string, std::size_t>> cases = {
      {"-1.5E+01x0", 8},   {"12345678:9", 8}, {"1.2345678/9", 9},
      {"7654321\xf9!", 7}, {"", 0},           {" 1", 0}};
  for (const std::string& text :
       words("- . -. +1 e5 1e 1E- 1E12345 inf nan 12345678901234567890")) {
    cases.emplace_back(text, 0);
  }
  for (const auto& [text, length] : cases) {
    float value = 7.0f;
    const char* end = gridfile::read_decimal_float(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(end, length == 0 ? nullptr : text.data() + length) << text;
    float expected = 7.0f;
    std::from_chars(text.data(), text.data() + length, expected);
    EXPECT_EQ(value, expected) << text;
  }
}

struct PlainLinesCase {
  std::string text;
  std::size_t room, read;
  std::vector<float> values;
};

// The lines read end before the first line that the slow way must look at: one of another form,
// one too long, one without a line end, or one more than the room.
TEST(PlainValueLinesTest, StopsBeforeTheFirstLineOfAnotherForm) {
  const std::string lines = "  1.5\r\n\t-2.25 \n3\n";
  const std::string longest = std::string(1021, ' ') + "1.0";  // 1024 characters
  const std::vector<PlainLinesCase> cases = {
      // text, room, bytes read, values
      {lines + "  x\n4\n", 10, lines.size(), {1.5f, -2.25f, 3.0f}},
      {lines, 2, 15, {1.5f, -2.25f}},
      {lines + "\n", 10, lines.size(), {1.5f, -2.25f, 3.0f}},
      {"  1.0\r\r\n", 10, 0, {}},
      {"  1.0 2.0\n", 10, 0, {}},
      {"  1.0", 10, 0, {}},
      {longest + "\r\n", 10, 0, {}},
      {longest + "\n", 10, 1025, {1.0f}}};
  for (const PlainLinesCase& c : cases) {
    gridfile::LargeBuffer<float> values;
    const char* end = gridfile::read_plain_value_lines(c.text.data(), c.text.data() + c.text.size(),
                                                       1024, c.room, values);
    EXPECT_EQ(end - c.text.data(), static_cast<std::ptrdiff_t>(c.read)) << c.text.substr(0, 20);
    EXPECT_EQ(std::vector<float>(values.begin(), values.end()), c.values) << c.text.substr(0, 20);
  }
}

}  // namespace
