// The map file as mapconv meets it: the map-type question, the terminal report of a whole run,
// sections split across records, Patterson-type maps and the files it refuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/mapconv_banner.hpp"

namespace e2e {
namespace {

Crystal cubic(double a) {
  Crystal crystal;
  crystal.lengths = {a, a, a};
  crystal.angles = {90, 90, 90};
  return crystal;
}

// P 1 over the whole cell with the values (i + 2j + k) mod 3 scaled into [low, high].
support::MapFile cell_map(const Triple& grid, float low = 0.0f, float high = 2.0f) {
  support::MapFile map;
  map.phase_name = "Phase one";
  map.grid_divisions = grid;
  map.block_steps = grid;
  for (int k = 0; k < grid[2]; ++k) {
    for (int j = 0; j < grid[1]; ++j) {
      for (int i = 0; i < grid[0]; ++i) {
        map.values.push_back(low + (high - low) * static_cast<float>((i + 2 * j + k) % 3) / 2.0f);
      }
    }
  }
  map.density_minimum = low;
  map.density_maximum = high;
  return map;
}

// The experiment's records with `changes` replacing records of the same key or added.
std::string experiment(const std::string& symbol,
                       std::vector<support::ExperimentRecord> changes = {}) {
  std::vector<support::ExperimentRecord> records =
      experiment_records("Test title", symbol, cubic(10.0));
  for (const support::ExperimentRecord& change : changes) {
    auto same = std::find_if(records.begin(), records.end(),
                             [&](const auto& r) { return r.key == change.key; });
    if (same != records.end()) {
      same->value = change.value;
    } else {
      records.insert(records.end() - 1, change);
    }
  }
  return support::experiment_file_bytes(records);
}

std::string last_lines(const std::string& text, int count) {
  std::size_t pos = text.size();
  for (int i = 0; i <= count && pos != std::string::npos && pos > 0; ++i) {
    pos = text.rfind('\n', pos - 1);
  }
  return pos == std::string::npos ? text : text.substr(pos + 1);
}

TEST(MapFileRun, TerminalOutputOfAWholeRunLineForLine) {
  support::TempDirectory directory;
  const std::filesystem::path program = directory / "mapconv";
  std::filesystem::copy_file(MAPCONV_PROGRAM, program);
  const timespec times[2] = {{support::kBannerProgramTime, 0}, {support::kBannerProgramTime, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, program.c_str(), times, 0), 0);
  support::RunRequest request;
  request.arguments = {"ALPHA"};
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.files = {{"ALPHA.EXP", experiment("P 1")},
                   {"ALPHA.FOB", support::map_file_bytes(cell_map({2, 2, 2}, -3.0f, 1234.0f))}};
  const support::RunResult run = run_on_one_and_two_threads(program, request);
  ASSERT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.standard_output,
            support::kMapconvBanner +
                " A FOBS file has been opened\n"
                " Problem title: Test title" +
                std::string(56, ' ') + "\n" + " Phase name: Phase one" + std::string(57, ' ') +
                "\n" +
                " Map parameters:\n"
                " Map X axis divided into    2 steps, from    0 and covering    2 steps\n"
                " Map Y axis divided into    2 steps, from    0 and covering    2 steps\n"
                " Map Z axis divided into    2 steps, from    0 and covering    2 steps\n"
                " Map scaling factor  1.E+02\n"
                " Rescaled rho limits from  -0.03 to  12.34\n"
                " There were      8 map elements stored\n"
                " Writing file: ALPHA.grd" +
                std::string(41, ' ') + "\n");
}

TEST(MapFileRun, AsksForTheTypeWhenSeveralMapsExistAndTakesSmallLetters) {
  support::MapFile delf = cell_map({2, 2, 2});
  delf.map_type = "DELF";
  const support::RunResult run =
      run_mapconv({{"ALPHA.EXP", experiment("P 1", {{" EXPR DELFRL", "      8193"}})},
                   {"ALPHA.FOB", support::map_file_bytes(cell_map({2, 2, 2}))},
                   {"ALPHA.DEL", support::map_file_bytes(delf)}},
                  "ALPHA", "delf\n");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  // The prompt leaves its line open; the answer's line end is the user's, not the program's.
  EXPECT_NE(run.standard_output.find(
                "\n Enter map type wanted (FOBS,DELF,QUIT) > A DELF file has been opened\n"),
            std::string::npos)
      << run.standard_output;
  EXPECT_EQ(crlf_lines(run.files.at("ALPHA.grd"))[0].substr(51, 4), "DELF");
}

TEST(MapFileRun, QuitStopsInTheMapTypeQuestion) {
  const support::RunResult run =
      run_mapconv({{"ALPHA.EXP", experiment("P 1")},
                   {"ALPHA.FOB", support::map_file_bytes(cell_map({2, 2, 2}))},
                   {"ALPHA.FCL", support::map_file_bytes(cell_map({2, 2, 2}))}},
                  "ALPHA", "quit\n");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_error, "STOP Run terminated in OPNFMP statement executed\n");
  EXPECT_EQ(run.files.count("ALPHA.grd"), 0u);
}

TEST(MapFileRun, SectionsOf8191And8192ValuesAcrossRecords) {
  for (const Triple& grid : {Triple{8191, 1, 2}, Triple{128, 64, 2}}) {
    const support::MapFile map = cell_map(grid);
    ASSERT_EQ(support::records_per_section(map), grid[0] * grid[1] == 8191 ? 1 : 2);
    const support::RunResult run = run_mapconv(
        {{"ALPHA.EXP", experiment("P 1")}, {"ALPHA.FOB", support::map_file_bytes(map)}}, "ALPHA");
    ASSERT_EQ(run.exit_status, 0) << run.standard_error;
    const std::vector<std::string> lines = crlf_lines(run.files.at("ALPHA.grd"));
    ASSERT_EQ(lines.size(), 3u + static_cast<std::size_t>(grid[0] * grid[1] * grid[2]));
    std::size_t line = 3;
    bool all_equal = true;
    for (int i = 0; i < grid[0]; ++i) {
      for (int j = 0; j < grid[1]; ++j) {
        for (int k = 0; k < grid[2]; ++k) {
          all_equal &= lines[line++] == "  " + std::to_string((i + 2 * j + k) % 3) + ".";
        }
      }
    }
    EXPECT_TRUE(all_equal) << grid[0] << " x " << grid[1];
  }
}

TEST(MapFileRun, PattersonMapsTakeTheCentricSymmetryWithoutTranslations) {
  Crystal crystal = cubic(7.0);
  crystal.lengths = {6, 7, 8};
  crystal.angles = {90, 105, 90};
  crystal.group = close_group({"-x,y,-z", "-x,-y,-z"});  // P 2/m: the Patterson group of P 21
  crystal.atoms = {{{0.13, 0.21, 0.32}, 6.0}, {{0.37, 0.08, 0.71}, 3.0}};
  const DensityField field(crystal);
  const Triple grid = {12, 12, 12};
  support::MapFile map = map_of_field(field, grid, {11, 6, 11}, 0);
  map.map_type = "PTSN";
  std::vector<support::ExperimentRecord> records = experiment_records("Patterson", "P 21", crystal);
  records.insert(records.end() - 1, {" EXPR PTSNRL", "      8193"});
  const support::RunResult run =
      run_mapconv({{"ALPHA.EXP", support::experiment_file_bytes(records)},
                   {"ALPHA.PTS", support::map_file_bytes(map)}},
                  "ALPHA");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  const std::vector<std::string> lines = crlf_lines(run.files.at("ALPHA.grd"));
  ASSERT_EQ(lines.size(), 3u + 12 * 12 * 12);
  const double range = map.density_maximum - map.density_minimum;
  std::size_t line = 3;
  for (int i = 0; i < 12; ++i) {
    for (int j = 0; j < 12; ++j) {
      for (int k = 0; k < 12; ++k) {
        ASSERT_NEAR(std::strtod(lines[line++].c_str(), nullptr),
                    field.at({i / 12.0, j / 12.0, k / 12.0}), range / 32767.0 + 1e-5 * range);
      }
    }
  }
}

TEST(MapFileRun, TranslationConflictIsAWarningAndTheRunGoesOn) {
  const support::RunResult run =
      run_mapconv({{"ALPHA.EXP", experiment("P 2/c 2/c 2/a")},
                   {"ALPHA.FOB", support::map_file_bytes(cell_map({4, 4, 4}))}},
                  "ALPHA");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_error, "");
  EXPECT_NE(run.standard_output.find("\n ****** Error processing symbol P 2/c 2/c 2/a       \n"
                                     " A translation conflict between operators        \n"),
            std::string::npos)
      << run.standard_output;
  EXPECT_EQ(crlf_lines(run.files.at("ALPHA.grd")).size(), 3u + 64u);
}

// P 21/c takes y to y + 1/2, -y and 1/2 - y: a block of y from 0 to 1/12 on a grid of 12 reaches
// the rows y = 0, 1, 5, 6, 7 and 11 only, half of the 1728 points. The others are written as 0,
// and standard error says how many.
TEST(MapFileRun, PointsTheBlockDoesNotCoverAreCountedOnStandardError) {
  support::MapFile map;
  map.phase_name = "Phase one";
  map.grid_divisions = {12, 12, 12};
  map.block_steps = {12, 2, 12};
  map.values.assign(12 * 2 * 12, 1.0f);
  map.density_maximum = 2.0f;
  const support::RunResult run = run_mapconv(
      {{"ALPHA.EXP", experiment("P 21/c")}, {"ALPHA.FOB", support::map_file_bytes(map)}}, "ALPHA");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_error,
            "mapconv: warning: 864 of 1728 grid points are not covered by the stored block and "
            "are written as 0\n");
  const std::vector<std::string> lines = crlf_lines(run.files.at("ALPHA.grd"));
  ASSERT_EQ(lines.size(), 3u + 1728u);
  const std::string covered_rows = "110001110001";
  std::size_t wrong = 0;
  for (std::size_t line = 3; line < lines.size(); ++line) {
    const std::size_t j = (line - 3) / 12 % 12;
    wrong += lines[line] != (covered_rows[j] == '1' ? "  1." : "  0.");
  }
  EXPECT_EQ(wrong, 0u);
}

// The largest grid the grid file's header can hold is still written.
TEST(MapFileRun, GridDivisionsOf9999AreWritten) {
  support::MapFile map = cell_map({4, 4, 4});
  map.grid_divisions = {9999, 1, 1};
  const support::RunResult run = run_mapconv(
      {{"ALPHA.EXP", experiment("P 1")}, {"ALPHA.FOB", support::map_file_bytes(map)}}, "ALPHA");
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  const std::vector<std::string> lines = crlf_lines(run.files.at("ALPHA.grd"));
  ASSERT_EQ(lines.size(), 3u + 9999u);
  EXPECT_EQ(lines[2], "9999   1   1");
}

struct RefusedCase {
  const char* name;
  std::map<std::string, std::string> files;
  const char* last_line;
  const char* stop;
};

support::MapFile damaged(void (*change)(support::MapFile&)) {
  support::MapFile map = cell_map({4, 4, 4});
  change(map);
  return map;
}

class RefusedRun : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedRun, StopsWithAClearLineAndNoGridFile) {
  const RefusedCase& c = GetParam();
  const support::RunResult run = run_mapconv(c.files, "ALPHA");
  EXPECT_EQ(run.exit_status, 1) << run.standard_error;
  EXPECT_EQ(run.standard_error, std::string(c.stop));
  const std::string expected = c.last_line;
  const int count = static_cast<int>(std::count(expected.begin(), expected.end(), '\n'));
  EXPECT_EQ(last_lines(run.standard_output, count), expected) << run.standard_output;
  EXPECT_EQ(run.files.count("ALPHA.grd"), 0u);
}

void PrintTo(const RefusedCase& c, std::ostream* os) {
  *os << c.name;
}

std::string map_bytes_with_section_size(int size) {
  support::MapFile map = cell_map({4, 4, 4});
  std::string bytes = support::map_file_bytes(map);
  std::memcpy(bytes.data() + 4 * 8193 + 40, &size, 4);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, RefusedRun,
    ::testing::Values(
        RefusedCase{"no_map_file",
                    {{"ALPHA.EXP", experiment("P 1")}},
                    " **** No Fourier map file was found for ALPHA ****\n",
                    "mapconv: no Fourier map file was found for ALPHA\n"
                    "STOP Run terminated in OPNFMP statement executed\n"},
        RefusedCase{"null_map",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                        m.density_minimum = m.density_maximum = 1.0f;
                      }))}},
                    " **** Null Fourier map - ERROR ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{
            "section_smaller_than_a_plane",
            {{"ALPHA.EXP", experiment("P 1")}, {"ALPHA.FOB", map_bytes_with_section_size(15)}},
            " **** Map file section size is smaller than a section ****\n",
            "STOP REDFMP statement executed\n"},
        RefusedCase{"zero_grid_divisions",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                        m.grid_divisions[1] = 0;
                      }))}},
                    " **** Map file has grid divisions below 1 ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{"grid_divisions_beyond_the_grid_file",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                        m.grid_divisions = {16777240, 24, 24};
                      }))}},
                    " **** Map grid divisions 16777240 24 24 exceed the grid file's limit of "
                    "9999 ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{
            "grid_divisions_one_beyond_the_limit",
            {{"ALPHA.EXP", experiment("P 1")},
             {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                m.grid_divisions[2] = 10000;
              }))}},
            " **** Map grid divisions 4 4 10000 exceed the grid file's limit of 9999 ****\n",
            "STOP REDFMP statement executed\n"},
        RefusedCase{
            "file_cut_short",
            {{"ALPHA.EXP", experiment("P 1")},
             {"ALPHA.FOB", support::map_file_bytes(cell_map({4, 4, 4})).substr(0, 4 * 8193 * 4)}},
            " **** Map file is too short for its sections ****\n",
            "STOP REDFMP statement executed\n"},
        RefusedCase{
            "file_without_its_headers",
            {{"ALPHA.EXP", experiment("P 1")},
             {"ALPHA.FOB", support::map_file_bytes(cell_map({4, 4, 4})).substr(0, 4 * 8193 + 20)}},
            " **** Map file is too short for its headers ****\n",
            "STOP REDFMP statement executed\n"},
        RefusedCase{"record_length_too_short",
                    {{"ALPHA.EXP", experiment("P 1", {{" EXPR FOBSRL", "        10"}})},
                     {"ALPHA.FOB", support::map_file_bytes(cell_map({4, 4, 4}))}},
                    " **** Map file record length is too short for its sections ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{"huge_section",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", map_bytes_with_section_size(2147483647)}},
                    " **** Map file is too short for its sections ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{"value_not_a_number",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                        m.values[5] = std::nanf("");
                      }))}},
                    " **** Map file holds values that are not numbers ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{"limits_not_numbers",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                        m.density_maximum = INFINITY;
                      }))}},
                    " **** Map file density limits are not numbers ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{"limits_too_small_to_scale",
                    {{"ALPHA.EXP", experiment("P 1")},
                     {"ALPHA.FOB", support::map_file_bytes(damaged([](support::MapFile& m) {
                        m.density_minimum = 0.0f;
                        m.density_maximum = 1e-40f;
                      }))}},
                    " **** Map density limits cannot be scaled ****\n",
                    "STOP REDFMP statement executed\n"},
        RefusedCase{"symbol_rejected",
                    {{"ALPHA.EXP", experiment("P -2")},
                     {"ALPHA.FOB", support::map_file_bytes(cell_map({4, 4, 4}))}},
                    " ****** Error processing symbol P -2                \n"
                    " The 2bar operator is not allowed                \n",
                    "STOP REDFMP statement executed\n"}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
