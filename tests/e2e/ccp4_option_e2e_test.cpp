// mapconv --ccp4: the map beside the grid file is part of the run's result. (That it is the map
// grd2ccp4 makes of the grid file is checked on every run of the end-to-end tests that writes a
// grid file: see support/run_program.hpp.)
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace e2e {
namespace {

using Files = std::map<std::string, std::string>;

const std::string kOlderGrid = "An older grid file\r\n";

Files experiment_files(const std::array<double, 3>& lengths) {
  Crystal crystal;
  crystal.lengths = lengths;
  crystal.angles = {90, 90, 90};
  return {{"ALPHA.EXP",
           support::experiment_file_bytes(experiment_records("Map beside", "P 1", crystal))},
          {"ALPHA.FOB", support::map_file_bytes(two_point_map())},
          {"ALPHA.grd", kOlderGrid}};
}

struct FailureCase {
  const char* name;
  std::array<double, 3> lengths;
  std::vector<std::string> directories;
  std::map<std::string, std::string> links;
  std::string problem;
  bool grid_written_first;  // the grid's values were written (to its temporary file) first
};

class MapFailure : public ::testing::TestWithParam<FailureCase> {};

// A map that cannot be written fails the run: status 1, the problem on the terminal and on
// standard error, and every file as it was, the older grid file included.
TEST_P(MapFailure, FailsTheRunAndLeavesEveryFileAsItWas) {
  const FailureCase& c = GetParam();
  if (!c.links.empty()) MAPCONV_SKIP_ON_WINDOWS("no /dev/full");
  support::RunRequest request;
  request.arguments = {"--ccp4", "ALPHA"};
  request.files = experiment_files(c.lengths);
  request.directories = c.directories;
  request.symbolic_links = c.links;
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  const support::RunResult run = run_on_one_and_two_threads(MAPCONV_PROGRAM, request);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_error, "mapconv: " + c.problem + "\n");
  EXPECT_TRUE(run.standard_output.ends_with(" **** " + c.problem + " ****\n"))
      << run.standard_output;
  EXPECT_EQ(run.standard_output.find("Writing file: ") != std::string::npos, c.grid_written_first);
  EXPECT_EQ(run.files, request.files);
  EXPECT_EQ(run.other_entries, support::entries_made(request));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapFailure,
    ::testing::Values(
        FailureCase{"NameOfADirectory",
                    {10, 10, 10},
                    {"ALPHA.ccp4"},
                    {},
                    "ALPHA.ccp4: cannot write the map: Is a directory",
                    false},
        FailureCase{"FullDevice",
                    {10, 10, 10},
                    {},
                    {{"ALPHA.ccp4", "/dev/full"}},
                    "ALPHA.ccp4: cannot write the map: No space left on device",
                    true},
        // grd2ccp4 refuses the grid file of a cell without edges: no map can be its map.
        FailureCase{"CellWithoutAnEdge",
                    {0, 10, 10},
                    {},
                    {},
                    "ALPHA.ccp4: cannot write the map: cell length a must be positive, not 0.00000",
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

struct PlaceCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string input;
  int exit_status;
  bool map_written;
  std::string standard_error;  // its start
};

class OptionPlace : public ::testing::TestWithParam<PlaceCase> {};

// The option comes before the name; after it, it is an answer like any other.
TEST_P(OptionPlace, OnlyBeforeTheNameAsksForTheMap) {
  const PlaceCase& c = GetParam();
  support::RunRequest request;
  request.arguments = c.arguments;
  request.standard_input = c.input;
  request.files = experiment_files({10, 10, 10});
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
  EXPECT_EQ(run.exit_status, c.exit_status);
  EXPECT_EQ(run.files.contains("ALPHA.ccp4"), c.map_written);
  EXPECT_TRUE(run.standard_error.starts_with(c.standard_error)) << run.standard_error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionPlace,
    ::testing::Values(
        PlaceCase{"NameAsked", {"--ccp4"}, "ALPHA\n", 0, true, "mapconv: Wrote ALPHA.ccp4: "},
        PlaceCase{"AfterTheName",
                  {"ALPHA", "--ccp4"},
                  "",
                  0,
                  false,
                  "mapconv: arguments not used: --ccp4\n"},
        PlaceCase{
            "BeforeAnotherOption", {"--ccp4", "-x"}, "", 2, false, "mapconv: unknown option -x\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
