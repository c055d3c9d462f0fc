// The command line of grdpeaks: what each form of argument gives, and what is refused.
#include "grdpeaks/options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using grdpeaks::Options;

TEST(OptionsTest, ArgumentsGiveTheirOptions) {
  struct Case {
    std::vector<std::string> arguments;
    Options expected;
  };
  const auto with = [](auto change) {
    Options o;
    o.name = "ALPHA";
    change(o);
    return o;
  };
  const std::vector<Case> cases = {
      {{"ALPHA"}, with([](Options&) {})},
      {{"--count", "5", "ALPHA"}, with([](Options& o) { o.count = 5; })},
      {{"ALPHA", "--count=0"}, with([](Options& o) { o.count = 0; })},
      {{"--min-sigma", "-2.5", "ALPHA"}, with([](Options& o) { o.min_sigma = -2.5; })},
      {{"--group", "P 21/c", "ALPHA"}, with([](Options& o) { o.group = "P 21/c"; })},
      {{"--model", "m.cif", "ALPHA"}, with([](Options& o) { o.model = "m.cif"; })},
      {{"--holes", "--csv", "-", "--json=out.json", "ALPHA"}, with([](Options& o) {
         o.holes = true;
         o.csv = "-";
         o.json = "out.json";
       })},
      {{"--", "-name"},
       [] {
         Options o;
         o.name = "-name";
         return o;
       }()},
      {{"--help"},
       [] {
         Options o;
         o.help = true;
         return o;
       }()},
  };
  for (const Case& c : cases) {
    const Options o = grdpeaks::parse_options(c.arguments);
    const std::string shown = c.arguments.front();
    EXPECT_EQ(o.name, c.expected.name) << shown;
    EXPECT_EQ(o.count, c.expected.count) << shown;
    EXPECT_EQ(o.min_sigma, c.expected.min_sigma) << shown;
    EXPECT_EQ(o.group, c.expected.group) << shown;
    EXPECT_EQ(o.holes, c.expected.holes) << shown;
    EXPECT_EQ(o.csv, c.expected.csv) << shown;
    EXPECT_EQ(o.json, c.expected.json) << shown;
    EXPECT_EQ(o.model, c.expected.model) << shown;
    EXPECT_EQ(o.help, c.expected.help) << shown;
  }
}

TEST(OptionsTest, WrongArgumentsAreRefusedWithTheReason) {
  struct Case {
    std::vector<std::string> arguments;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{}, "no grid file named"},
      {{"A", "B"}, "one grid file at a time: \"B\" is one too many"},
      {{"--count", "-1", "A"}, "--count takes a whole number of at least 0, not \"-1\""},
      {{"--count", "2x", "A"}, "--count takes a whole number of at least 0, not \"2x\""},
      {{"--min-sigma", "nan", "A"}, "--min-sigma takes a number, not \"nan\""},
      {{"A", "--group"}, "--group needs a value"},
      {{"A", "--model"}, "--model needs a value"},
      {{"--holes=yes", "A"}, "--holes takes no value"},
      {{"--peaks", "A"}, "unknown option \"--peaks\""},
      {{"--csv", "-", "--json", "-", "A"}, "--csv - and --json - cannot both take standard output"},
  };
  for (const Case& c : cases) {
    try {
      grdpeaks::parse_options(c.arguments);
      ADD_FAILURE() << "accepted: " << c.reason;
    } catch (const grdpeaks::UsageError& error) {
      EXPECT_EQ(error.what(), c.reason);
    }
  }
}

}  // namespace
