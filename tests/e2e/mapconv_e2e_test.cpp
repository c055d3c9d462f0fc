// Whole runs of mapconv on experiments made by the tests: the grid file byte for byte, the
// terminal output line for line, and every grid value against a density that the test computes
// itself from atoms expanded by the space group.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/crystal.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"

namespace e2e {
namespace {

// A map with values 0, 1 and 2 over the whole cell in group P 1: every value decodes exactly.
support::MapFile exact_map(const Triple& grid) {
  support::MapFile map;
  map.phase_name = "Exact values";
  map.grid_divisions = grid;
  map.block_steps = grid;
  for (int k = 0; k < grid[2]; ++k) {
    for (int j = 0; j < grid[1]; ++j) {
      for (int i = 0; i < grid[0]; ++i)
        map.values.push_back(static_cast<float>((i + 2 * j + k) % 3));
    }
  }
  map.density_minimum = 0.0f;
  map.density_maximum = 2.0f;
  return map;
}

Crystal cubic_cell() {
  Crystal crystal;
  crystal.lengths = {5.4307, 5.4307, 5.4307};
  crystal.angles = {90, 90, 90};
  return crystal;
}

std::map<std::string, std::string> alpha_files(const support::MapFile& map) {
  return {{"ALPHA.EXP", support::experiment_file_bytes(
                            experiment_records("Silicon test map", "P 1", cubic_cell()))},
          {"ALPHA.FOB", support::map_file_bytes(map)}};
}

TEST(GridFile, HoldsTitleCellGridAndOneValuePerPointZFastest) {
  const support::RunResult run = run_mapconv(alpha_files(exact_map({2, 3, 4})), "ALPHA");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_error, "");
  std::string expected =
      "Silicon test map" + std::string(34, ' ') + " FOBS" + std::string(11, ' ') + "\r\n" +
      "   5.43070   5.43070   5.43070   90.0000   90.0000   90.0000\r\n" + "   2   3   4\r\n";
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 4; ++k) expected += "  " + std::to_string((i + 2 * j + k) % 3) + ".\r\n";
    }
  }
  EXPECT_EQ(run.files.at("ALPHA.grd"), expected);
}

TEST(GridFile, ReplacesALongerOldGridFileAndLeavesTheExperimentAlone) {
  std::map<std::string, std::string> files = alpha_files(exact_map({2, 2, 2}));
  files["ALPHA.grd"] = std::string(100000, 'x');
  const support::RunResult run = run_mapconv(files, "alpha");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(crlf_lines(run.files.at("ALPHA.grd")).size(), 3u + 8u);
  EXPECT_EQ(run.files.at("ALPHA.EXP"), files.at("ALPHA.EXP"));
  EXPECT_EQ(run.files.at("ALPHA.FOB"), files.at("ALPHA.FOB"));
}

TEST(Driver, StopsWithNoMapWhenNoPhaseWasMapped) {
  std::vector<support::ExperimentRecord> records =
      experiment_records("No map here", "P 1", cubic_cell());
  records.erase(records.begin() + 2);  // "  FOUR CDAT1"
  const support::RunResult run =
      run_mapconv({{"ALPHA.EXP", support::experiment_file_bytes(records)}}, "ALPHA");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_error, "STOP no map statement executed\n");
  std::string out = run.standard_output;
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1),
            " No Fourier Phase was found. Has a Map been computed?\n");
  EXPECT_EQ(run.files.count("ALPHA.grd"), 0u);
}

// How a run ends: its exit status (or the abort) and its error stream.
struct EndCase {
  const char* name;
  std::map<std::string, std::string> files;
  std::string argument;
  std::string input;
  std::map<std::string, std::string> environment;
  int exit_status;  // -1: the run aborts
  std::string standard_error;
};

std::map<std::string, std::string> files_without_map_phase() {
  std::vector<support::ExperimentRecord> records =
      experiment_records("No map here", "P 1", cubic_cell());
  records.erase(records.begin() + 2);  // "  FOUR CDAT1"
  return {{"ALPHA.EXP", support::experiment_file_bytes(records)}};
}

std::map<std::string, std::string> files_with_null_map() {
  support::MapFile map = exact_map({2, 2, 2});
  map.density_minimum = map.density_maximum = 1.0f;
  return alpha_files(map);
}

std::map<std::string, std::string> files_with_two_maps() {
  std::map<std::string, std::string> files = alpha_files(exact_map({2, 2, 2}));
  files["ALPHA.FCL"] = files.at("ALPHA.FOB");
  return files;
}

class RunEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(RunEnd, OnlyARunThatWritesItsGridFileSucceeds) {
  const EndCase& c = GetParam();
  support::RunRequest request;
  request.arguments = {c.argument};
  request.files = c.files;
  request.standard_input = c.input;
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.environment.insert(c.environment.begin(), c.environment.end());
  const support::RunResult run = run_on_one_and_two_threads(MAPCONV_PROGRAM, request);
  if (c.exit_status < 0) {
    EXPECT_TRUE(run.signalled && run.signal == SIGABRT) << run.exit_status;
    EXPECT_EQ(run.standard_error.substr(0, c.standard_error.size()), c.standard_error);
  } else {
    EXPECT_FALSE(run.signalled);
    EXPECT_EQ(run.exit_status, c.exit_status);
    EXPECT_EQ(run.standard_error, c.standard_error);
  }
  EXPECT_EQ(run.files.count("ALPHA.grd"), c.exit_status == 0 ? 1u : 0u);
}

void PrintTo(const EndCase& c, std::ostream* os) {
  *os << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, RunEnd,
    ::testing::Values(
        EndCase{"normal_run", alpha_files(exact_map({2, 2, 2})), "ALPHA", "", {}, 0, ""},
        EndCase{"no_map",
                files_without_map_phase(),
                "ALPHA",
                "",
                {},
                1,
                "STOP no map statement executed\n"},
        EndCase{"refused_map",
                files_with_null_map(),
                "ALPHA",
                "",
                {},
                1,
                "STOP REDFMP statement executed\n"},
        EndCase{"declined_map_type",
                files_with_two_maps(),
                "ALPHA",
                "quit\n",
                {},
                1,
                "STOP Run terminated in OPNFMP statement executed\n"},
        EndCase{"missing_experiment_reported_by_IOERR",
                {},
                "ALPHA",
                "",
                {},
                1,
                "mapconv: ALPHA.EXP does not exist\n"},
        EndCase{"unguarded_failure",
                alpha_files(exact_map({2, 2, 2})),
                "ALPHA",
                "",
                {{"LENPAGE", "ab"}},
                -1,
                "read: read unexpected character\napparent state: internal I/O\n"}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST(MissingExperiment, EndsWithItsTwoLinesAndStatusOne) {
  const support::RunResult run = run_mapconv({}, "NOPE");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_output,
            " ERROR - File NOPE.EXP does not exist - check your directory\n"
            " FORTRAN error number   2 on unit 11\n");
  EXPECT_EQ(run.standard_error, "mapconv: NOPE.EXP does not exist\n");
}

// Names are taken in capitals: a file named in small letters is never opened, and the user is
// told so.
TEST(MissingExperiment, AFileThatDiffersOnlyInCaseIsNamed) {
  MAPCONV_SKIP_ON_WINDOWS("names that differ only in case are one name there");
  const support::RunResult run = run_mapconv({{"data/silicon.exp", ""}}, "data/silicon");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(
      run.standard_output,
      " ERROR - File data/SILICON.EXP does not exist - check your directory\n"
      " FORTRAN error number   2 on unit 11\n"
      " **** data/silicon.exp is there, but experiment names are upper-cased: rename it ****\n");
  EXPECT_EQ(run.standard_error, "mapconv: data/SILICON.EXP does not exist\n");
}

struct GroupCase {
  const char* name;
  const char* symbol;
  std::size_t multiplicity;
  std::vector<std::string> generators;
  std::array<double, 3> lengths;
  std::array<double, 3> angles;
  std::vector<Atom> atoms;
  Triple grid;
  std::array<double, 3> block_end;  // fractional, from the origin, upper boundary included
  int rotation = 0;
  bool interpolated = false;
};

void PrintTo(const GroupCase& c, std::ostream* os) {
  *os << c.symbol;
}

class SymmetryRun : public ::testing::TestWithParam<GroupCase> {};

Triple block_end_index(const GroupCase& c) {
  Triple end{};
  for (int i = 0; i < 3; ++i) {
    end[i] = std::min(static_cast<int>(std::lround(c.block_end[i] * c.grid[i])), c.grid[i] - 1);
  }
  return end;
}

// Every grid point has an equivalent among the stored points (checked with the test's group).
bool block_covers_grid(const std::vector<Operation>& group, const Triple& grid, const Triple& end) {
  for (int i = 0; i < grid[0]; ++i) {
    for (int j = 0; j < grid[1]; ++j) {
      for (int k = 0; k < grid[2]; ++k) {
        const int p[3] = {i, j, k};
        bool found = false;
        for (const Operation& op : group) {
          bool inside = true;
          for (int a = 0; a < 3 && inside; ++a) {
            double g = op.translation[a] * grid[a];
            for (int b = 0; b < 3; ++b) g += op.rotation[a][b] * p[b] * grid[a] / double(grid[b]);
            long nearest = std::lround(g);
            long wrapped = ((nearest % grid[a]) + grid[a]) % grid[a];
            inside = std::fabs(g - static_cast<double>(nearest)) < 1e-6 && wrapped <= end[a];
          }
          if (inside) {
            found = true;
            break;
          }
        }
        if (!found) return false;
      }
    }
  }
  return true;
}

TEST_P(SymmetryRun, EveryGridValueIsTheDensityAtItsPoint) {
  const GroupCase& c = GetParam();
  Crystal crystal;
  crystal.lengths = c.lengths;
  crystal.angles = c.angles;
  crystal.atoms = c.atoms;
  crystal.group = close_group(c.generators);
  ASSERT_EQ(crystal.group.size(), c.multiplicity);
  const Triple end = block_end_index(c);
  if (!c.interpolated) {
    ASSERT_TRUE(block_covers_grid(crystal.group, c.grid, end));
  }
  const DensityField field(crystal);
  const support::MapFile map = map_of_field(field, c.grid, end, c.rotation);
  const support::RunResult run = run_mapconv(
      {{"ALPHA.EXP", support::experiment_file_bytes(experiment_records("Test", c.symbol, crystal))},
       {"ALPHA.FOB", support::map_file_bytes(map)}},
      "ALPHA");
  ASSERT_EQ(run.exit_status, 0) << run.standard_output << run.standard_error;
  const std::vector<std::string> lines = crlf_lines(run.files.at("ALPHA.grd"));
  ASSERT_EQ(lines.size(), 3u + static_cast<std::size_t>(c.grid[0] * c.grid[1] * c.grid[2]));
  const double scale = expected_scale(map.density_minimum, map.density_maximum);
  const double range = (map.density_maximum - map.density_minimum) * scale;
  const double tolerance = c.interpolated ? 0.06 * range : range / 32767.0 + 1e-5 * range;
  std::size_t line = 3;
  for (int i = 0; i < c.grid[0]; ++i) {
    for (int j = 0; j < c.grid[1]; ++j) {
      for (int k = 0; k < c.grid[2]; ++k) {
        double expected =
            field.at({double(i) / c.grid[0], double(j) / c.grid[1], double(k) / c.grid[2]}) * scale;
        double written = std::strtod(lines[line++].c_str(), nullptr);
        ASSERT_NEAR(written, expected, tolerance) << "point " << i << " " << j << " " << k;
      }
    }
  }
}

const std::vector<Atom> kTwoAtoms = {{{0.13, 0.21, 0.32}, 6.0}, {{0.37, 0.08, 0.71}, 3.0}};

INSTANTIATE_TEST_SUITE_P(
    SpaceGroups, SymmetryRun,
    ::testing::Values(GroupCase{"P_1bar",
                                "P -1",
                                2,
                                {"-x,-y,-z"},
                                {5, 6, 7},
                                {80, 85, 95},
                                kTwoAtoms,
                                {12, 12, 12},
                                {0.5, 1, 1}},
                      GroupCase{"P21_c",
                                "P 21/c",
                                4,
                                {"-x,y+1/2,-z+1/2", "-x,-y,-z"},
                                {6, 7, 8},
                                {90, 100, 90},
                                kTwoAtoms,
                                {12, 16, 12},
                                {1, 0.25, 1}},
                      GroupCase{"P21_c_rotated",
                                "P 21/c",
                                4,
                                {"-x,y+1/2,-z+1/2", "-x,-y,-z"},
                                {6, 7, 8},
                                {90, 100, 90},
                                kTwoAtoms,
                                {12, 16, 12},
                                {1, 0.25, 1},
                                1},
                      GroupCase{"C2_c",
                                "C 2/c",
                                8,
                                {"x+1/2,y+1/2,z", "-x,y,-z+1/2", "-x,-y,-z"},
                                {9, 7, 8},
                                {90, 110, 90},
                                kTwoAtoms,
                                {16, 16, 12},
                                {0.25, 0.5, 1}},
                      GroupCase{"Pnma",
                                "P n m a",
                                8,
                                {"-x+1/2,-y,z+1/2", "-x,y+1/2,-z", "-x,-y,-z"},
                                {8, 6, 7},
                                {90, 90, 90},
                                kTwoAtoms,
                                {12, 16, 12},
                                {0.5, 0.25, 1}},
                      GroupCase{"I41_amd",
                                "I 41/a m d",
                                32,
                                {"x+1/2,y+1/2,z+1/2", "-x+1/2,-y,z+1/2", "-y+1/4,x+3/4,z+1/4",
                                 "-x+1/2,y,-z+1/2", "-x,-y,-z"},
                                {7, 7, 9},
                                {90, 90, 90},
                                kTwoAtoms,
                                {16, 16, 16},
                                {0.5, 0.5, 1}},
                      GroupCase{"R_3bar_m_hexagonal",
                                "R -3 m",
                                36,
                                {"x+2/3,y+1/3,z+1/3", "-y,x-y,z", "y,x,-z", "-x,-y,-z"},
                                {5, 5, 14},
                                {90, 90, 120},
                                kTwoAtoms,
                                {12, 12, 18},
                                {1, 1, 1.0 / 6}},
                      GroupCase{"P63_mmc",
                                "P 63/m m c",
                                24,
                                {"-y,x-y,z", "-x,-y,z+1/2", "y,x,-z", "-x,-y,-z"},
                                {4, 4, 6},
                                {90, 90, 120},
                                kTwoAtoms,
                                {12, 12, 12},
                                {2.0 / 3, 2.0 / 3, 0.25}},
                      GroupCase{"Fd_3bar_m",
                                "F d -3 m",
                                192,
                                {"x,y+1/2,z+1/2", "x+1/2,y,z+1/2", "-x+3/4,-y+1/4,z+1/2",
                                 "-x+1/4,y+1/2,-z+3/4", "z,x,y", "y+3/4,x+1/4,-z+1/2", "-x,-y,-z"},
                                {8, 8, 8},
                                {90, 90, 90},
                                {{{0.11, 0.23, 0.37}, 2.0}},
                                {16, 16, 16},
                                {0.5, 0.5, 0.5}},
                      GroupCase{"P21_c_interpolated",
                                "P 21/c",
                                4,
                                {"-x,y+1/2,-z+1/2", "-x,-y,-z"},
                                {6, 7, 8},
                                {90, 100, 90},
                                {{{0.13, 0.21, 0.32}, 6.0}},
                                {20, 22, 26},
                                {1, 0.5, 1},
                                0,
                                true}),
    [](const ::testing::TestParamInfo<GroupCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
