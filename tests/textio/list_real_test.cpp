// The list-directed text of single-precision reals, direct and through the cache, against the
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
#include <vector>

#include "textio/list_real_vector.hpp"
#include "textio/vector_code.hpp"

namespace textio {
namespace {

std::string library_text(float value) {
  if (value == 0.0f) return "  0.";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9G", static_cast<double>(value));
  std::string text = buffer;
  // The sign of a NaN is the value's own: C libraries differ on whether they show it.
  std::string sign = std::signbit(value) ? "-" : " ";
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

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The program asks the system or the processor for AVX2 itself; the compiler's own check must
// agree, unless the portable paths or the C library's tunables were asked for.
TEST(VectorCode, TakenExactlyWhereTheProcessorHasAvx2) {
  for (const std::string& variable :
       {std::string(kPortableVariable), std::string("GLIBC_TUNABLES")})
    if (std::getenv(variable.c_str()) != nullptr) GTEST_SKIP();
  EXPECT_EQ(vector_code_enabled(), __builtin_cpu_supports("avx2") != 0);
}
#endif

std::string direct_text(float value) {
  char out[kListRealMaxLength];
  return std::string(out, format_list_real(value, out));
}

std::string widened_text(float value) {
  char out[kListRealMaxLength];
  return std::string(out, format_list_real(static_cast<double>(value), out));
}

std::string cached_text(ListRealCache& cache, float value) {
  char out[kListRealMaxLength];
  return std::string(out, cache.format(value, out));
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
  ListRealCache cache;
  for (const Case& c : cases) {
    EXPECT_EQ(direct_text(c.value), c.text) << c.value;
    EXPECT_EQ(cached_text(cache, c.value), c.text) << c.value;
  }
}

TEST(ListRealSingle, AgreesWithTheCLibraryOverAStrideOfAllBitPatterns) {
  // Signs, subnormals, every exponent and varied mantissas; `make check-formatting` covers
  // every pattern.
  ListRealCache cache;
  for (std::uint64_t b = 0; b <= 0xFFFFFFFFu; b += 0x3F1D) {
    float value = std::bit_cast<float>(static_cast<std::uint32_t>(b));
    std::string want = library_text(value);
    ASSERT_EQ(direct_text(value), want) << b;
    ASSERT_EQ(widened_text(value), want) << b;
    ASSERT_EQ(cached_text(cache, value), want) << b;
  }
}

// Eight values at a time, each followed by the line end: the values of a stride of all bit
// patterns (eight neighbours at each step) and the edges of the forms the vector registers take.
TEST(ListRealLines, BatchesGiveTheTextOfEachValue) {
  const float edges[] = {0.0001f,      0.000100000005f, 0.00099999999f, 0.001f,      0.5f,
                         1.0f,         9.99999905f,     10.0f,          99999992.0f, 100000000.0f,
                         999999936.0f, 1.0e9f,          123456789.0f,   0.1f,        1.5f,
                         -2.25f};
  std::vector<std::vector<float>> batches = {{edges, edges + 8}, {edges + 8, edges + 16}};
  for (std::uint64_t b = 0; b <= 0xFFFFFFFFu - 8; b += 0x3F1D3) {
    std::vector<float>& batch = batches.emplace_back();
    for (std::uint32_t k = 0; k < kListRealBatch; ++k) {
      batch.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(b) + k));
    }
  }
  std::size_t in_vectors = 0;
  for (const std::vector<float>& batch : batches) {
    std::string want;
    for (float value : batch) want += library_text(value) + "\r\n";
    char out[kListRealBatch * (kListRealMaxLength + 2)];
    ASSERT_EQ(std::string(out, format_list_real_lines(batch.data(), ShortLineEnd("\r\n"), out)),
              want)
        << std::bit_cast<std::uint32_t>(batch[0]);
    ListRealHeads heads;
    format_list_reals_in_vectors(batch.data(), heads);
    for (std::size_t k = 0; k < kListRealBatch; ++k) in_vectors += heads.length[k] != 0;
  }
  // The edges alone give eleven fixed-point texts.
  EXPECT_GE(in_vectors, list_real_vectors_available() ? 11u : 0u);
}

TEST(ListRealCache, ValuesThatShareASlotKeepTheirOwnText) {
  // Far more values than slots, met twice in the same order: every slot is overwritten many
  // times and each value must still come back with its own text.
  ListRealCache cache;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300000; ++i) {
      float value = (static_cast<float>(i) / 32767.0f + 1.0f) * 1.5f - 0.75f;
      ASSERT_EQ(cached_text(cache, value), direct_text(value)) << i;
    }
  }
  // A fresh cache's slots are zeroed: +0.0, whose bits are all zero, must not be taken for a
  // value already there. -0.0 has other bits and the same text. The smallest cache shares
  // its slots the most.
  ListRealCache fresh(1);
  EXPECT_EQ(cached_text(fresh, 0.0f), "  0.");
  EXPECT_EQ(cached_text(fresh, -0.0f), "  0.");
  EXPECT_EQ(cached_text(fresh, -std::numeric_limits<float>::quiet_NaN()), " -NAN");
}

}  // namespace
}  // namespace textio
