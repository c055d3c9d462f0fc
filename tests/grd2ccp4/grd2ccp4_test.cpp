// grd2ccp4 run as a real process on grid files written here in mapconv's layout; the maps it
// writes are read back through gemmi.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gemmi/ccp4.hpp>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ccp4/map_file.hpp"
#include "gridfile/grid_reader.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/run_program.hpp"

namespace {

using Files = std::map<std::string, std::string>;

const std::string kTitle = "Monoclinic test phase                              FOBS";

struct GridText {
  std::string title = kTitle;
  std::array<double, 6> cell = {5.1, 6.2, 7.3, 90.0, 101.5, 90.0};
  std::array<int, 3> divisions = {3, 4, 5};
  std::string line_end = "\r\n";
};

// A value that tells its grid point apart from every other: whole hundreds for x, tens for y,
// units for z, all exact in single precision.
float marker(int i, int j, int k) {
  return static_cast<float>(100 * i + 10 * j + k) - 123.5f;
}

// The grid file in mapconv's layout, with the marker values z fastest and x slowest.
std::string grid_file(const GridText& grid) {
  char header[128];
  std::snprintf(header, sizeof header, "%10.5f%10.5f%10.5f%10.4f%10.4f%10.4f%s%4d%4d%4d%s",
                grid.cell[0], grid.cell[1], grid.cell[2], grid.cell[3], grid.cell[4], grid.cell[5],
                grid.line_end.c_str(), grid.divisions[0], grid.divisions[1], grid.divisions[2],
                grid.line_end.c_str());
  std::string text = grid.title + grid.line_end + header;
  for (int i = 0; i < grid.divisions[0]; ++i) {
    for (int j = 0; j < grid.divisions[1]; ++j) {
      for (int k = 0; k < grid.divisions[2]; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "  %.9g", marker(i, j, k));
        text += line + grid.line_end;
      }
    }
  }
  return text;
}

support::RunResult run_grd2ccp4(const std::vector<std::string>& arguments, const Files& files) {
  support::RunRequest request;
  request.arguments = arguments;
  request.files = files;
  request.environment = {{"LC_ALL", "C"}};
  return support::run_built_program(GRD2CCP4_PROGRAM, request);
}

gemmi::Ccp4<float> map_of(const std::string& bytes) {
  gemmi::Ccp4<float> map;
  map.read_ccp4_from_memory(bytes.data(), bytes.size(), "map");
  return map;
}

// The marker is linear in i, j and k, so over a whole grid its mean is the marker at the mean
// indices and its variance the sum of the variances of the three uniform index ranges.
double marker_mean(const std::array<int, 3>& n) {
  return 100 * (n[0] - 1) / 2.0 + 10 * (n[1] - 1) / 2.0 + (n[2] - 1) / 2.0 - 123.5;
}

double marker_rms(const std::array<int, 3>& n) {
  return std::sqrt((1e4 * (n[0] * n[0] - 1) + 1e2 * (n[1] * n[1] - 1) + (n[2] * n[2] - 1)) / 12.0);
}

struct ConversionCase {
  const char* name;
  GridText grid;
  std::vector<std::string> arguments;
  std::string input;
  std::string output;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
  *os << c.name;
}

class ConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, WritesTheWholeCellInTheMapsAxisOrder) {
  const ConversionCase& c = GetParam();
  if (std::string_view(c.name) == "SmallLettersKeptWhenOnlyThatFileExists") {
    MAPCONV_SKIP_ON_WINDOWS("names that differ only in case are one name there");
  }
  const support::RunResult run = run_grd2ccp4(c.arguments, {{c.input, grid_file(c.grid)}});
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_error, "");
  const std::array<int, 3> n = c.grid.divisions;
  const std::string summary = "Wrote " + c.output + ": " + std::to_string(n[0]) + " x " +
                              std::to_string(n[1]) + " x " + std::to_string(n[2]) + " points";
  EXPECT_TRUE(run.standard_output.starts_with(summary)) << run.standard_output;
  ASSERT_EQ(run.files.size(), 2u) << "a temporary file was left behind";
  ASSERT_EQ(run.files.count(c.output), 1u);
  const gemmi::Ccp4<float> map = map_of(run.files.at(c.output));

  EXPECT_EQ(map.header_i32(4), 2);  // mode: 32-bit reals
  EXPECT_EQ(map.header_3i32(1), n);
  EXPECT_EQ(map.header_3i32(5), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(map.header_3i32(8), n);
  EXPECT_EQ(map.header_3i32(17), (std::array<int, 3>{1, 2, 3}));
  EXPECT_EQ(map.header_i32(23), 1);  // P 1
  for (int w = 0; w < 6; ++w) EXPECT_EQ(map.header_float(11 + w), float(c.grid.cell[w])) << w;
  EXPECT_EQ(map.header_str(57, kTitle.size()), kTitle);

  ASSERT_EQ(map.grid.axis_order, gemmi::AxisOrder::XYZ);
  for (int i = 0; i < n[0]; ++i) {
    for (int j = 0; j < n[1]; ++j) {
      for (int k = 0; k < n[2]; ++k) {
        ASSERT_EQ(map.grid.get_value_q(i, j, k), marker(i, j, k)) << i << " " << j << " " << k;
      }
    }
  }
  EXPECT_EQ(map.header_float(20), marker(0, 0, 0));
  EXPECT_EQ(map.header_float(21), marker(n[0] - 1, n[1] - 1, n[2] - 1));
  EXPECT_NEAR(map.header_float(22), marker_mean(n), 1e-4);
  EXPECT_NEAR(map.header_float(55), marker_rms(n), 1e-4);
}

GridText triclinic_with_lf_lines() {
  GridText grid;
  grid.cell = {7.25, 8.5, 9.75, 81.25, 77.5, 65.125};
  grid.divisions = {5, 2, 7};
  grid.line_end = "\n";
  return grid;
}

INSTANTIATE_TEST_SUITE_P(
    Grids, ConversionTest,
    ::testing::Values(
        ConversionCase{"MonoclinicToDefaultName", GridText{}, {"M.grd"}, "M.grd", "M.ccp4"},
        ConversionCase{
            "MonoclinicToNamedFile", GridText{}, {"M.grd", "out.map"}, "M.grd", "out.map"},
        ConversionCase{"NameWithoutExtension", GridText{}, {"PHASE"}, "PHASE", "PHASE.ccp4"},
        // As for mapconv, the experiment name alone finds the grid file when no file has it.
        ConversionCase{"ExperimentName", GridText{}, {"ALPHA"}, "ALPHA.grd", "ALPHA.ccp4"},
        ConversionCase{"ExperimentNameInADirectory",
                       GridText{},
                       {"run/ALPHA"},
                       "run/ALPHA.grd",
                       "run/ALPHA.ccp4"},
        // mapconv's rule: the directory as typed, the name in capitals.
        ConversionCase{"ExperimentNameInSmallLetters",
                       GridText{},
                       {"run/alpha"},
                       "run/ALPHA.grd",
                       "run/ALPHA.ccp4"},
        ConversionCase{"SmallLettersKeptWhenOnlyThatFileExists",
                       GridText{},
                       {"run/alpha"},
                       "run/alpha.grd",
                       "run/alpha.ccp4"},
        ConversionCase{
            "TriclinicWithLfLines", triclinic_with_lf_lines(), {"T.grd"}, "T.grd", "T.ccp4"},
        // Names are UTF-8 text on every system.
        ConversionCase{"LettersBeyondAscii",
                       GridText{},
                       {"donn\u00e9es/\u00e9t\u00e9.grd"},
                       "donn\u00e9es/\u00e9t\u00e9.grd",
                       "donn\u00e9es/\u00e9t\u00e9.ccp4"}),
    [](const auto& info) { return std::string(info.param.name); });

// Replaces line `number` (from 1) of a text with LF line ends.
std::string with_line(std::string text, int number, const std::string& line) {
  std::size_t start = 0;
  for (int n = 1; n < number; ++n) start = text.find('\n', start) + 1;
  const std::size_t end = text.find('\n', start);
  return text.replace(start, end - start, line);
}

GridText small_grid() {
  GridText grid;
  grid.divisions = {2, 1, 2};  // four values: lines 4 to 7
  grid.line_end = "\n";
  return grid;
}

const std::string kSmall = grid_file(small_grid());
const std::string kCellLine = "   5.10000   6.20000   7.30000   90.0000  101.5000   90.0000";

struct MalformedCase {
  const char* name;
  std::string file;  // the bytes of M.grd; "<none>" for no file
  std::string message;
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
  *os << c.name;
}

class MalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedTest, OneLineNoMapAndStatusOne) {
  const MalformedCase& c = GetParam();
  Files files = {{"M.ccp4", "an earlier map"}};
  if (c.file != "<none>") files["M.grd"] = c.file;
  const support::RunResult run = run_grd2ccp4({"M.grd"}, files);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_error, "grd2ccp4: " + c.message + "\n");
  EXPECT_EQ(run.standard_output, "");
  EXPECT_EQ(run.files, files) << "the earlier map must stay and nothing else be written";
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedTest,
    ::testing::Values(
        MalformedCase{"Missing", "<none>",
                      "M.grd: cannot read the file: No such file or directory"},
        MalformedCase{"Empty", "", "M.grd, line 1: the file ends before the title line"},
        MalformedCase{"TitleOnly", kTitle + "\r\n",
                      "M.grd, line 2: the file ends before the cell line"},
        MalformedCase{"NoDivisions", kTitle + "\r\n" + kCellLine + "\r\n",
                      "M.grd, line 3: the file ends before the grid divisions line"},
        MalformedCase{"CellNotANumber", with_line(kSmall, 2, "   5.10000    6.2x     7.30000"),
                      "M.grd, line 2: cell b (columns 11-20) is not a number: \"6.2x\""},
        MalformedCase{"CellCut", with_line(kSmall, 2, kCellLine.substr(0, 45)),
                      "M.grd, line 2: cell gamma (columns 51-60) is blank"},
        MalformedCase{"NegativeLength",
                      with_line(kSmall, 2, "   5.10000  -6.20000" + kCellLine.substr(20)),
                      "M.grd, line 2: cell length b must be positive, not -6.20000"},
        MalformedCase{"FlatAngle",
                      with_line(kSmall, 2, kCellLine.substr(0, 40) + "  180.0000   90.0000"),
                      "M.grd, line 2: cell angle beta must lie between 0 and 180 degrees, not "
                      "180.0000"},
        MalformedCase{
            "AnglesFormNoCell",
            with_line(kSmall, 2, kCellLine.substr(0, 30) + "   10.0000   10.0000  170.0000"),
            "M.grd, line 2: the cell angles do not form a cell"},
        MalformedCase{"TextAfterCell", with_line(kSmall, 2, kCellLine + "  7"),
                      "M.grd, line 2: unexpected text after column 60: \"7\""},
        MalformedCase{"NotText", with_line(kSmall, 2, "\x01\x02MAP \x7f"),
                      "M.grd, line 2: cell a (columns 1-10) is not a number: \"??MAP ?\""},
        MalformedCase{"NoLineEnds", kTitle + std::string(2000, '='),
                      "M.grd, line 1: the line is longer than 1024 characters"},
        MalformedCase{"DivisionNotANumber", with_line(kSmall, 3, "   2   x   2"),
                      "M.grd, line 3: grid division N2 (columns 5-8) is not a whole number: \"x\""},
        MalformedCase{"DivisionZero", with_line(kSmall, 3, "   2   1   0"),
                      "M.grd, line 3: grid division N3 (columns 9-12) must be at least 1, not 0"},
        MalformedCase{"ValueNotANumber", with_line(kSmall, 5, "  1.5e"),
                      "M.grd, line 5: the value is not a finite number: \"1.5e\""},
        MalformedCase{"ValueNotFinite", with_line(kSmall, 6, "  nan"),
                      "M.grd, line 6: the value is not a finite number: \"nan\""},
        MalformedCase{"ValueTooLarge", with_line(kSmall, 4, "  1E+039"),
                      "M.grd, line 4: the value is not a finite number: \"1E+039\""},
        MalformedCase{"BlankValue", with_line(kSmall, 7, "   "),
                      "M.grd, line 7: the value line is blank"},
        MalformedCase{"TooFewValues", kSmall.substr(0, kSmall.rfind('\n', kSmall.size() - 2) + 1),
                      "M.grd, line 7: the file ends after 3 of the 4 values of a 2 x 1 x 2 grid"},
        MalformedCase{"DivisionsCallForMore", with_line(kSmall, 3, "   2   2   2"),
                      "M.grd, line 8: the file ends after 4 of the 8 values of a 2 x 2 x 2 grid"},
        MalformedCase{"TooManyValues", kSmall + "  1.0\n",
                      "M.grd, line 8: more lines than the 4 values of a 2 x 1 x 2 grid"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CommandLineCase {
  const char* name;
  std::vector<std::string> arguments;
  int exit_status;
  std::string output_start;
  std::string error;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
  *os << c.name;
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, AnswersWithoutTouchingAFile) {
  const CommandLineCase& c = GetParam();
  const support::RunResult run = run_grd2ccp4(c.arguments, {});
  EXPECT_EQ(run.exit_status, c.exit_status);
  EXPECT_EQ(run.standard_output.substr(0, c.output_start.size()), c.output_start);
  EXPECT_EQ(run.standard_error, c.error);
  EXPECT_TRUE(run.files.empty());
}

const std::string kUsageError = "Usage: grd2ccp4 NAME.grd [OUT]   (grd2ccp4 --help tells more)\n";

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"ShortHelp", {"-h"}, 0, "Usage: grd2ccp4 NAME.grd [OUT]\n\n", ""},
        CommandLineCase{"LongVersion", {"--version"}, 0, "grd2ccp4 " MAPCONV_TEST_VERSION "\n", ""},
        CommandLineCase{"NoArgument", {}, 2, "", kUsageError},
        CommandLineCase{"ThreeArguments", {"a.grd", "b.ccp4", "c"}, 2, "", kUsageError},
        CommandLineCase{"SlashQuestionMark", {"/?"}, 0, "Usage: grd2ccp4 NAME.grd [OUT]\n\n", ""},
        CommandLineCase{
            "UnknownOption", {"-x", "a.grd"}, 2, "", "grd2ccp4: unknown option -x\n" + kUsageError},
        CommandLineCase{"NearMissOfAnOption",
                        {"--HELP"},
                        2,
                        "",
                        "grd2ccp4: unknown option --HELP\n" + kUsageError}),
    [](const auto& info) { return std::string(info.param.name); });

// The report names each figure truly. Values 0, 0, 0 and 4: mean 1, standard deviation
// sqrt((1 + 1 + 1 + 9) / 4) = sqrt(3), r.m.s. sqrt(16 / 4) = 2; the maximum lies
// 3 / sqrt(3) = 1.73 standard deviations above the mean, the minimum 1 / sqrt(3) = 0.577 below.
// A flat map has no spread to measure its extremes in.
TEST(ReportTest, NamesMeanStandardDeviationRmsAndTheExtremesInStandardDeviations) {
  const std::string header = kTitle + "\n" + kCellLine + "\n";
  const support::RunResult run =
      run_grd2ccp4({"S.grd"}, {{"S.grd", header + "   2   1   2\n  0.\n  0.\n  0.\n  4.\n"}});
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_output,
            "Wrote S.ccp4: 2 x 1 x 2 points, mean 1, standard deviation 1.73205, r.m.s. 2, "
            "maximum 4 (mean + 1.73 sd), minimum 0 (mean - 0.577 sd)\n");
  const support::RunResult flat =
      run_grd2ccp4({"F.grd"}, {{"F.grd", header + "   1   1   2\n  -2.\n  -2.\n"}});
  EXPECT_EQ(flat.standard_output,
            "Wrote F.ccp4: 1 x 1 x 2 points, mean -2, standard deviation 0, r.m.s. 2, "
            "maximum -2, minimum -2\n");
}

// A name ending in .grd in any case is the grid file's own name: a missing M.GRD is named as
// such, never as the M.GRD.grd of an experiment's name.
TEST(GridFileName, ExtensionInCapitalsIsTheFilesOwnName) {
  MAPCONV_SKIP_ON_WINDOWS("names that differ only in case are one name there");
  const support::RunResult run = run_grd2ccp4({"M.GRD"}, {{"M.grd", kSmall}});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_error,
            "grd2ccp4: M.GRD: cannot read the file: No such file or directory\n");
}

// A flat map has no spread: its r.m.s. deviation must come out as a number, not NaN.
TEST(StatisticsTest, FlatMapHasAFiniteRms) {
  const std::vector<float> values(27, 0.1f);
  gridfile::ValueSums sums;
  sums.add(values.data(), values.size());
  const ccp4::MapStatistics statistics = sums.statistics();
  const ccp4::MapDescription description{
      {3, 3, 3}, {4.0f, 5.0f, 6.0f}, {90.0f, 90.0f, 90.0f}, "", nullptr};
  std::string bytes = ccp4::header_bytes(description, statistics);
  const std::size_t header = bytes.size();
  bytes.resize(header + values.size() * sizeof(float));
  std::memcpy(bytes.data() + header, values.data(), values.size() * sizeof(float));
  const gemmi::Ccp4<float> map = map_of(bytes);
  EXPECT_TRUE(std::isfinite(map.header_float(55)));
  EXPECT_NEAR(map.header_float(55), 0.0, 1e-6);
  EXPECT_EQ(map.header_float(22), 0.1f);
}

}  // namespace

namespace {

// Replacing a map given through a symbolic link: the link stays and points at the new map, which
// keeps the permissions of the old one, and no temporary file is left beside it.
TEST(MapReplacementTest, KeepsTheLinkAndThePermissionsOfTheReplacedMap) {
  namespace fs = std::filesystem;
  support::TempDirectory directory;
  support::write_file_bytes(directory / "S.grd", kSmall);
  support::write_file_bytes(directory / "old.ccp4", "an earlier map");
  fs::permissions(directory / "old.ccp4",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("old.ccp4", directory / "S.ccp4");

  const gridfile::GridFile grid = gridfile::read_grid_file(directory / "S.grd");
  const ccp4::MapDescription description{grid.divisions, grid.lengths, grid.angles, grid.title,
                                         nullptr};
  ccp4::MapFile map((directory / "S.ccp4").string());
  map.write(ccp4::header_bytes(description, grid.statistics), grid.values);
  map.commit();

  EXPECT_TRUE(fs::is_symlink(directory / "S.ccp4"));
  EXPECT_EQ(fs::read_symlink(directory / "S.ccp4"), "old.ccp4");
  EXPECT_EQ(fs::status(directory / "old.ccp4").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const gemmi::Ccp4<float> written = map_of(support::read_file_bytes(directory / "old.ccp4"));
  EXPECT_EQ(written.header_3i32(1), small_grid().divisions);
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"S.ccp4", "S.grd", "old.ccp4"}));
}

}  // namespace

namespace {

// A grid of several megabytes of text, its values numbering the lines from 0: more than one
// block of the reader, and a number of x planes that its gathering does not divide evenly.
constexpr std::array<int, 3> kLargeDivisions = {37, 61, 113};

std::string large_grid_file() {
  std::string text = kTitle + "\n" + kCellLine + "\n  37  61 113\n";
  const int count = kLargeDivisions[0] * kLargeDivisions[1] * kLargeDivisions[2];
  for (int v = 0; v < count; ++v) text += "  " + std::to_string(v) + ".00000\r\n";
  return text;
}

TEST(LargeGridTest, EveryValueReachesItsPlaceInTheMap) {
  const support::RunResult run = run_grd2ccp4({"L.grd"}, {{"L.grd", large_grid_file()}});
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  const gemmi::Ccp4<float> map = map_of(run.files.at("L.ccp4"));
  const auto [n1, n2, n3] = kLargeDivisions;
  for (int i = 0; i < n1; ++i) {
    for (int j = 0; j < n2; ++j) {
      for (int k = 0; k < n3; ++k) {
        ASSERT_EQ(map.grid.get_value_q(i, j, k), static_cast<float>((i * n2 + j) * n3 + k))
            << i << " " << j << " " << k;
      }
    }
  }
}

// Problems far into a large file name their own line, whichever block and run of lines they lie
// in; the first of two is the one reported, also when a later run was parsed first.
TEST(LargeGridTest, ProblemsNameTheirLine) {
  const std::string large = large_grid_file();
  auto with_value_line = [&](std::string text, int line, const std::string& value) {
    // Lines 4 on hold values from 0: the line of value v is v + 4.
    const std::string old = "  " + std::to_string(line - 4) + ".00000\r\n";
    return text.replace(text.find("\n" + old) + 1, old.size(), value + "\r\n");
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {with_value_line(large, 200004, "  1.5e"),
       "L.grd, line 200004: the value is not a finite number: \"1.5e\""},
      {with_value_line(with_value_line(large, 150000, "  x"), 250000, "   "),
       "L.grd, line 150000: the value is not a finite number: \"x\""},
      {with_value_line(with_value_line(large, 60000, "  y"), 40000, "  z"),
       "L.grd, line 40000: the value is not a finite number: \"z\""},
      {with_value_line(large, 180000, std::string(1025, '1')),
       "L.grd, line 180000: the line is longer than 1024 characters"},
      {large + "  1.0",
       "L.grd, line 255045: more lines than the 255041 values of a 37 x 61 x 113 grid"},
      // Lines too long to be carried over from one block to the next: one that spans blocks, and
      // last lines without a line end.
      {with_value_line(large, 100000, std::string(3 << 20, '1')),
       "L.grd, line 100000: the line is longer than 1024 characters"},
      {large + std::string(1500, '7'),
       "L.grd, line 255045: the line is longer than 1024 characters"},
      {large + std::string(3 << 20, '7'),
       "L.grd, line 255045: the line is longer than 1024 characters"},
      // Divisions that call for far more values than the file could hold fail at its end
      // without the memory of the whole grid.
      {kTitle + "\n" + kCellLine + "\n999999999999\n  1.0\n",
       "L.grd, line 5: the file ends after 1 of the 999700029999 values of a 9999 x 9999 x 9999 "
       "grid"},
  };
  for (const auto& [file, message] : cases) {
    const support::RunResult run = run_grd2ccp4({"L.grd"}, {{"L.grd", file}});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.standard_error, "grd2ccp4: " + message + "\n");
  }
}

}  // namespace

namespace {

// Value lines in the forms that the reader takes quickly and in those that it reads the slow
// way (many digits, a long exponent, a long line), one after the other.
TEST(ValueFormsTest, EveryFormGivesTheNearestFloat) {
  const std::vector<std::pair<std::string, float>> lines = {
      {"  -0.\r", -0.0f},
      {"  1.23456789E-005\r", 1.23456789E-5f},
      {"  0.0000000000000000000012345", 1.2345e-21f},
      {"\t.5 \t\r", 0.5f},
      {"  1.0E+0000000000000000001", 10.0f},
      {"  " + std::string(1000, '0') + "2.5  ", 2.5f},
      {"  16777217\r", 16777216.0f},  // halfway between two floats: to the even one
      {"  1.0E-50", 0.0f},            // too small for a float: zero, keeping its sign
      {"  -1.0E-50\r", -0.0f}};
  std::string text = kTitle + "\n" + kCellLine + "\n   1   1   9\n";
  for (const auto& [line, value] : lines) text += line + "\n";
  const support::RunResult run = run_grd2ccp4({"F.grd"}, {{"F.grd", text}});
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  const gemmi::Ccp4<float> map = map_of(run.files.at("F.ccp4"));
  for (int k = 0; k < static_cast<int>(lines.size()); ++k) {
    const float value = map.grid.get_value_q(0, 0, k);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(lines[k].second))
        << lines[k].first;
  }
}

}  // namespace

namespace {

namespace fs = std::filesystem;

struct ShellRun {
  int exit_status = -1;
  std::string standard_error;
};

// Runs grd2ccp4 through the shell in `directory` with its standard output redirected as
// `redirection` says, for what a plain run cannot set up: closed streams and linked names.
ShellRun run_grd2ccp4_in(const fs::path& directory, const std::string& arguments,
                         const std::string& redirection) {
  const auto [error, status] = support::run_shell_command("(cd '" + directory.string() +
                                                          "' && LC_ALL=C '" GRD2CCP4_PROGRAM "' " +
                                                          arguments + " " + redirection + ")");
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, error};
}

// The names in a directory with the bytes of each file, or the target of each symbolic link.
Files contents_of(const fs::path& directory) {
  Files contents;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    contents[entry.path().filename().string()] =
        entry.is_symlink() ? "-> " + fs::read_symlink(entry.path()).string()
                           : support::read_file_bytes(entry.path());
  }
  return contents;
}

// The map would destroy the grid file that it is made from: an output that is the grid file,
// under whatever name, is refused before anything is written.
TEST(SameFileTest, AnOutputThatIsTheGridFileIsRefused) {
  struct Case {
    std::string links;  // shell commands that make them
    std::string arguments, message;
  };
  const std::string same = ": cannot write the map: it is the grid file ALPHA.grd";
  const std::vector<Case> cases = {
      {"", "ALPHA.grd ALPHA.grd", "ALPHA.grd" + same},
      {"", "ALPHA.grd ./ALPHA.grd", "./ALPHA.grd" + same},
      {"", "ALPHA ../work/ALPHA.grd", "../work/ALPHA.grd" + same},
      {"ln ALPHA.grd copy.ccp4", "ALPHA.grd copy.ccp4", "copy.ccp4" + same},
      {"ln -s ALPHA.grd ALPHA.ccp4", "ALPHA.grd", "ALPHA.ccp4" + same},
      // Only "no such file" means that the output is absent.
      {"ln -s loop.ccp4 loop.ccp4", "ALPHA.grd loop.ccp4",
       "loop.ccp4: cannot write the map: cannot tell whether it is the grid file ALPHA.grd: Too "
       "many levels of symbolic links"}};
  for (const Case& c : cases) {
    support::TempDirectory scratch;
    const fs::path work = scratch / "work";
    support::write_file_bytes(work / "ALPHA.grd", kSmall);
    if (!c.links.empty()) support::run_shell_command("cd '" + work.string() + "' && " + c.links);
    const Files before = contents_of(work);
    const ShellRun run = run_grd2ccp4_in(work, c.arguments, ">/dev/null");
    EXPECT_EQ(run.exit_status, 1) << c.arguments;
    EXPECT_EQ(run.standard_error, "grd2ccp4: " + c.message + "\n");
    EXPECT_EQ(contents_of(work), before) << c.arguments;
  }
}

}  // namespace

namespace {

// The report line is the run's account of the map: a run that cannot give it fails, and the map
// stays as a run that gave it writes it.
TEST(ReportTest, AReportThatCannotBeWrittenFailsTheRun) {
  const std::string map = run_grd2ccp4({"M.grd"}, {{"M.grd", kSmall}}).files.at("M.ccp4");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {">&-", "Bad file descriptor"}, {">/dev/full", "No space left on device"}};
  for (const auto& [redirection, reason] : cases) {
    support::TempDirectory work;
    support::write_file_bytes(work / "M.grd", kSmall);
    const ShellRun run = run_grd2ccp4_in(work.path(), "M.grd", redirection);
    EXPECT_EQ(run.exit_status, 1) << redirection;
    EXPECT_EQ(run.standard_error, "grd2ccp4: the report could not be written: " + reason + "\n");
    EXPECT_EQ(contents_of(work.path()), (Files{{"M.grd", kSmall}, {"M.ccp4", map}})) << redirection;
  }
}

}  // namespace

namespace {

// Editors and file transfers leave blank lines at the end of a file: after the last value they
// are read as if they were not there, while any other line there is one too many.
TEST(TrailingLinesTest, OnlyBlankLinesMayFollowTheLastValue) {
  const std::string map = run_grd2ccp4({"M.grd"}, {{"M.grd", kSmall}}).files.at("M.ccp4");
  GridText with_cr_lf = small_grid();
  with_cr_lf.line_end = "\r\n";
  const std::string more = "M.grd, line 10: more lines than the 4 values of a 2 x 1 x 2 grid";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // file, error ("": read as kSmall)
      {kSmall + "\n", ""},
      {kSmall + "   \n\n", ""},
      {kSmall + "  ", ""},
      {grid_file(with_cr_lf) + "\r\n  \r\n", ""},
      {kSmall + "\n\n  1.0\n", more},
      {kSmall + "\n \n  x\n\n", more}};
  for (const auto& [file, error] : cases) {
    const support::RunResult run = run_grd2ccp4({"M.grd"}, {{"M.grd", file}});
    if (error.empty()) {
      EXPECT_EQ(run.exit_status, 0) << run.standard_error;
      EXPECT_EQ(run.files, (Files{{"M.grd", file}, {"M.ccp4", map}})) << file;
    } else {
      EXPECT_EQ(run.exit_status, 1);
      EXPECT_EQ(run.standard_error, "grd2ccp4: " + error + "\n");
    }
  }
}

}  // namespace

namespace {

// Only a regular file is replaced: the null device, directly or through a link, and a FIFO take
// the map as it is written and stay what they are; a directory is refused.
TEST(OutputTargetTest, IsWrittenThroughOrRefusedButNeverReplaced) {
  const std::string map = run_grd2ccp4({"M.grd"}, {{"M.grd", kSmall}}).files.at("M.ccp4");
  const support::NullDevice null_device;
  const std::string null = null_device.path().string();
  struct Case {
    const char* name;
    std::string output;
    std::vector<std::string> directories;
    Files links;
    std::vector<std::string> fifos;
    Files inside;  // files in the directories
    int exit_status;
    std::string standard_error;
  };
  const std::vector<Case> cases = {
      {"NullDevice", null, {}, {}, {}, {}, 0, ""},
      {"LinkToTheNullDevice", "M.ccp4", {}, {{"M.ccp4", null}}, {}, {}, 0, ""},
      {"Fifo", "M.ccp4", {}, {}, {"M.ccp4"}, {}, 0, ""},
      {"Directory",
       "maps",
       {"maps"},
       {},
       {},
       {{"maps/kept", "kept"}},
       1,
       "grd2ccp4: maps: cannot write the map: Is a directory\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    support::RunRequest request;
    request.arguments = {"M.grd", c.output};
    request.files = {{"M.grd", kSmall}};
    request.files.insert(c.inside.begin(), c.inside.end());
    request.environment = {{"LC_ALL", "C"}};
    request.directories = c.directories;
    request.symbolic_links = c.links;
    request.fifos = c.fifos;
    const support::RunResult run = support::run_built_program(GRD2CCP4_PROGRAM, request);
    EXPECT_EQ(run.exit_status, c.exit_status);
    EXPECT_EQ(run.standard_error, c.standard_error);
    EXPECT_EQ(run.files, request.files);
    EXPECT_EQ(run.other_entries, support::entries_made(request));
    for (const std::string& name : c.fifos) EXPECT_TRUE(run.read_from_fifos.at(name) == map);
  }
  EXPECT_TRUE(fs::is_character_file(null_device.path()));
}

}  // namespace

namespace {

std::string experiment_with_group(const std::string& symbol) {
  return support::experiment_file_bytes({{"     VERSION", "    6"},
                                         {"  FOUR CDAT1", "           1"},
                                         {"CRS1  ABC   ", "   5.10000   6.20000   7.30000"},
                                         {"CRS1  ANGLES", "   90.0000  101.5000   90.0000"},
                                         {"CRS1  SG SYM", symbol}});
}

// The operations in the map's symmetry records, as gemmi reads them.
std::set<std::string> header_operations(const gemmi::Ccp4<float>& map) {
  std::set<std::string> triplets;
  const int records = map.header_i32(24) / 80;
  for (int r = 0; r < records; ++r) {
    std::string text = map.header_str(257 + 20 * r, 80);
    text.erase(text.find_last_not_of(' ') + 1);
    triplets.insert(gemmi::parse_triplet(text).triplet());
  }
  return triplets;
}

std::set<std::string> table_operations(const char* name) {
  std::set<std::string> triplets;
  for (const gemmi::Op& op : gemmi::find_spacegroup_by_name(name)->operations()) {
    triplets.insert(op.triplet());
  }
  return triplets;
}

}  // namespace

// The group of the experiment file beside the grid file, or the one given, travels with the map:
// its number and operations (gemmi's table of the same setting), and the report names it. An
// experiment file whose group cannot be had leaves the map in P 1 with a note.
TEST(SpaceGroupHeaderTest, TheGroupTravelsWithTheMap) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    Files files;
    int number;
    const char* table_name;
    std::string report_end;
    std::string error;
  };
  const std::string grid = grid_file(GridText{});
  const std::vector<Case> cases = {
      {"experiment file",
       {"S.grd"},
       {{"S.grd", grid}, {"S.EXP", experiment_with_group("P 21/c")}},
       14,
       "P 1 21/c 1",
       ", space group P 21/c (number 14)\n",
       ""},
      {"given, two origins",
       {"--group", "F d -3 m", "S.grd"},
       {{"S.grd", grid}},
       227,
       "F d -3 m:2",
       ", space group F d -3 m (number 227, origin choice 2)\n",
       ""},
      {"given over the experiment file's",
       {"--group", "C 2/c", "S.grd"},
       {{"S.grd", grid}, {"S.EXP", experiment_with_group("P 21/c")}},
       15,
       "C 1 2/c 1",
       ", space group C 2/c (number 15)\n",
       ""},
      {"experiment file with a symbol that is no group",
       {"S.grd"},
       {{"S.grd", grid}, {"S.EXP", experiment_with_group("Q 9")}},
       1,
       "P 1",
       "\n",
       "grd2ccp4: S.EXP: the space-group symbol \"Q 9\" cannot be interpreted; the map says P "
       "1\n"},
  };
  for (const Case& c : cases) {
    const support::RunResult run = run_grd2ccp4(c.arguments, c.files);
    ASSERT_EQ(run.exit_status, 0) << c.name << ": " << run.standard_error;
    EXPECT_EQ(run.standard_error, c.error) << c.name;
    EXPECT_TRUE(run.standard_output.ends_with("minimum -123.5 (mean - 1.42 sd)" + c.report_end))
        << c.name << ": " << run.standard_output;
    const gemmi::Ccp4<float> map = map_of(run.files.at("S.ccp4"));
    EXPECT_EQ(map.header_i32(23), c.number) << c.name;
    ASSERT_NE(map.grid.spacegroup, nullptr);
    EXPECT_EQ(map.grid.spacegroup->number, c.number) << c.name;
    EXPECT_EQ(header_operations(map), table_operations(c.table_name)) << c.name;
    // The data still cover the whole cell.
    EXPECT_EQ(map.header_3i32(1), (std::array<int, 3>{3, 4, 5}));
    EXPECT_EQ(map.grid.get_value_q(2, 3, 4), marker(2, 3, 4));
  }
  const support::RunResult wrong = run_grd2ccp4({"--group", "X 1", "S.grd"}, {{"S.grd", grid}});
  EXPECT_EQ(wrong.exit_status, 1);
  EXPECT_EQ(wrong.standard_error,
            "grd2ccp4: --group: the space-group symbol \"X 1\" cannot be interpreted\n");
  EXPECT_EQ(wrong.files.size(), 1u);
}
