// What a script meets: the README's loop over experiments, and the note on standard error that
// tells an interpolated grid from an exact one.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "experiment.hpp"

namespace e2e {
namespace {

// P 1 21 1 on a grid of 4 x N2 x N3 points, its block all of x and z and the y planes 0 to
// `last_y`.
struct ScrewCase {
  const char* name;
  Triple grid;
  int last_y;
  std::string note;
};

void PrintTo(const ScrewCase& c, std::ostream* os) {
  *os << c.name;
}

class InterpolationNote : public ::testing::TestWithParam<ScrewCase> {};

TEST_P(InterpolationNote, CountsThePointsTheScrewAxisBringsBetweenStoredPoints) {
  const ScrewCase& c = GetParam();
  Crystal crystal;
  crystal.lengths = {5, 6, 7};
  crystal.angles = {90, 100, 90};
  crystal.group = close_group({"-x,y+1/2,-z"});
  crystal.atoms = {{{0.13, 0.21, 0.32}, 6.0}};
  const support::MapFile map =
      map_of_field(DensityField(crystal), c.grid, {c.grid[0] - 1, c.last_y, c.grid[2] - 1}, 0);
  const support::RunResult run = run_mapconv(
      {{"ALPHA.EXP",
        support::experiment_file_bytes(experiment_records("Test", "P 1 21 1", crystal))},
       {"ALPHA.FOB", support::map_file_bytes(map)}},
      "ALPHA");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.standard_error, c.note);
}

// The walk meets y planes 0 to N2 - 1 for each x in turn. Planes up to the block's last are
// stored; a plane beyond is reached through the screw axis, y + 1/2, which lands half a step
// between stored planes when N2 is odd: with N2 = 5 and planes 0 to 2 stored, planes 3 and 4
// (at 0.5 and 1.5 steps) are interpolated, 2 of every 5 points. Plane 0 after plane 4 is found
// again by the identity, since the screw takes it to 2.5, beyond the block.
INSTANTIATE_TEST_SUITE_P(
    Grids, InterpolationNote,
    ::testing::Values(
        ScrewCase{"OddDivisionsAlongTheScrewAxis",
                  {4, 5, 4},
                  2,
                  "mapconv: note: the grid 4 x 5 x 4 does not carry the symmetry along y: 32 of "
                  "80 points are interpolated between stored points\n"},
        ScrewCase{"CountsInGroupsOfThreeDigits",
                  {4, 5, 300},
                  2,
                  "mapconv: note: the grid 4 x 5 x 300 does not carry the symmetry along y: 2,400 "
                  "of 6,000 points are interpolated between stored points\n"},
        ScrewCase{"EvenDivisionsAreExact", {4, 6, 4}, 2, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The README's script, run over three experiments: only an observed map, only a difference map,
// and both. Only the experiments with an observed map get a grid file and a CCP4 map; the one
// whose only map is a difference map stops with status 1 and leaves nothing, and no successful
// run writes to standard error.
TEST(ReadmeLoop, ConvertsTheObservedMapOrNothing) {
  MAPCONV_SKIP_ON_WINDOWS("the loop is a POSIX shell script");
  Crystal crystal;
  crystal.lengths = {4, 4, 4};
  crystal.angles = {90, 90, 90};
  const std::string experiment =
      support::experiment_file_bytes(experiment_records("Loop", "P 1", crystal));
  support::MapFile fobs = two_point_map();
  support::MapFile delf = two_point_map();
  delf.map_type = "DELF";
  const std::string fob_bytes = support::map_file_bytes(fobs);
  const std::string del_bytes = support::map_file_bytes(delf);
  support::RunRequest request;
  request.files = {{"ALPHA.EXP", experiment}, {"ALPHA.FOB", fob_bytes},  {"BETA.EXP", experiment},
                   {"BETA.DEL", del_bytes},   {"GAMMA.EXP", experiment}, {"GAMMA.FOB", fob_bytes},
                   {"GAMMA.DEL", del_bytes}};
  const std::string bin = std::filesystem::path(MAPCONV_PROGRAM).parent_path().string();
  const std::string grd2ccp4 = std::filesystem::path(GRD2CCP4_PROGRAM).parent_path().string();
  request.environment = {{"PATH", bin + ":" + grd2ccp4 + ":/usr/bin:/bin"}, {"LC_ALL", "C"}};
  request.arguments = {"-c",
                       "for name in ALPHA BETA GAMMA; do\n"
                       "  mapconv \"$name\" FOBS < /dev/null > \"$name.log\" && grd2ccp4 \"$name\" "
                       "> /dev/null\n"
                       "  echo \"$name $?\" >> statuses\n"
                       "done"};
  const support::RunResult run = support::run_built_program("/bin/sh", request);
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.files.at("statuses"), "ALPHA 0\nBETA 1\nGAMMA 0\n");
  EXPECT_EQ(run.standard_error,
            "mapconv: FOBS was asked for, but the only map of BETA is BETA.DEL (DELF)\n"
            "STOP Run terminated in OPNFMP statement executed\n");
  for (const char* name : {"ALPHA", "GAMMA"}) {
    EXPECT_EQ(crlf_lines(run.files.at(std::string(name) + ".grd"))[0].substr(51, 4), "FOBS");
    EXPECT_TRUE(run.files.contains(std::string(name) + ".ccp4")) << name;
  }
  EXPECT_FALSE(run.files.contains("BETA.grd"));
  EXPECT_FALSE(run.files.contains("BETA.ccp4"));
}

}  // namespace
}  // namespace e2e
