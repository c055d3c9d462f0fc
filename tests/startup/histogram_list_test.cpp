// The histogram list: the count from " EXPR  NHST " and 12 types to a " EXPR  HTYPn" record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "experiment_fixture.hpp"
#include "startup/experiment_opening.hpp"

namespace startup_test {
namespace {

using Records = std::vector<support::ExperimentRecord>;
using Types = std::vector<std::string>;

const std::string kTwelveTypes = "  T01  T02  T03  T04  T05  T06  T07  T08  T09  T10  T11  T12";

struct ListCase {
  const char* name;
  Records records;
  int count;
  Types types;
};

class HistogramListTest : public ExperimentTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(HistogramListTest, ReadsCountAndTypes) {
  open_experiment(GetParam().records);
  const startup::HistogramList list = startup::HSTTYP(kExperimentUnit);
  EXPECT_EQ(list.count, GetParam().count);
  EXPECT_EQ(list.types, GetParam().types);
}

const Types kTypesToFourteen = {"T01 ", "T02 ", "T03 ", "T04 ", "T05 ", "T06 ", "T07 ",
                                "T08 ", "T09 ", "T10 ", "T11 ", "T12 ", "PXC ", "SNCD"};

INSTANTIATE_TEST_SUITE_P(
    Cases, HistogramListTest,
    ::testing::Values(
        ListCase{"NoCountRecord", {{" EXPR  HTYP1", "  PXC "}}, 0, {}},
        ListCase{"ZeroHistograms", {{" EXPR  NHST ", "    0"}, {" EXPR  HTYP1", "  PXC "}}, 0, {}},
        ListCase{"OnlyTheCountedTypes",
                 {{" EXPR  NHST ", "    2"}, {" EXPR  HTYP1", "  PXC  SNC  PNT "}},
                 2,
                 {"PXC ", "SNC "}},
        ListCase{"SecondRecord",
                 {{" EXPR  NHST ", "   14"},
                  {" EXPR  HTYP1", kTwelveTypes},
                  {" EXPR  HTYP2", "  PXC  SNCD"}},
                 14,
                 kTypesToFourteen},
        ListCase{"MissingTypeRecordGivesBlankTypes",
                 {{" EXPR  NHST ", "   13"}, {" EXPR  HTYP1", kTwelveTypes}},
                 13,
                 {"T01 ", "T02 ", "T03 ", "T04 ", "T05 ", "T06 ", "T07 ", "T08 ", "T09 ", "T10 ",
                  "T11 ", "T12 ", "    "}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ExperimentTest, HistogramListHoldsNinetyNineTypes) {
  Records records = {{" EXPR  NHST ", "  120"}};
  for (int n = 1; n <= 9; ++n) records.push_back({" EXPR  HTYP" + std::to_string(n), kTwelveTypes});
  records.push_back({" EXPR  HTYP9", "  T97  T98  T99  TXX"});
  records.erase(records.end() - 2);
  open_experiment(records);
  const startup::HistogramList list = startup::HSTTYP(kExperimentUnit);
  EXPECT_EQ(list.count, 120);
  ASSERT_EQ(list.types.size(), 99u);
  EXPECT_EQ(list.types[96], "T97 ");
  EXPECT_EQ(list.types[98], "T99 ");
}

}  // namespace
}  // namespace startup_test
