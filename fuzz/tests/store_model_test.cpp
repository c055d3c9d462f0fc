// The store model on small files written by hand.
#include "fuzzing/store_model.hpp"

#include <gtest/gtest.h>

#include "support/experiment_file.hpp"

namespace fuzzing {
namespace {

std::string key(const std::string& text) {
  return padded_key(text);
}

std::string value(const std::string& text) {
  return stored_value(text);
}

class StoreModelTest : public ::testing::Test {
 protected:
  // B, a deleted record, A, a blank key, A again, the last-record marker.
  StoreModel model_{support::experiment_file_bytes({{"B", "second"},
                                                    support::deleted_record(),
                                                    {"A", "first"},
                                                    {"", "blank key"},
                                                    {"A", "again"},
                                                    {"ZZZZZZZZZZZZ", ""}})};
};

TEST_F(StoreModelTest, CountsLiveRecordsAndKnowsUniqueValues) {
  EXPECT_EQ(model_.keys(), (std::vector<std::string>{key("A"), key("B"), "ZZZZZZZZZZZZ"}));
  EXPECT_EQ(model_.count(key("A")), 2);
  EXPECT_EQ(model_.value(key("A")), std::nullopt);
  EXPECT_EQ(model_.value(key("B")), value("second"));
  EXPECT_EQ(model_.count(std::string(12, '~')), 0);
  EXPECT_TRUE(model_.ordered());
}

TEST_F(StoreModelTest, FindsByPrefixAndInKeyOrder) {
  EXPECT_EQ(model_.first_with_prefix(""), key("A"));
  EXPECT_EQ(model_.first_with_prefix("Z"), "ZZZZZZZZZZZZ");
  EXPECT_EQ(model_.first_with_prefix("C"), std::nullopt);
  EXPECT_EQ(model_.first_above(""), key("A"));
  EXPECT_EQ(model_.first_above(key("A")), key("B"));
  EXPECT_EQ(model_.first_above("ZZZZZZZZZZZZ"), std::nullopt);
}

TEST_F(StoreModelTest, FollowsWritesAndDeletes) {
  model_.remove(key("A"));
  EXPECT_EQ(model_.count(key("A")), 1);
  EXPECT_EQ(model_.value(key("A")), std::nullopt);  // which of the two is left is not known
  model_.write(key("A"), value("written"));
  EXPECT_EQ(model_.value(key("A")), value("written"));
  model_.remove(key("B"));
  EXPECT_EQ(model_.first_above(key("A")), "ZZZZZZZZZZZZ");
  model_.write(key("C"), value("new"));
  EXPECT_EQ(model_.first_above(key("B")), key("C"));
  model_.write(std::string("\x80", 1) + std::string(11, ' '), value("high"));
  EXPECT_FALSE(model_.ordered());
}

TEST(StoredValue, DropsTrailingBlanksAndNuls) {
  EXPECT_EQ(stored_length(std::string("ab \0 \0", 6)), 2u);
  EXPECT_EQ(stored_length("   "), 0u);
  EXPECT_EQ(stored_value("ab  "), "ab" + std::string(66, ' '));
  EXPECT_TRUE(is_dead_key(std::string(12, ' ')));
  EXPECT_TRUE(is_dead_key("~~~~~~~~~~~~"));
  EXPECT_FALSE(is_dead_key("~~~~~~~~~~~ "));
}

}  // namespace
}  // namespace fuzzing
