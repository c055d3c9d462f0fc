// The figures in the header of a CCP4/MRC map, and the values it is made of.
#include "ccp4/map_values.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "gridfile/value_text.hpp"
#include "textio/list_real.hpp"

namespace {

struct FiguresCase {
  const char* name;
  std::vector<float> values;
  double minimum, maximum, mean, sigma, rms;
};

class FiguresTest : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(FiguresTest, AreTheHandCalculatedOnes) {
  const FiguresCase& c = GetParam();
  gridfile::ValueSums sums;
  sums.add(c.values.data(), c.values.size());
  const ccp4::MapStatistics s = sums.statistics();
  EXPECT_EQ(s.minimum, c.minimum);
  EXPECT_EQ(s.maximum, c.maximum);
  EXPECT_NEAR(s.mean, c.mean, 1e-12 * std::abs(c.mean));
  EXPECT_NEAR(s.sigma, c.sigma, 1e-9 * c.sigma + 1e-300);
  EXPECT_NEAR(s.rms(), c.rms, 1e-9 * c.rms);
}

// The sums are taken in four lanes, the lane of a value being its place modulo 4, and the tail
// that does not fill the lanes goes to the first: the vector code must add exactly so.
TEST(SumsTest, LanesAddInTheOrderOfThePlainLoop) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> spread(-3.0f, 5.0f);
  for (const std::size_t count : {1, 2, 3, 4, 5, 7, 8, 9, 1001}) {
    std::vector<float> values(count);
    for (float& value : values) value = spread(random);
    double sums[4] = {}, squares[4] = {};
    const double shift = values[0];
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
      for (std::size_t lane = 0; lane < 4; ++lane) {
        const double d = double(values[i + lane]) - shift;
        sums[lane] += d;
        squares[lane] += d * d;
      }
    }
    for (; i < count; ++i) {
      const double d = double(values[i]) - shift;
      sums[0] += d;
      squares[0] += d * d;
    }
    const double n = double(count);
    const double mean_shift = ((sums[0] + sums[1]) + (sums[2] + sums[3])) / n;
    const double variance = std::max(
        0.0, ((squares[0] + squares[1]) + (squares[2] + squares[3])) / n - mean_shift * mean_shift);
    gridfile::ValueSums sums_taken;
    sums_taken.add(values.data(), values.size());
    const ccp4::MapStatistics s = sums_taken.statistics();
    EXPECT_EQ(std::bit_cast<std::uint64_t>(s.mean),
              std::bit_cast<std::uint64_t>(shift + mean_shift))
        << count;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(s.sigma),
              std::bit_cast<std::uint64_t>(std::sqrt(variance)))
        << count;
    EXPECT_EQ(s.minimum, *std::min_element(values.begin(), values.end())) << count;
    EXPECT_EQ(s.maximum, *std::max_element(values.begin(), values.end())) << count;
  }
}

std::vector<float> repeated(std::vector<float> pattern, int times) {
  std::vector<float> values;
  for (int t = 0; t < times; ++t) values.insert(values.end(), pattern.begin(), pattern.end());
  return values;
}

INSTANTIATE_TEST_SUITE_P(
    Maps, FiguresTest,
    ::testing::Values(
        // mean 2.5, variance (2.25 + 0.25 + 0.25 + 2.25) / 4, mean square 30 / 4
        FiguresCase{"FourValues", {1, 2, 3, 4}, 1, 4, 2.5, std::sqrt(1.25), std::sqrt(7.5)},
        // A flat map has no spread, not a NaN.
        FiguresCase{"Flat", std::vector<float>(27, 0.1f), 0.1f, 0.1f, double(0.1f), 0,
                    double(0.1f)},
        // A spread of 0.25 beside a mean of 10000.25 keeps its digits.
        FiguresCase{"SmallSpreadLargeMean", repeated({10000.0f, 10000.5f}, 500), 10000, 10000.5,
                    10000.25, 0.25, std::sqrt(10000.25 * 10000.25 + 0.0625)}),
    [](const auto& info) { return std::string(info.param.name); });

// The map of mapconv --ccp4 is made of the values themselves, grd2ccp4's of the text they were
// written as: the two agree because nine significant digits give back every float exactly, but
// for -0, whose text has no sign: the conversion hands the map 0 for it.
TEST(ValueTextTest, EveryFloatButMinusZeroComesBackFromItsText) {
  std::vector<float> values = {0.0f,
                               -0.0f,
                               0.1f,
                               -2.5f,
                               1.52587891e-5f,
                               std::numeric_limits<float>::max(),
                               -std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::min(),
                               std::numeric_limits<float>::denorm_min(),
                               -std::numeric_limits<float>::denorm_min(),
                               9.99999944e-10f,
                               1e9f,
                               0.0001f,
                               std::nextafter(0.0001f, 0.0f)};
  std::mt19937 random(41);
  while (values.size() < 200000) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (std::isfinite(value)) values.push_back(value);
  }
  std::size_t wrong = 0;
  for (const float value : values) {
    const std::uint32_t expected = std::bit_cast<std::uint32_t>(value == 0.0f ? 0.0f : value);
    char text[textio::kListRealMaxLength + 1] = {};
    const std::size_t length = textio::format_list_real(value, text);
    const char* first = text;
    while (*first == ' ') ++first;
    float read = 1.0f, fast = 1.0f;
    const bool finite = gridfile::read_finite_float(first, text + length, read);
    const char* end = gridfile::read_decimal_float(first, text + length, fast);
    if (!finite || std::bit_cast<std::uint32_t>(read) != expected ||
        (end != nullptr && std::bit_cast<std::uint32_t>(fast) != expected)) {
      if (++wrong < 5) ADD_FAILURE() << std::string(text, length) << " gives another float back";
    }
  }
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
