// Experiments outside the current directory: the map files are found and the grid file is
// written beside the experiment file, whatever the directory is called and however long the
// path is.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"

namespace e2e {
namespace {

const std::string kGridFile = "Path test" + std::string(41, ' ') + " FOBS" + std::string(11, ' ') +
                              "\r\n"
                              "  10.00000  10.00000  10.00000   90.0000   90.0000   90.0000\r\n"
                              "   1   1   2\r\n"
                              "  0.\r\n"
                              "  2.\r\n";

struct PathCase {
  const char* label;
  std::string experiment;  // the experiment name given on the command line
  std::string written;     // the grid file name shown on the terminal, cut to 50 characters
};

void PrintTo(const PathCase& c, std::ostream* os) {
  *os << c.experiment;
}

class ExperimentInADirectory : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExperimentInADirectory, WritesTheGridFileBesideTheExperimentFileAndNothingElse) {
  const PathCase& c = GetParam();
  Crystal crystal;
  crystal.lengths = {10, 10, 10};
  crystal.angles = {90, 90, 90};
  const std::map<std::string, std::string> files = {
      {c.experiment + ".EXP",
       support::experiment_file_bytes(experiment_records("Path test", "P 1", crystal))},
      {c.experiment + ".FOB", support::map_file_bytes(two_point_map())}};
  const support::RunResult run = run_mapconv(files, c.experiment);
  ASSERT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.standard_error, "");
  const std::string& out = run.standard_output;
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), " Writing file: " + c.written + "\n");
  std::vector<std::string> names;
  for (const auto& [name, bytes] : run.files) {
    names.push_back(name);
    EXPECT_TRUE(!files.contains(name) || bytes == files.at(name)) << name << " was changed";
  }
  const std::string grid_file = c.experiment + ".grd";
  EXPECT_EQ(names,
            (std::vector<std::string>{c.experiment + ".EXP", c.experiment + ".FOB", grid_file}));
  EXPECT_EQ(run.files.contains(grid_file) ? run.files.at(grid_file) : "", kGridFile);
}

const std::string kLongPath =
    "LONG_DIRECTORY_NAME_FOR_PATH_TESTS_01/SECOND_LEVEL_DIRECTORY_FOR_PATH_TESTS/ALPHA";

INSTANTIATE_TEST_SUITE_P(Paths, ExperimentInADirectory,
                         ::testing::Values(PathCase{"DirectoryNameHoldingDotEXP", "runs.EXPT/ALPHA",
                                                    "runs.EXPT/ALPHA.grd" + std::string(31, ' ')},
                                           PathCase{"PathLongerThanTheRecordValue", kLongPath,
                                                    kLongPath.substr(0, 50)}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
