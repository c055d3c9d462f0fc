// Every conventional space-group symbol must give a set that, with its centring vectors and the
// inversion, is a group of the conventional multiplicity.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "symmetry/interpreter.hpp"
#include "symmetry_test_support.hpp"

namespace {

struct TableEntry {
  int number = 0;
  std::string symbol;
  int multiplicity = 0;
};

std::vector<TableEntry> read_space_group_table() {
  std::ifstream in(std::string(MAPCONV_SOURCE_DIR) + "/tests/symmetry/data/space_groups.tsv");
  std::vector<TableEntry> entries;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    TableEntry entry;
    std::string number;
    std::string multiplicity;
    std::getline(fields, number, '\t');
    std::getline(fields, entry.symbol, '\t');
    std::getline(fields, multiplicity, '\t');
    entry.number = std::stoi(number);
    entry.multiplicity = std::stoi(multiplicity);
    entries.push_back(entry);
  }
  return entries;
}

class SpaceGroupTable : public testing::TestWithParam<TableEntry> {};

TEST_P(SpaceGroupTable, FormsAClosedGroupOfTheConventionalMultiplicity) {
  const TableEntry& entry = GetParam();
  symmetry::OperatorSet set;
  set.symbol = entry.symbol;
  ASSERT_EQ(symmetry::interpret_symbol(set, 0, 0), 0);
  ASSERT_GE(set.operator_count, 1);
  EXPECT_EQ(set.operators[0].rotation,
            (std::array<std::array<int, 3>, 3>{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}));
  EXPECT_EQ(set.operators[0].translation, (std::array<int, 3>{0, 0, 0}));
  for (int k = 0; k < set.operator_count; ++k) {
    EXPECT_GE(set.operators[k].operation_flag, 0) << "operator " << k + 1;
  }

  EXPECT_EQ(symmetry_test::group_fault(set), "");
  EXPECT_EQ(static_cast<int>(symmetry_test::whole_group(set).size()), entry.multiplicity);
}

INSTANTIATE_TEST_SUITE_P(AllSymbols, SpaceGroupTable, testing::ValuesIn(read_space_group_table()),
                         [](const testing::TestParamInfo<TableEntry>& info) {
                           return "No" + std::to_string(info.param.number);
                         });

// Settings other than the conventional one, counted by hand: stored operators x centring vectors
// x 2 for a centric group.
INSTANTIATE_TEST_SUITE_P(OtherSettings, SpaceGroupTable,
                         testing::Values(TableEntry{0, "P 1 1 21/b", 4},
                                         TableEntry{0, "B 1 1 2", 4}, TableEntry{0, "C -1", 4},
                                         TableEntry{0, "I -1", 4}, TableEntry{0, "F -1", 8},
                                         TableEntry{0, "I 2/c", 8}, TableEntry{0, "A 1 2/m 1", 8},
                                         TableEntry{0, "B 2/b 1 1", 8}, TableEntry{0, "F 2/m", 16},
                                         TableEntry{0, "C 4/m", 16}, TableEntry{0, "C 4/m m m", 32},
                                         TableEntry{0, "F 4 2 2", 32},
                                         TableEntry{0, "F 4/m m m", 64},
                                         TableEntry{0, "R -3 m R", 12}, TableEntry{0, "R 3 H", 9}),
                         symmetry_test::NamedBySymbol());

TEST(SpaceGroupTableFile, HoldsAll230Groups) {
  EXPECT_EQ(read_space_group_table().size(), 230U);
}

}  // namespace
