#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "expfile/index.hpp"

namespace expfile_test {
namespace {

using expfile::RecordKey;

RecordKey key_of(const std::string& text) {
  RecordKey key;
  key.fill(' ');
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 12), key.begin());
  return key;
}

std::vector<int> gaps_for(int count) {
  std::vector<int> gaps;
  int gap = count;
  int divisor = 8;
  while (expfile::next_keysort_gap(gap, divisor)) gaps.push_back(gap);
  return gaps;
}

struct GapCase {
  int count;
  std::vector<int> gaps;
};

class KeysortGapTest : public ::testing::TestWithParam<GapCase> {};

// The divisor drops from 8 to 4 only once a gap of exactly 15 is reached.
TEST_P(KeysortGapTest, GapsFollowTheDivisorRule) {
  EXPECT_EQ(gaps_for(GetParam().count), GetParam().gaps);
}

INSTANTIATE_TEST_SUITE_P(Counts, KeysortGapTest,
                         ::testing::Values(GapCase{1, {}}, GapCase{2, {1}}, GapCase{15, {7, 3, 1}},
                                           GapCase{16, {5, 1}}, GapCase{56, {15, 7, 3, 1}},
                                           GapCase{100, {25, 7, 1}},
                                           GapCase{1000, {251, 63, 15, 7, 3, 1}}),
                         [](const auto& info) {
                           return "Records" + std::to_string(info.param.count);
                         });

std::vector<std::string> sorted_texts(const std::vector<std::string>& texts, int key_length) {
  std::vector<RecordKey> keys;
  for (const std::string& text : texts) keys.push_back(key_of(text));
  std::vector<int> order(keys.size(), -1);
  expfile::KEYSORT(keys, order, static_cast<int>(keys.size()), key_length);
  std::vector<std::string> result;
  for (int entry : order) result.push_back(texts.at(static_cast<std::size_t>(entry - 1)));
  return result;
}

TEST(KeysortTest, OrdersBlanksDigitsLettersAndTilde) {
  const std::vector<std::string> texts = {"~~~~~~~~~~~~",
                                          "CRS1  ABC",
                                          "ZZZZZZZZZZZZ",
                                          "      DESCR",
                                          "     VERSION",
                                          "CRS1  ANGLES",
                                          "0",
                                          "A1",
                                          "A",
                                          "a",
                                          "CRS1~",
                                          "~~~~~~~~~~~~",
                                          "HST 12",
                                          "HST  5",
                                          "HAP1 1"};
  const std::vector<std::string> expected = {"      DESCR",
                                             "     VERSION",
                                             "0",
                                             "A",
                                             "A1",
                                             "CRS1  ABC",
                                             "CRS1  ANGLES",
                                             "CRS1~",
                                             "HAP1 1",
                                             "HST  5",
                                             "HST 12",
                                             "ZZZZZZZZZZZZ",
                                             "a",
                                             "~~~~~~~~~~~~",
                                             "~~~~~~~~~~~~"};
  EXPECT_EQ(sorted_texts(texts, 12), expected);
}

// Fifteen and sixteen keys sort through different gap sequences; both must end sorted.
TEST(KeysortTest, SortsEveryCountWithTheFullKey) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> character(' ', '~');
  for (int count : {0, 1, 2, 3, 15, 16, 17, 56, 100, 1000}) {
    std::vector<std::string> texts;
    for (int n = 0; n < count; ++n) {
      std::string text(12, ' ');
      for (char& c : text) c = static_cast<char>(character(random));
      texts.push_back(text);
    }
    std::vector<std::string> expected = texts;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted_texts(texts, 12), expected) << count << " keys";
  }
}

TEST(KeysortTest, ComparesOnlyTheGivenKeyLength) {
  // Equal in their first four characters: sorting on four leaves their order alone.
  const std::vector<std::string> texts = {"CRS2B", "CRS1Z", "CRS1A", "AAAA"};
  EXPECT_EQ(sorted_texts(texts, 4), (std::vector<std::string>{"AAAA", "CRS1Z", "CRS1A", "CRS2B"}));
}

TEST(KeysortTest, OrderHoldsEveryEntryOnce) {
  const std::vector<std::string> texts(16, "SAME");
  std::vector<RecordKey> keys(texts.size(), key_of("SAME"));
  std::vector<int> order(keys.size());
  expfile::KEYSORT(keys, order, 16, 12);
  std::sort(order.begin(), order.end());
  for (int n = 0; n < 16; ++n) EXPECT_EQ(order[static_cast<std::size_t>(n)], n + 1);
}

}  // namespace
}  // namespace expfile_test
