// The map-type dialogue at its edges: why a type cannot be opened, said before the question comes
// again, and answers given on the command line after the experiment name.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "experiment.hpp"

namespace e2e {
namespace {

// A P 1 experiment ALPHA with a 2 x 2 x 2 map ALPHA.FOB; ALPHA.DEL is a directory, and the
// record length of DELF maps is recorded, while ALPHA.FCL is a map without its record.
std::map<std::string, std::string> experiment_files() {
  Crystal crystal;
  crystal.lengths = {4, 4, 4};
  crystal.angles = {90, 90, 90};
  std::vector<support::ExperimentRecord> records = experiment_records("Small", "P 1", crystal);
  records.insert(records.end() - 1, {" EXPR DELFRL", "      8193"});
  support::MapFile map;
  map.phase_name = "Small";
  map.grid_divisions = map.block_steps = {2, 2, 2};
  map.values = {0, 1, 1, 0, 1, 0, 0, 1};
  map.density_maximum = 1.0f;
  return {{"ALPHA.EXP", support::experiment_file_bytes(records)},
          {"ALPHA.FOB", support::map_file_bytes(map)},
          {"ALPHA.FCL", support::map_file_bytes(map)},
          {"ALPHA.DEL/inside", ""}};
}

// What a run writes after the banner, up to the line that names the opened map.
std::string dialogue(const std::string& output) {
  const std::size_t banner_end = output.rfind("---|\n\n");
  const std::size_t opened = output.find(" file has been opened\n");
  if (banner_end == std::string::npos) return output;
  const std::size_t end = opened == std::string::npos ? output.size() : opened;
  return output.substr(banner_end + 6, end - banner_end - 6);
}

const std::string kPrompt = " Enter map type wanted (FOBS,FCLC,DELF,QUIT) >";

struct DialogueCase {
  const char* name;
  std::vector<std::string> arguments;
  std::vector<std::string> removed_files;
  std::string input;
  std::string dialogue;
  std::string standard_error;
  int exit_status;
};

void PrintTo(const DialogueCase& c, std::ostream* os) {
  *os << c.name;
}

class DialogueTest : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(DialogueTest, TerminalAndStandardErrorAsTheUserSeesThem) {
  const DialogueCase& c = GetParam();
  support::RunRequest request;
  request.files = experiment_files();
  for (const std::string& name : c.removed_files) request.files.erase(name);
  request.arguments = c.arguments;
  request.standard_input = c.input;
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  const support::RunResult run = run_on_one_and_two_threads(MAPCONV_PROGRAM, request);
  EXPECT_EQ(run.exit_status, c.exit_status);
  EXPECT_EQ(dialogue(run.standard_output), c.dialogue) << run.standard_output;
  EXPECT_EQ(run.standard_error, c.standard_error);
  EXPECT_EQ(run.files.contains("ALPHA.grd"), c.exit_status == 0);
}

const std::string kNoFclcRecord =
    " **** ALPHA.FCL cannot be opened: the experiment file has no record-length record"
    " \" EXPR FCLCRL\" ****\n";
const std::string kDelIsADirectory = " **** ALPHA.DEL cannot be opened: it is a directory ****\n";
// An answer that names no map file of the experiment is told which types it has.
const std::string kNoFdf =
    " **** FDFX is not one of the map types of ALPHA: FOBS, FCLC, DELF ****\n";
const std::string kQuitStop = "STOP Run terminated in OPNFMP statement executed\n";

INSTANTIATE_TEST_SUITE_P(
    Reasons, DialogueTest,
    ::testing::Values(DialogueCase{"EveryReasonBeforeTheQuestionComesAgain",
                                   {"ALPHA"},
                                   {},
                                   "fclc\ndelf\nfdfx\nfobs\n",
                                   kPrompt + kNoFclcRecord + kPrompt + kDelIsADirectory + kPrompt +
                                       kNoFdf + kPrompt + " A FOBS",
                                   "",
                                   0},
                      DialogueCase{"TheOnlyMapFileToo",
                                   {"ALPHA"},
                                   {"ALPHA.FOB", "ALPHA.DEL/inside"},
                                   "quit\n",
                                   kNoFclcRecord + " Enter map type wanted (FCLC,QUIT) >",
                                   kQuitStop,
                                   1}),
    [](const auto& info) { return std::string(info.param.name); });

// Answers after the experiment name are taken as if typed ahead on one line: the questions they
// answer show no prompt, and what no question took is named at the end.
INSTANTIATE_TEST_SUITE_P(CommandLineAnswers, DialogueTest,
                         ::testing::Values(
                             DialogueCase{
                                 "TakenWithoutAsking", {"ALPHA", "fobs"}, {}, "", " A FOBS", "", 0},
                             DialogueCase{"InOrderAfterAReasonWithTheRestNamed",
                                          {"ALPHA", "fclc", "fobs", "left over"},
                                          {},
                                          "",
                                          kNoFclcRecord + " A FOBS",
                                          "mapconv: arguments not used: left over\n",
                                          0},
                             DialogueCase{"CommasSeparateAnswersInOneArgument",
                                          {"ALPHA", "fclc,fobs"},
                                          {},
                                          "",
                                          kNoFclcRecord + " A FOBS",
                                          "",
                                          0},
                             DialogueCase{"UsedUpThenTheTerminalIsAsked",
                                          {"ALPHA", "fclc"},
                                          {},
                                          "fobs\n",
                                          kNoFclcRecord + kPrompt + " A FOBS",
                                          "",
                                          0},
                             DialogueCase{"QuitStopsAndTheRestIsNamedAfterTheStop",
                                          {"ALPHA", "quit", "x"},
                                          {},
                                          "",
                                          "",
                                          kQuitStop + "mapconv: arguments not used: x\n",
                                          1},
                             DialogueCase{"NoQuestionWithOneMapFile",
                                          {"ALPHA", "FOBS"},
                                          {"ALPHA.FCL", "ALPHA.DEL/inside"},
                                          "",
                                          " A FOBS",
                                          "",
                                          0}),
                         [](const auto& info) { return std::string(info.param.name); });

// With one map file no question takes the map type given on the command line: it is checked
// against that file, so a script never converts a map it did not ask for.
const std::string kOnlyDelf = "FOBS was asked for, but the only map of ALPHA is ALPHA.DEL (DELF)";
const std::string kOnlyFobs = "PTSN was asked for, but the only map of ALPHA is ALPHA.FOB (FOBS)";
const std::vector<std::string> kAllButFob = {"ALPHA.FCL", "ALPHA.DEL/inside"};

INSTANTIATE_TEST_SUITE_P(AskedForTypes, DialogueTest,
                         ::testing::Values(DialogueCase{"AnotherTypeStopsBeforeAnythingIsWritten",
                                                        {"ALPHA", "FOBS"},
                                                        {"ALPHA.FOB", "ALPHA.FCL"},
                                                        "",
                                                        " **** " + kOnlyDelf + " ****\n",
                                                        "mapconv: " + kOnlyDelf + "\n" + kQuitStop,
                                                        1},
                                           DialogueCase{"ATypeWithoutAFileToo",
                                                        {"ALPHA", "ptsn", "more"},
                                                        kAllButFob,
                                                        "",
                                                        " **** " + kOnlyFobs + " ****\n",
                                                        "mapconv: " + kOnlyFobs + "\n" + kQuitStop +
                                                            "mapconv: arguments not used: more\n",
                                                        1},
                                           DialogueCase{"TheSameTypeInSmallLettersTakenSilently",
                                                        {"ALPHA", "fobs,"},
                                                        kAllButFob,
                                                        "",
                                                        " A FOBS",
                                                        "",
                                                        0},
                                           DialogueCase{"AnAnswerThatIsNoTypeIsLeftAsBefore",
                                                        {"ALPHA", "FOBSX"},
                                                        kAllButFob,
                                                        "",
                                                        " A FOBS",
                                                        "mapconv: arguments not used: FOBSX\n",
                                                        0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Answers that name no map file of the experiment are told so with the types it has, and a run
// that ends at the question says so on standard error, where a script's log does not hide it.
INSTANTIATE_TEST_SUITE_P(
    TrueReasons, DialogueTest,
    ::testing::Values(
        DialogueCase{
            "EmptyAnswerAndATypeWithoutAFile",
            {"ALPHA"},
            {},
            "\nptsn\nfobs\n",
            kPrompt +
                " **** No map type was given; the map types of ALPHA are: FOBS, FCLC, "
                "DELF ****\n" +
                kPrompt +
                " **** PTSN is not one of the map types of ALPHA: FOBS, FCLC, DELF ****\n" +
                kPrompt + " A FOBS",
            "",
            0},
        DialogueCase{
            "InputEndsAtTheQuestion",
            {"ALPHA"},
            {},
            "fdfx\n",
            kPrompt + kNoFdf + kPrompt + kPrompt + " FORTRAN error number  -1 on unit  5\n",
            "mapconv: standard input ended at the map-type question\n",
            1}),
    [](const auto& info) { return std::string(info.param.name); });

// The suite names map files in capitals: one in small letters is never opened, and the user is
// told so, as for the experiment file.
TEST(MapFileCase, AMapFileThatDiffersOnlyInCaseIsNamed) {
  MAPCONV_SKIP_ON_WINDOWS("names that differ only in case are one name there");
  std::map<std::string, std::string> files = experiment_files();
  files["ALPHA.fob"] = files.at("ALPHA.FOB");
  for (const char* name : {"ALPHA.FOB", "ALPHA.FCL", "ALPHA.DEL/inside"}) files.erase(name);
  const support::RunResult run = run_mapconv(files, "ALPHA");
  const std::string hint = "ALPHA.fob is there, but map file names are upper-cased: rename it";
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(dialogue(run.standard_output),
            " **** No Fourier map file was found for ALPHA ****\n **** " + hint + " ****\n");
  EXPECT_EQ(run.standard_error,
            "mapconv: no Fourier map file was found for ALPHA (" + hint + ")\n" + kQuitStop);
}

}  // namespace
}  // namespace e2e
