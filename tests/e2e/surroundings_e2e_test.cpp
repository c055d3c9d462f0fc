// mapconv in the surroundings that a user's shell gives it: standard streams closed or failing,
// a grid file name that holds a link, a FIFO or a directory, a macro recorded under the grid
// file's name, and experiment names with blanks, dots, many characters or letters beyond ASCII.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace e2e {
namespace {

using Files = std::map<std::string, std::string>;
using Records = std::vector<support::ExperimentRecord>;

Records current_records(const std::string& title = "Surroundings") {
  Crystal crystal;
  crystal.lengths = {10, 10, 10};
  crystal.angles = {90, 90, 90};
  return experiment_records(title, "P 1", crystal);
}

Records version_five_records() {
  return as_version_five(current_records());
}

const std::string kGridFile = "Surroundings" + std::string(38, ' ') + " FOBS" +
                              std::string(11, ' ') +
                              "\r\n"
                              "  10.00000  10.00000  10.00000   90.0000   90.0000   90.0000\r\n"
                              "   1   1   2\r\n"
                              "  0.\r\n"
                              "  2.\r\n";

Files experiment_files(const std::string& name, const Records& records) {
  return {{name + ".EXP", support::experiment_file_bytes(records)},
          {name + ".FOB", support::map_file_bytes(two_point_map())}};
}

support::RunRequest request_for(const Files& files, const std::string& name = "ALPHA",
                                const std::string& input = "") {
  support::RunRequest request;
  request.arguments = {name};
  request.files = files;
  request.standard_input = input;
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}, {"TARN", MAPCONV_SOURCE_DIR}};
  return request;
}

struct StreamCase {
  const char* name;
  std::optional<std::string> output_to;  // "": closed
  std::optional<std::string> error_to;   // "": closed
  bool upgrade;                          // a version 5 file, which the run upgrades
  int exit_status;
  std::string standard_error;  // as collected; "" when redirected
  std::vector<std::string> more_arguments = {};
  const char* not_on_windows = nullptr;  // why the Windows programs cannot meet the case
};

void PrintTo(const StreamCase& c, std::ostream* os) {
  *os << c.name;
}

class StandardStreamRun : public ::testing::TestWithParam<StreamCase> {};

// What becomes of the terminal output is no business of the files: they end as after a run with
// every stream open, and no file the run opens takes a closed stream's place.
TEST_P(StandardStreamRun, LeavesTheFilesOfARunWithEveryStreamOpen) {
  const StreamCase& c = GetParam();
  if (c.not_on_windows != nullptr) MAPCONV_SKIP_ON_WINDOWS(c.not_on_windows);
  support::RunRequest request = request_for(
      experiment_files("ALPHA", c.upgrade ? version_five_records() : current_records()));
  request.arguments.insert(request.arguments.end(), c.more_arguments.begin(),
                           c.more_arguments.end());
  const support::RunResult normal = support::run_built_program(MAPCONV_PROGRAM, request);
  ASSERT_EQ(normal.exit_status, 0) << normal.standard_error;
  ASSERT_EQ(normal.files.at("ALPHA.EXP") != request.files.at("ALPHA.EXP"), c.upgrade);
  request.standard_output_to = c.output_to;
  request.standard_error_to = c.error_to;
  const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
  EXPECT_FALSE(run.signalled) << run.signal;
  EXPECT_EQ(run.exit_status, c.exit_status);
  EXPECT_EQ(run.standard_error, c.standard_error);
  EXPECT_EQ(run.files, normal.files);
}

const std::string kLostOutput = "mapconv: the terminal output could not be written: ";

INSTANTIATE_TEST_SUITE_P(
    Streams, StandardStreamRun,
    ::testing::Values(
        StreamCase{"OutputClosed", "", std::nullopt, false, 1,
                   kLostOutput + "Bad file descriptor\n"},
        StreamCase{"OutputOnAFullDevice", "/dev/full", std::nullopt, false, 1,
                   kLostOutput + "No space left on device\n"},
        StreamCase{"ErrorClosed", std::nullopt, "", false, 0, ""},
        StreamCase{"OutputClosedWhileUpgrading", "", std::nullopt, true, 1,
                   kLostOutput + "Bad file descriptor\n"},
        StreamCase{"OutputToAPipeWithoutReader",
                   support::kPipeWithoutReader,
                   std::nullopt,
                   false,
                   1,
                   kLostOutput + "Broken pipe\n",
                   {},
                   "the C runtime reports a write to a pipe without reader as an invalid argument"},
        StreamCase{"WarningOnAFullErrorDevice",
                   std::nullopt,
                   "/dev/full",
                   false,
                   1,
                   "",
                   {"EXTRA"},
                   "under wine the error stream on /dev/full takes writes without failing"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OwnFileCase {
  const char* name;
  std::optional<std::string> output_to;
  std::optional<std::string> error_to;
  std::string standard_output;
  std::string standard_error;
};

// A standard stream that is one of the run's own files would write the terminal into it: the run
// ends before writing anything (not even the upgrade's line), and says so on the other stream.
TEST(StreamsOntoTheRunsFiles, EndTheRunBeforeAnythingIsWritten) {
  MAPCONV_SKIP_ON_WINDOWS(
      "under wine a standard stream redirected to a file is not found to be it");
  const std::string done = ": nothing was done\n";
  const std::vector<OwnFileCase> cases = {
      {"OutputAppendedToTheExperimentFile", "ALPHA.EXP", std::nullopt, "",
       "mapconv: standard output is the experiment file ALPHA.EXP" + done},
      {"ErrorAppendedToTheExperimentFile", std::nullopt, "ALPHA.EXP",
       "mapconv: standard error is the experiment file ALPHA.EXP" + done, ""},
      {"OutputAppendedToTheGridFile", "ALPHA.grd", std::nullopt, "",
       "mapconv: standard output is the grid file ALPHA.grd" + done},
      {"ErrorAppendedToTheMapFile", std::nullopt, "ALPHA.FOB",
       "mapconv: standard error is a map file ALPHA.FOB" + done, ""}};
  for (const OwnFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    support::RunRequest request = request_for(experiment_files("ALPHA", version_five_records()));
    request.files["ALPHA.grd"] = "An older grid file\r\n";
    request.standard_output_to = c.output_to;
    request.standard_error_to = c.error_to;
    const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.standard_output, c.standard_output);
    EXPECT_EQ(run.standard_error, c.standard_error);
    EXPECT_EQ(run.files, request.files);
  }
}

// Only a regular file is an experiment file: anything else under its name is refused before it
// is read, with the reason; nothing is written.
TEST(ExperimentFileThatIsNoFile, IsRefusedBeforeAnyRead) {
  MAPCONV_SKIP_ON_WINDOWS("devices and FIFOs");
  struct KindCase {
    const char* name;
    std::vector<std::string> directories;
    Files links;
    std::vector<std::string> fifos;
    std::string reason;
  };
  const std::vector<KindCase> cases = {
      {"Directory", {"ALPHA.EXP"}, {}, {}, "it is a directory"},
      {"LinkToADevice", {}, {{"ALPHA.EXP", "/dev/zero"}}, {}, "it is a device"},
      {"Fifo", {}, {}, {"ALPHA.EXP"}, "it is a FIFO"}};
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.name);
    support::RunRequest request =
        request_for({{"ALPHA.FOB", support::map_file_bytes(two_point_map())},
                     {"alpha.exp", "another experiment"}});
    request.directories = c.directories;
    request.symbolic_links = c.links;
    request.fifos = c.fifos;
    request.time_limit = std::chrono::seconds(20);
    const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
    EXPECT_FALSE(run.signalled || run.timed_out) << run.signal;
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.standard_output,
              " **** ERROR - File ALPHA.EXP is left as it is: " + c.reason + " ****\n");
    EXPECT_EQ(run.standard_error, "mapconv: ALPHA.EXP is left as it is: " + c.reason +
                                      "\nSTOP Program terminated in OPNEXP statement executed\n");
    EXPECT_EQ(run.files, request.files);
  }
}

// A map file that is a FIFO would hold the run at its opening: it is refused with the reason,
// and the question that follows ends the run at the end of its input.
TEST(MapFileThatIsNoFile, IsRefusedBeforeItIsOpened) {
  MAPCONV_SKIP_ON_WINDOWS("FIFOs");
  support::RunRequest request =
      request_for({{"ALPHA.EXP", support::experiment_file_bytes(current_records())}});
  request.fifos = {"ALPHA.FOB"};
  request.time_limit = std::chrono::seconds(20);
  const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
  EXPECT_FALSE(run.signalled || run.timed_out) << run.signal;
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.standard_output.find("\n **** ALPHA.FOB cannot be opened: it is a FIFO ****\n"),
            std::string::npos)
      << run.standard_output;
  EXPECT_EQ(run.files, request.files);
}

// A write beyond the file-size limit fails as a full disk does, rather than ending the run on
// the spot with its temporary file left behind.
TEST(FileSizeLimit, FailsTheWriteAndLeavesNoTemporaryFile) {
  MAPCONV_SKIP_ON_WINDOWS("no file-size limit");
  support::RunRequest request = request_for(experiment_files("ALPHA", current_records()));
  request.file_size_limit = 100;
  const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
  EXPECT_FALSE(run.signalled && run.signal == SIGXFSZ);
  EXPECT_NE(run.standard_error.find("File too large"), std::string::npos) << run.standard_error;
  EXPECT_EQ(run.files, request.files);
}

struct TargetCase {
  const char* name;
  std::vector<std::string> directories;
  Files links;
  std::vector<std::string> fifos;
  Files inside;  // files in the directories
  bool refused;
};

// Only a regular file is replaced: whatever else the grid file's name holds is written through
// and stays, or, being a directory, is refused before anything is written for it.
TEST(GridFileTarget, IsWrittenThroughOrRefusedButNeverReplaced) {
  const support::NullDevice null_device;
  const std::vector<TargetCase> cases = {
      {"LinkToTheNullDevice", {}, {{"ALPHA.grd", null_device.path().string()}}, {}, {}, false},
      {"Fifo", {}, {}, {"ALPHA.grd"}, {}, false},
      {"Directory", {"ALPHA.grd"}, {}, {}, {{"ALPHA.grd/kept", "kept"}}, true},
      {"LinkToADirectory", {"maps"}, {{"ALPHA.grd", "maps"}}, {}, {{"maps/kept", "kept"}}, true}};
  for (const TargetCase& c : cases) {
    SCOPED_TRACE(c.name);
    support::RunRequest request = request_for(experiment_files("ALPHA", current_records()));
    request.files.insert(c.inside.begin(), c.inside.end());
    request.directories = c.directories;
    request.symbolic_links = c.links;
    request.fifos = c.fifos;
    const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
    if (c.refused) {
      EXPECT_TRUE(run.signalled && run.signal == SIGABRT) << run.exit_status;
      EXPECT_NE(("\n" + run.standard_error).find("\nopen: Is a directory\n"), std::string::npos)
          << run.standard_error;
    } else {
      EXPECT_FALSE(run.signalled) << run.signal;
      EXPECT_EQ(run.exit_status, 0);
      EXPECT_EQ(run.standard_error, "");
    }
    EXPECT_EQ(run.other_entries, support::entries_made(request));
    EXPECT_EQ(run.files, request.files);  // no grid file and no temporary one
    for (const std::string& name : c.fifos) EXPECT_EQ(run.read_from_fifos.at(name), kGridFile);
  }
  EXPECT_TRUE(std::filesystem::is_character_file(null_device.path()));
}

// The grid file and a macro recorded under its name are both made new in one run: neither may
// take the other's place, so the recording stays under its temporary name, which the terminal
// gives.
TEST(MacroUnderTheGridFileName, KeepsTheGridFileAndTheRecording) {
  Files files = experiment_files("ALPHA", current_records());
  files["ALPHA.FCL"] = files.at("ALPHA.FOB");
  const support::RunResult run = support::run_built_program(
      MAPCONV_PROGRAM, request_for(files, "ALPHA", "@M\nALPHA.grd\nfobs\n"));
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_error, "");
  std::smatch kept;
  ASSERT_TRUE(std::regex_search(
      run.standard_output, kept,
      std::regex("\n \\*\\*\\*\\* ALPHA\\.grd was made meanwhile: what was written for it is kept "
                 "as (ALPHA\\.grd\\.partial-[0-9]+-[0-9a-f]{8}) \\*\\*\\*\\*\n")))
      << run.standard_output;
  files["ALPHA.grd"] = kGridFile;
  files[kept[1]] = "fobs\r\n";
  EXPECT_EQ(run.files, files);
}

struct NameCase {
  const char* label;
  std::string argument;
  std::string experiment;  // the experiment's files' names without their extension
  std::string decoy;       // an experiment that a name taken in part would open; "": none
  bool upgrade;            // a version 5 file, which the run upgrades
};

void PrintTo(const NameCase& c, std::ostream* os) {
  *os << c.label;
}

class ExperimentName : public ::testing::TestWithParam<NameCase> {};

// The name is taken whole: only a trailing ".exp" is dropped and only ASCII letters of its last
// part are made capitals. Every file written stands beside the experiment file.
TEST_P(ExperimentName, OpensTheWholeNameAndWritesBesideIt) {
  const NameCase& c = GetParam();
  const Records records = c.upgrade ? version_five_records() : current_records();
  Files files = experiment_files(c.experiment, records);
  if (!c.decoy.empty()) files.merge(experiment_files(c.decoy, current_records("Decoy")));
  const support::RunResult run = run_mapconv(files, c.argument);
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_error, "");
  Files expected = files;
  expected[c.experiment + ".grd"] = kGridFile;
  if (c.upgrade) {
    const support::RunResult upgrade = support::run_built_program(
        MAPCONV_PROGRAM, request_for(experiment_files("ALPHA", records)));
    expected[c.experiment + ".EXP"] = upgrade.files.at("ALPHA.EXP");
  }
  EXPECT_EQ(run.files, expected);
}

// Room for ".grd" and no more in a directory's 255-byte names: a temporary name made by adding
// to it has to be shortened.
const std::string kLongName(240, 'A');

INSTANTIATE_TEST_SUITE_P(
    Names, ExperimentName,
    ::testing::Values(NameCase{"BlankInTheDirectory", "my data/alpha", "my data/ALPHA", "MY",
                               false},
                      NameCase{"ExtensionLikePart", "al.exp1", "AL.EXP1", "AL", false},
                      NameCase{"DotsAndTrailingExtension", "a.b.exp", "A.B", "A", false},
                      NameCase{"LongestName", std::string(240, 'a'), kLongName, "", false},
                      NameCase{"LongestNameUpgraded", std::string(240, 'a'), kLongName, "", true},
                      NameCase{"LettersBeyondAscii",
                               "donn\xC3\xA9"
                               "es/\xC3\xA9t\xC3\xA9",
                               "donn\xC3\xA9"
                               "es/\xC3\xA9T\xC3\xA9",
                               "", false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
