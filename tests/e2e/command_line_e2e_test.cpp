// The options that mapconv answers before its start-up: usage and version on standard output,
// status 0, nothing opened. Any other first argument is the experiment name.
#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <string>

#include "experiment.hpp"

namespace e2e {
namespace {

struct OptionCase {
  const char* argument;
  const char* expected_output;  // a regular expression for the whole standard output
};

void PrintTo(const OptionCase& c, std::ostream* os) {
  *os << c.argument;
}

class OptionTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionTest, AnswersInAnEmptyDirectoryWithoutTouchingAFile) {
  const OptionCase& c = GetParam();
  // No standard input: a program that went on to its start-up would have to ask for a name.
  const support::RunResult run = run_mapconv({}, c.argument);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_TRUE(std::regex_match(run.standard_output, std::regex(c.expected_output)))
      << run.standard_output;
  EXPECT_EQ(run.standard_error, "");
  EXPECT_TRUE(run.files.empty());
}

// What the usage text must tell: the synopsis, the files read and written, the environment and
// the exit statuses.
const char* const kUsage =
    "Usage: mapconv \\[NAME\\]\n"
    "[^]*NAME\\.EXP[^]*NAME\\.FOB[^]*NAME\\.9FD[^]*NAME\\.grd[^]*"
    "TARN, tarn[^]*/share/mapconv\n[^]*LENPAGE[^]*"
    "Exit status:\n  0 [^]*\n  1 [^]*\n  134 [^]*\n";
const char* const kVersion = "mapconv [0-9]+\\.[0-9]+\n";

// "-h" gives Shorth, "--version" Longversion.
std::string option_case_name(std::string argument) {
  const std::size_t dashes = argument.find_first_not_of('-');
  return (dashes == 1 ? "Short" : "Long") + argument.substr(dashes);
}

INSTANTIATE_TEST_SUITE_P(Options, OptionTest,
                         ::testing::Values(OptionCase{"-h", kUsage}, OptionCase{"--help", kUsage},
                                           OptionCase{"-V", kVersion},
                                           OptionCase{"--version", kVersion}),
                         [](const auto& info) { return option_case_name(info.param.argument); });

// Near misses are experiment names like any other: the start-up looks for their files.
TEST(OptionTest, AnyOtherArgumentIsAnExperimentName) {
  for (const char* name : {"-help", "--HELP", "-v", "--versions", "-h2"}) {
    const support::RunResult run = run_mapconv({}, name);
    EXPECT_NE(run.standard_output.find(" does not exist - check your directory"), std::string::npos)
        << name << ": " << run.standard_output;
  }
}

}  // namespace
}  // namespace e2e
