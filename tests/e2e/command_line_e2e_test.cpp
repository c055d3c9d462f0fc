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
    "Usage: mapconv \\[--ccp4\\] \\[NAME \\[ANSWER\\.\\.\\.\\]\\]\n"
    "[^]*NAME\\.EXP[^]*NAME\\.FOB[^]*NAME\\.9FD[^]*NAME\\.grd[^]*"
    "TARN, tarn[^]*(/share/mapconv|the directory of mapconv\\.exe)\n[^]*LENPAGE[^]*"
    "Exit status:\n  0 [^]*\n  1 [^]*\n  2 [^]*\n  134 [^]*\n";
const char* const kVersion = "mapconv [0-9]+\\.[0-9]+\n";

// "-h" gives Shorth, "--version" Longversion, "/?" Slash.
std::string option_case_name(std::string argument) {
  if (argument == "/?") return "Slash";
  const std::size_t dashes = argument.find_first_not_of('-');
  return (dashes == 1 ? "Short" : "Long") + argument.substr(dashes);
}

INSTANTIATE_TEST_SUITE_P(Options, OptionTest,
                         ::testing::Values(OptionCase{"-h", kUsage}, OptionCase{"--help", kUsage},
                                           OptionCase{"/?", kUsage}, OptionCase{"-V", kVersion},
                                           OptionCase{"--version", kVersion}),
                         [](const auto& info) { return option_case_name(info.param.argument); });

// Any other first argument starting with "-" is refused before anything is opened; a name that
// starts with "-" is given with its directory.
TEST(OptionTest, AnyOtherOptionIsRefusedWithTheUsageLine) {
  for (const char* argument : {"-x", "-help", "--HELP", "-v", "--versions", "-h2", "-"}) {
    const support::RunResult run = run_mapconv({}, argument);
    EXPECT_EQ(run.exit_status, 2) << argument;
    EXPECT_EQ(run.standard_output, "") << argument;
    EXPECT_EQ(run.standard_error,
              "mapconv: unknown option " + std::string(argument) +
                  "\nUsage: mapconv [--ccp4] [NAME [ANSWER...]]   (mapconv --help tells more)\n")
        << argument;
  }
  const support::RunResult run = run_mapconv({}, "./-x");
  EXPECT_EQ(run.standard_output,
            " ERROR - File ./-X.EXP does not exist - check your directory\n"
            " FORTRAN error number   2 on unit 11\n");
}

// A P 1 experiment with a 2 x 2 x 2 map of the values 0 and 1.
std::map<std::string, std::string> small_experiment() {
  Crystal crystal;
  crystal.lengths = {4, 4, 4};
  crystal.angles = {90, 90, 90};
  support::MapFile map;
  map.phase_name = "Small";
  map.grid_divisions = map.block_steps = {2, 2, 2};
  map.values = {0, 1, 1, 0, 1, 0, 0, 1};
  map.density_maximum = 1.0f;
  return {
      {"ALPHA.EXP", support::experiment_file_bytes(experiment_records("Small", "P 1", crystal))},
      {"ALPHA.FOB", support::map_file_bytes(map)}};
}

// A map file's name given for the experiment's leads to NAME.FOB.EXP, which is not there: the
// run says which name to give. Standard output is the missing experiment's as always.
TEST(MapFileNamed, TellsTheExperimentsName) {
  const std::map<std::string, std::string> files = small_experiment();
  const struct {
    const char* argument;
    const char* hint;
  } cases[] = {{"ALPHA.FOB",
                "mapconv: ALPHA.FOB is a map file: give the experiment's name "
                "(mapconv ALPHA)\n"},
               {"runs/alpha.9fd",
                "mapconv: runs/alpha.9fd is a map file: give the experiment's "
                "name (mapconv runs/alpha)\n"}};
  for (const auto& c : cases) {
    const support::RunResult run = run_mapconv(files, c.argument);
    EXPECT_EQ(run.exit_status, 1) << c.argument;
    EXPECT_TRUE(run.standard_error.ends_with(c.hint)) << run.standard_error;
    EXPECT_FALSE(run.files.contains("ALPHA.grd"));
  }
  // A name that only looks like one is left alone when its experiment file is there.
  std::map<std::string, std::string> named_like_a_map = files;
  named_like_a_map["ALPHA.DEL.EXP"] = files.at("ALPHA.EXP");
  named_like_a_map["ALPHA.DEL.DEL"] = "";
  const support::RunResult run = run_mapconv(named_like_a_map, "ALPHA.DEL");
  EXPECT_EQ(run.standard_error.find("is a map file"), std::string::npos) << run.standard_error;
}

struct ExtraArgumentsCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* warning;
};

class ExtraArgumentsTest : public ::testing::TestWithParam<ExtraArgumentsCase> {};

// Answers after the name that no question takes (one map file: there is no question) are named
// at the end; the run is as without them.
TEST_P(ExtraArgumentsTest, ConvertAndNameWhatIsIgnored) {
  support::RunRequest request;
  request.files = small_experiment();
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.arguments = {"ALPHA"};
  const support::RunResult plain = run_on_one_and_two_threads(MAPCONV_PROGRAM, request);
  request.arguments = GetParam().arguments;
  const support::RunResult run = run_on_one_and_two_threads(MAPCONV_PROGRAM, request);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.standard_error, GetParam().warning);
  EXPECT_EQ(run.standard_output, plain.standard_output);
  ASSERT_TRUE(run.files.contains("ALPHA.grd"));
  EXPECT_EQ(crlf_lines(run.files.at("ALPHA.grd")).size(), 3u + 8u);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ExtraArgumentsTest,
    ::testing::Values(
        ExtraArgumentsCase{"One", {"ALPHA", "extra"}, "mapconv: arguments not used: extra\n"},
        ExtraArgumentsCase{
            "AnOptionAfterTheName", {"ALPHA", "--help"}, "mapconv: arguments not used: --help\n"},
        ExtraArgumentsCase{"Two", {"ALPHA", "-V", "b"}, "mapconv: arguments not used: -V b\n"},
        ExtraArgumentsCase{"OnlyBlanks", {"ALPHA", " ", ""}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
