// grdpeaks run as a real process on grid files of known structures written here in mapconv's
// layout, with and without an experiment file beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"
#include "grid_text.hpp"
#include "support/experiment_file.hpp"
#include "support/run_program.hpp"

namespace {

using known_maps::Atom;

const known_maps::Cell kCell = {{6.1, 7.3, 8.2}, {90, 104.5, 90}};
// A general atom at (0.21, 0.33, 0.12), one on the inversion centre at the origin.
const std::vector<Atom> kAtoms = {{{0.0, 0.0, 0.0}, 12.0, 0.35}, {{0.21, 0.33, 0.12}, 8.0, 0.35}};

std::string grid_file(const std::string& map_type, const std::vector<Atom>& atoms,
                      std::array<int, 3> n) {
  const std::vector<float> values =
      known_maps::gaussian_map(kCell, *analysis::group_of_symbol("P 21/c"), atoms, n);
  return grid_text::grid_file(kCell, map_type, values, n);
}

std::string experiment(const std::string& version, const std::string& symbol) {
  return support::experiment_file_bytes({{"     VERSION", version},
                                         {"      DESCR ", "Test phase"},
                                         {"  FOUR CDAT1", "           1"},
                                         {"CRS1  ABC   ", "   6.10000   7.30000   8.20000"},
                                         {"CRS1  ANGLES", "   90.0000  104.5000   90.0000"},
                                         {"CRS1  SG SYM", symbol}});
}

support::RunResult run(const std::vector<std::string>& arguments,
                       std::map<std::string, std::string> files) {
  support::RunRequest request;
  request.arguments = arguments;
  request.files = std::move(files);
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  return support::run_built_program(GRDPEAKS_PROGRAM, request);
}

int count_of(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(GrdpeaksTest, TheExperimentFileGivesTheGroupAndIsLeftAsItWas) {
  // An old layout (version 3), which mapconv would upgrade: grdpeaks reads it as it stands.
  const std::string exp = experiment("    3", "P 21/c");
  const support::RunResult result =
      run({"--json", "-", "mono"},
          {{"MONO.grd", grid_file("FOBS", kAtoms, {30, 36, 40})}, {"MONO.EXP", exp}});
  ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(result.files.at("MONO.EXP"), exp);
  EXPECT_EQ(result.files.size(), 2u);
  const std::string& json = result.standard_output;
  EXPECT_NE(json.find("\"space_group\": \"P 21/c\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"space_group_number\": 14"), std::string::npos);
  EXPECT_NE(json.find("\"grid_carries_symmetry\": true"), std::string::npos);
  // The two atoms, once each: the inversion centre twice in the cell, the general atom 4 times.
  EXPECT_EQ(count_of(json, "\"multiplicity\": "), 2) << json;
  EXPECT_NE(json.find("\"x\": 0, \"y\": 0, \"z\": 0, \"height\": 12"), std::string::npos) << json;
  EXPECT_NE(json.find("\"multiplicity\": 2, \"site_symmetry_order\": 2"), std::string::npos);
  EXPECT_NE(json.find("\"multiplicity\": 4, \"site_symmetry_order\": 1"), std::string::npos);
  EXPECT_NE(json.find("\"holes\": []"), std::string::npos);
}

TEST(GrdpeaksTest, WithoutAnExperimentFileTheGridAloneOrTheGroupGiven) {
  const std::map<std::string, std::string> files = {
      {"MONO.grd", grid_file("FOBS", kAtoms, {31, 37, 41})}};
  const support::RunResult alone = run({"--csv", "-", "MONO.grd"}, files);
  ASSERT_EQ(alone.exit_status, 0) << alone.standard_error;
  // P 1: every image of the atoms is a peak of its own: 2 + 4.
  EXPECT_EQ(count_of(alone.standard_output, "\npeak,"), 6) << alone.standard_output;
  const support::RunResult given = run({"MONO", "--group", "P 1 21/c 1"}, files);
  ASSERT_EQ(given.exit_status, 0) << given.standard_error;
  const std::string& text = given.standard_output;
  EXPECT_NE(text.find("Space group  P 1 21/c 1 (number 14)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("the grid does not carry the group"), std::string::npos) << text;
  EXPECT_NE(text.find("\nPeaks: 2, at most 20, at least 1.00 sigma above the mean\n"),
            std::string::npos)
      << text;
}

TEST(GrdpeaksTest, ADifferenceMapListsItsHolesAndTheListsGoToFiles) {
  // Observed less calculated: the model lacks the general atom (a peak) and puts a wrong one on
  // the inversion centre (a hole).
  std::vector<Atom> negative = {kAtoms[0]};
  negative[0].height = -12.0;
  const support::RunResult result =
      run({"--csv", "out.csv", "--json", "out.json", "--count", "1", "DIFF.grd"},
          {{"DIFF.grd", grid_file("DELF", {negative[0], kAtoms[1]}, {30, 36, 40})}});
  ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  EXPECT_NE(result.standard_output.find("\nHoles: 1, at most 1,"), std::string::npos);
  const std::string& csv = result.files.at("out.csv");
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "kind,number,x,y,z,height,height_sigma,multiplicity,site_symmetry_order,"
            "nearest_peak_distance,images_merged,height_spread");
  EXPECT_NE(csv.find("\npeak,1,0.21"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nhole,1,0.000000,0.000000,0.000000,-12"), std::string::npos) << csv;
  EXPECT_NE(result.files.at("out.json").find("\"height\": -12"), std::string::npos);
}

TEST(GrdpeaksTest, BadInputIsNamedAndNothingIsWritten) {
  struct Case {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> files;
    int status;
    std::string first_error_line;
  };
  const std::string grid = grid_file("FOBS", kAtoms, {6, 6, 6});
  const std::vector<Case> cases = {
      {{"--csv", "out.csv", "NONE"},
       {{"out.csv", "old"}},
       1,
       "grdpeaks: NONE.grd: cannot read the file: No such file or directory"},
      {{"--csv", "out.csv", "G.grd"},
       {{"out.csv", "old"}, {"G.grd", grid.substr(0, grid.size() - 20)}},
       1,
       // Three header lines and 215 values: the missing value's line is 219.
       "grdpeaks: G.grd, line 219: the file ends after 215 of the 216 values of a 6 x 6 x 6 grid"},
      {{"--json", "out.json", "G"},
       {{"G.grd", grid}, {"G.EXP", experiment("    6", "Q 9")}},
       1,
       "grdpeaks: G.EXP: the space-group symbol \"Q 9\" cannot be interpreted"},
      {{"--group", "X", "G"},
       {{"G.grd", grid}},
       1,
       "grdpeaks: --group: the space-group symbol \"X\" cannot be interpreted"},
      {{"--csv", "out.csv", "--model", "none.cif", "G"},
       {{"out.csv", "old"}, {"G.grd", grid}},
       1,
       "grdpeaks: none.cif: cannot read the file: No such file or directory"},
      {{"--model", "m.cif", "G"},
       {{"G.grd", grid}, {"m.cif", "data_m\n_cell_length_a 'open\n"}},
       1,
       "grdpeaks: m.cif, line 2: not a CIF file: "},
      {{"G", "H"}, {}, 2, "grdpeaks: one grid file at a time: \"H\" is one too many"},
  };
  for (const Case& c : cases) {
    const support::RunResult result = run(c.arguments, c.files);
    EXPECT_EQ(result.exit_status, c.status) << c.first_error_line;
    EXPECT_EQ(result.standard_error.substr(
                  0, std::min(result.standard_error.find('\n'), c.first_error_line.size())),
              c.first_error_line);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.files, c.files) << c.first_error_line;
  }
}

}  // namespace
