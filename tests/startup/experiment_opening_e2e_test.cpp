// The suite's start-up run as a real process: the driver calls STRTRN with the program name and
// modes of each case, the experiment name standing as its first argument when given, and
// writes the units it got; a line " listed" follows on the listing unit.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/experiment_file.hpp"
#include "support/run_program.hpp"

namespace startup {
namespace {

using Files = std::map<std::string, std::string>;
using Records = std::vector<support::ExperimentRecord>;

const std::string kBell = "\a";
const std::string kOpenedOnElevenToTerminal =
    " experiment unit 11 listing unit  6 terminal unit  6\n listed\n";

const Records kCurrentExperiment = {{"     VERSION", "    6"},
                                    {"      DESCR ", "  Current experiment"},
                                    {"ZZZZZZZZZZZZ", "  Last EXP file record"}};

std::string file_of(const Records& records) {
  return support::experiment_file_bytes(records);
}

struct Start {
  std::string program = "MAPCONV";
  std::string experiment_mode = "SHARED";
  std::string listing_mode = "TERM";
  std::vector<std::string> name = {};  // empty: no argument
  std::string input = {};
  Files files = {};
};

support::RunResult start(const Start& request) {
  support::RunRequest run;
  run.arguments = {request.program, request.experiment_mode, request.listing_mode};
  run.arguments.insert(run.arguments.end(), request.name.begin(), request.name.end());
  run.standard_input = request.input;
  run.files = request.files;
  run.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  return support::run_built_program(STRTRN_DRIVER, run);
}

// The records of a file as "key|value" texts with the value's trailing blanks dropped.
std::vector<std::string> records_of(const std::string& bytes) {
  std::vector<std::string> records;
  for (const std::string& record : support::experiment_records(bytes)) {
    const std::size_t last = record.find_last_not_of(' ');
    records.push_back(record.substr(0, 12) + "|" + record.substr(12, last + 1 - 12));
  }
  return records;
}

// The terminal output with the line that shows the working directory replaced by "<dir>".
std::string with_directory_hidden(const std::string& output) {
  // A Windows program shows the directory with its drive: wine's Z: for the Linux root.
  return std::regex_replace(output, std::regex("\n (/|Z:\\\\)[^\n]*\n"), "\n <dir>\n");
}

struct NameCase {
  const char* name;
  std::vector<std::string> argument;
  std::string input;
  std::string file;
  std::string expected_out;
};

class ExperimentNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ExperimentNameTest, OpensTheNamedFile) {
  const NameCase& c = GetParam();
  const support::RunResult run = start(
      {.name = c.argument, .input = c.input, .files = {{c.file, file_of(kCurrentExperiment)}}});
  EXPECT_EQ(run.standard_output, c.expected_out);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.files, (Files{{c.file, file_of(kCurrentExperiment)}}));
}

const std::string kNamePrompt = " Enter the experiment name for MAPCONV >";

INSTANTIATE_TEST_SUITE_P(
    Cases, ExperimentNameTest,
    ::testing::Values(
        NameCase{"ArgumentWithExtension", {"abc.exp"}, "", "ABC.EXP", kOpenedOnElevenToTerminal},
        NameCase{"Argument", {"abc"}, "", "ABC.EXP", kOpenedOnElevenToTerminal},
        NameCase{"DirectoryPartKeptAsTyped",
                 {"data/abc.exp"},
                 "",
                 "data/ABC.EXP",
                 kOpenedOnElevenToTerminal},
        NameCase{"DirectoryHoldingTheExtensionKeptWhole",
                 {"runs.EXPT/abc"},
                 "",
                 "runs.EXPT/ABC.EXP",
                 kOpenedOnElevenToTerminal},
        // The argument names the experiment whole: only an extension at its very end is not
        // part of the name.
        NameCase{"ArgumentHoldingTheExtensionKeptWhole",
                 {"abc.expt"},
                 "",
                 "ABC.EXPT.EXP",
                 kOpenedOnElevenToTerminal},
        NameCase{"ArgumentHoldingTheExtensionAndADigit",
                 {"al.exp1"},
                 "",
                 "AL.EXP1.EXP",
                 kOpenedOnElevenToTerminal},
        NameCase{"OnlyTheLastOfTwoExtensionsDropped",
                 {"abc.Exp.eXp"},
                 "",
                 "ABC.EXP.EXP",
                 kOpenedOnElevenToTerminal},
        NameCase{"ArgumentWithBlanksKeptWhole",
                 {"my data/al pha"},
                 "",
                 "my data/AL PHA.EXP",
                 kOpenedOnElevenToTerminal},
        NameCase{"NonAsciiLettersKeptAsTyped",
                 {"donn\xc3\xa9"
                  "es/\xc3\xa9t\xc3\xa9"},
                 "",
                 "donn\xc3\xa9"
                 "es/\xc3\xa9T\xc3\xa9.EXP",
                 kOpenedOnElevenToTerminal},
        NameCase{"Prompted", {}, "abc\n", "ABC.EXP", kNamePrompt + kOpenedOnElevenToTerminal},
        NameCase{"EmptyReplyAsksAgainAndTwoWordsTakeTheFirst",
                 {},
                 "\nabc def\n",
                 "ABC.EXP",
                 kNamePrompt + kNamePrompt + kOpenedOnElevenToTerminal},
        NameCase{"EmptyArgumentAsksAtThePrompt",
                 {""},
                 "Abc\n",
                 "ABC.EXP",
                 kNamePrompt + kOpenedOnElevenToTerminal}),
    [](const auto& info) { return info.param.name; });

TEST(TypedNameTest, KeepsItsExtension) {
  const support::RunResult run =
      start({.input = "abc.exp\n", .files = {{"ABC.EXP", file_of(kCurrentExperiment)}}});
  EXPECT_EQ(run.standard_output, kNamePrompt +
                                     " ERROR - File ABC.EXP.EXP does not exist - check your "
                                     "directory\n FORTRAN error number   2 on unit 11\n");
  EXPECT_EQ(run.exit_status, 1);
}

struct MissingFileCase {
  const char* name;
  std::string experiment_mode;
  std::string expected_out;
};

class MissingFileTest : public ::testing::TestWithParam<MissingFileCase> {};

TEST_P(MissingFileTest, ReportsAndEndsTheRun) {
  const support::RunResult run =
      start({.experiment_mode = GetParam().experiment_mode, .name = {"abc"}});
  EXPECT_EQ(run.standard_output, GetParam().expected_out);
  EXPECT_EQ(run.standard_error, "strtrn_driver: ABC.EXP does not exist\n");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.files, Files{});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MissingFileTest,
    ::testing::Values(MissingFileCase{"Shared", "SHARED",
                                      " ERROR - File ABC.EXP does not exist - check your "
                                      "directory\n FORTRAN error number   2 on unit 11\n"},
                      MissingFileCase{"Read", "READ",
                                      " ERROR - File ABC.EXP does not exist - check your "
                                      "directory\n FORTRAN error number   2 on unit 11\n"},
                      MissingFileCase{"NotNeeded", "NOTNEEDED",
                                      " ERROR - File ABC.EXP is in error or else not "
                                      "accessible\n FORTRAN error number   2 on unit 11\n"}),
    [](const auto& info) { return info.param.name; });

const std::string kNotFound =
    " Experiment - ABC - was not found in directory\n <dir>\n Do you wish to create it (Y/<N>)? >";

class CreationTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CreationTest, CreatesTheExperimentWithItsTitle) {
  const support::RunResult run = start({.program = "EXPEDT",
                                        .experiment_mode = "NEW",
                                        .name = {"abc"},
                                        .input = GetParam() + "\nMy title\n"});
  EXPECT_EQ(with_directory_hidden(run.standard_output),
            kNotFound +
                " The new experiment - ABC - has been created.\n"
                "  Enter a title for this experiment\n   >" +
                kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.standard_error, "");
  ASSERT_EQ(run.files.count("ABC.EXP"), 1u);
  const std::vector<std::string> records = records_of(run.files.at("ABC.EXP"));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_TRUE(std::regex_match(
      records[0], std::regex(R"(     VERSION\|    6     [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] )"
                             R"([0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4})")))
      << records[0];
  EXPECT_EQ(records[1], "ZZZZZZZZZZZZ|  Last EXP file record");
  EXPECT_EQ(records[2], "      DESCR |  My title");
}

INSTANTIATE_TEST_SUITE_P(Replies, CreationTest, ::testing::Values("y", "yes", "Y"),
                         [](const auto& info) { return std::string(info.param); });

TEST(NewExperimentTest, EmptyReplyCreatesNothing) {
  const support::RunResult run = start({.experiment_mode = "NEW", .name = {"abc"}, .input = "\n"});
  EXPECT_EQ(with_directory_hidden(run.standard_output), kNotFound);
  EXPECT_EQ(run.standard_error, "STOP Run terminated in STRTRN statement executed\n");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.files, Files{});
}

TEST(NewExperimentTest, TypedNameListsOnTheTerminalEvenInListMode) {
  const support::RunResult run =
      start({.experiment_mode = "NEW", .listing_mode = "LIST", .input = "abc\ny\nT\n"});
  EXPECT_EQ(with_directory_hidden(run.standard_output),
            kNamePrompt + kNotFound +
                " The new experiment - ABC - has been created.\n"
                "  Enter a title for this experiment\n   >" +
                kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.files.count("ABC.LST"), 0u);
}

const std::string kOldFileWarning =
    " **** WARNING *****   This is an old EXP file\n"
    "  It is version   0 and current files are version   6\n"
    " Use VETRIS to convert it.\n";

const Records kVersionZero = {{"      DESCR ", "  Old experiment"},
                              {"ZZZZZZZZZZZZ", "  Last EXP file record"}};

TEST(VersionTest, VersionZeroIsWarnedAboutThenUpgradedForUpdate) {
  const support::RunResult run =
      start({.name = {"abc"}, .files = {{"ABC.EXP", file_of(kVersionZero)}}});
  EXPECT_EQ(run.standard_output, kOldFileWarning + "The EXP file was converted to version 6\n" +
                                     kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(
      records_of(run.files.at("ABC.EXP")),
      (std::vector<std::string>{"      DESCR |  Old experiment",
                                "ZZZZZZZZZZZZ|  Last record in the file", "     VERSION|    6"}));
}

TEST(VersionTest, ReadModeOnlyWarnsAndChangesNothing) {
  for (const char* mode : {"READ", "NOTNEEDED"}) {
    const support::RunResult run = start(
        {.experiment_mode = mode, .name = {"abc"}, .files = {{"ABC.EXP", file_of(kVersionZero)}}});
    EXPECT_EQ(run.standard_output, kOldFileWarning + kOpenedOnElevenToTerminal) << mode;
    EXPECT_EQ(run.files.at("ABC.EXP"), file_of(kVersionZero)) << mode;
  }
}

TEST(VersionTest, LaterVersionEndsTheRunInEveryMode) {
  const Records later = {{"     VERSION", "    7"},
                         {"      DESCR ", "  From the future"},
                         {"ZZZZZZZZZZZZ", "  Last EXP file record"}};
  for (const char* mode : {"SHARED", "READ", "NEW", "COPY"}) {
    const support::RunResult run =
        start({.experiment_mode = mode, .name = {"abc"}, .files = {{"ABC.EXP", file_of(later)}}});
    EXPECT_EQ(run.standard_output, " ******" + kBell +
                                       "  This file is from a later version of TARN than this "
                                       "one.\n " +
                                       kBell +
                                       " It cannot be processed with this version of TARN.\n")
        << mode;
    EXPECT_EQ(run.standard_error, "STOP Program terminated in OPNEXP statement executed\n");
    EXPECT_EQ(run.files, (Files{{"ABC.EXP", file_of(later)}})) << mode;
  }
}

// A file whose version names no layout, or that is not whole records, is never changed: an
// upgrade would rewrite records of one layout as another's, or fill a cut record out with bytes
// the file never held.
TEST(VersionTest, AFileThatIsNoExperimentOfAKnownLayoutIsLeftAsItIs) {
  struct Case {
    std::string version;
    std::size_t bytes_cut;
    std::vector<std::string> modes;
    std::string reason;
  };
  const std::string kOldVersionFive =
      " **** WARNING *****   This is an old EXP file\n"
      "  It is version   5 and current files are version   6\n"
      " Use VETRIS to convert it.\n";
  const std::vector<Case> cases = {
      {"   -3",
       0,
       {"SHARED", "READ", "COPY"},
       "its version record \"     VERSION   -3\" does not hold a version of 0 or more"},
      {"  abc",
       0,
       {"SHARED", "READ", "COPY"},
       "its version record \"     VERSION  abc\" does not hold a version of 0 or more"},
      {"    5", 2, {"SHARED", "COPY"}, "its 244 bytes are not whole 82-byte records"},
      {"    6", 40, {"SHARED", "COPY"}, "its 206 bytes are not whole 82-byte records"},
  };
  for (const Case& c : cases) {
    std::string bytes = file_of({{"     VERSION", c.version},
                                 {"      DESCR ", "  Damaged"},
                                 {"ZZZZZZZZZZZZ", "  Last EXP file record"}});
    bytes.resize(bytes.size() - c.bytes_cut);
    for (const std::string& mode : c.modes) {
      const support::RunResult run =
          start({.experiment_mode = mode, .name = {"abc"}, .files = {{"ABC.EXP", bytes}}});
      const std::string warning = c.version == "    5" ? kOldVersionFive : "";
      EXPECT_EQ(run.standard_output,
                warning + " **** ERROR - File ABC.EXP is left as it is: " + c.reason + " ****\n")
          << c.version << " " << mode;
      EXPECT_EQ(run.standard_error, "strtrn_driver: ABC.EXP is left as it is: " + c.reason +
                                        "\nSTOP Program terminated in OPNEXP statement executed\n");
      EXPECT_EQ(run.files, (Files{{"ABC.EXP", bytes}})) << c.version << " " << mode;
    }
  }
}

// The current experiment as 80-byte records without line ends: the form that CONVERT takes for
// plain direct-access records.
std::string without_line_ends(const Records& records) {
  std::string bytes;
  for (const std::string& record : support::experiment_records(file_of(records))) bytes += record;
  return bytes;
}

const std::string kIncomplete = " *** ERROR - Experiment file is incomplete ***\n";
const std::string kReformatQuestion = " Do you wish to try reformatting it (Y/<N>)? >";

TEST(IncompleteFileTest, EditorReformatsThroughConversion) {
  const std::string foreign = without_line_ends(kCurrentExperiment);
  const support::RunResult run = start(
      {.program = "VETRIS", .name = {"abc"}, .input = "y\n", .files = {{"ABC.EXP", foreign}}});
  EXPECT_EQ(run.standard_output, kIncomplete + kReformatQuestion +
                                     "\n File ABC.EXP Renamed to ABC.CRP\n\n"
                                     " File is apparently unix direct access format\n"
                                     " conversion to DOS direct access attempted\n"
                                     " Conversion complete\n" +
                                     kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.files, (Files{{"ABC.CRP", foreign}, {"ABC.EXP", file_of(kCurrentExperiment)}}));
}

TEST(IncompleteFileTest, EditorStopsWhenTheFileIsStillIncomplete) {
  const Records unmarked = {{"     VERSION", "    6"}, {"      DESCR ", "  No marker"}};
  const support::RunResult run = start({.program = "VETRIS",
                                        .name = {"abc"},
                                        .input = "Y\n",
                                        .files = {{"ABC.EXP", file_of(unmarked)}}});
  EXPECT_EQ(run.standard_output, kIncomplete + kReformatQuestion +
                                     "\n File ABC.EXP Renamed to ABC.CRP\n\n"
                                     " File is apparently sequential access format\n"
                                     " conversion to DOS direct access attempted\n"
                                     " Conversion complete\n"
                                     " *** ERROR - Experiment file is still incomplete ***\n");
  EXPECT_EQ(run.standard_error, "STOP  Run terminated in STRTRN statement executed\n");
  EXPECT_EQ(run.files, (Files{{"ABC.CRP", file_of(unmarked)}, {"ABC.EXP", file_of(unmarked)}}));
}

TEST(IncompleteFileTest, EditorDeclinedLeavesTheFileAlone) {
  const std::string foreign = without_line_ends(kCurrentExperiment);
  const support::RunResult run = start(
      {.program = "VETRIS", .name = {"abc"}, .input = "n\n", .files = {{"ABC.EXP", foreign}}});
  EXPECT_EQ(run.standard_output, kIncomplete + kReformatQuestion);
  EXPECT_EQ(run.standard_error, "STOP Run terminated in STRTRN statement executed\n");
  EXPECT_EQ(run.files, (Files{{"ABC.EXP", foreign}}));
}

TEST(IncompleteFileTest, OtherProgramsStopWithoutAsking) {
  const std::string foreign = without_line_ends(kCurrentExperiment);
  const support::RunResult run =
      start({.name = {"abc"}, .input = "y\n", .files = {{"ABC.EXP", foreign}}});
  EXPECT_EQ(run.standard_output, kIncomplete);
  EXPECT_EQ(run.standard_error, "STOP  Run terminated in STRTRN statement executed\n");
  EXPECT_EQ(run.files, (Files{{"ABC.EXP", foreign}}));
}

struct LeastSquaresCase {
  const char* name;
  Records histograms;
  bool usable;
};

class LeastSquaresTest : public ::testing::TestWithParam<LeastSquaresCase> {};

TEST_P(LeastSquaresTest, NeedsAHistogramWithData) {
  Records records = kCurrentExperiment;
  records.insert(records.end() - 1, GetParam().histograms.begin(), GetParam().histograms.end());
  const support::RunResult run =
      start({.program = "SOLVAN", .name = {"abc"}, .files = {{"ABC.EXP", file_of(records)}}});
  if (GetParam().usable) {
    EXPECT_EQ(run.standard_output, kOpenedOnElevenToTerminal);
    EXPECT_EQ(run.standard_error, "");
  } else {
    EXPECT_EQ(run.standard_output, " *** ERROR - No data available for least squares\n");
    EXPECT_EQ(run.standard_error, "STOP  Run terminated in STRTRN statement executed\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Histograms, LeastSquaresTest,
    ::testing::Values(
        LeastSquaresCase{"NoHistogramRecord", {}, false},
        LeastSquaresCase{"NoHistograms", {{" EXPR  NHST ", "    0"}}, false},
        LeastSquaresCase{
            "NoneUsable", {{" EXPR  NHST ", "    2"}, {" EXPR  HTYP1", "  PNTR SXCR"}}, false},
        LeastSquaresCase{"UsableTypeBeyondTheCount",
                         {{" EXPR  NHST ", "    1"}, {" EXPR  HTYP1", "  PNTR PXC "}},
                         false},
        LeastSquaresCase{"BlankFourthColumn",
                         {{" EXPR  NHST ", "    2"}, {" EXPR  HTYP1", "  PNTR PXC "}},
                         true},
        LeastSquaresCase{
            "DataInFourthColumn", {{" EXPR  NHST ", "    1"}, {" EXPR  HTYP1", "  SXCD"}}, true},
        LeastSquaresCase{
            "UsableInSecondRecord",
            {{" EXPR  NHST ", "   13"},
             {" EXPR  HTYP1", "  PNTR PNTR PNTR PNTR PNTR PNTR PNTR PNTR PNTR PNTR PNTR PNTR"},
             {" EXPR  HTYP2", "  PXC "}},
            true}),
    [](const auto& info) { return info.param.name; });

TEST(ListingTest, NamedExperimentAppendsToItsListingFile) {
  const support::RunResult run =
      start({.listing_mode = "LIST",
             .name = {"abc"},
             .files = {{"ABC.EXP", file_of(kCurrentExperiment)}, {"ABC.LST", "earlier run\r\n"}}});
  EXPECT_EQ(run.standard_output, " experiment unit 11 listing unit 12 terminal unit  6\n");
  EXPECT_EQ(run.files.at("ABC.LST"), "earlier run\r\n listed\r\n");
}

TEST(ListingTest, MissingListingFileIsCreated) {
  const support::RunResult run = start({.listing_mode = "LIST",
                                        .name = {"abc"},
                                        .files = {{"ABC.EXP", file_of(kCurrentExperiment)}}});
  EXPECT_EQ(run.files.at("ABC.LST"), " listed\r\n");
}

TEST(ListingTest, TypedNameListsOnTheTerminal) {
  const support::RunResult run = start({.listing_mode = "LIST",
                                        .input = "abc\n",
                                        .files = {{"ABC.EXP", file_of(kCurrentExperiment)}}});
  EXPECT_EQ(run.standard_output, kNamePrompt + kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.files.count("ABC.LST"), 0u);
}

TEST(WorkingCopyTest, CopyModeRewritesTheFileAndKeepsABackup) {
  const Records old = {{"     VERSION", "    6"}, {"CRS1  ABC   ", "  cell"},
                       support::deleted_record(), {"      DESCR ", "  Copied"},
                       {" EXPR  NHST ", "    0"}, {"ZZZZZZZZZZZZ", "  Last EXP file record"}};
  const support::RunResult run =
      start({.experiment_mode = "COPY", .name = {"abc"}, .files = {{"ABC.EXP", file_of(old)}}});
  EXPECT_EQ(run.standard_output, kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.files.at("ABC.O01"), file_of(old));
  EXPECT_EQ(
      records_of(run.files.at("ABC.EXP")),
      (std::vector<std::string>{"     VERSION|    6", "      DESCR |  Copied", " EXPR  NHST |    0",
                                "CRS1  ABC   |  cell", "ZZZZZZZZZZZZ|  Last EXP file record"}));
}

// A file of version 0 has no version record, and neither has its copy: labelled current over
// records of version 0, it would pass for upgraded if the run ended before the upgrade. The copy
// is upgraded when it is opened again, and the backup keeps the file as it was.
TEST(WorkingCopyTest, CopyOfAVersionZeroFileIsUpgraded) {
  const support::RunResult run = start(
      {.experiment_mode = "COPY", .name = {"abc"}, .files = {{"ABC.EXP", file_of(kVersionZero)}}});
  EXPECT_EQ(run.standard_output, kOldFileWarning + "The EXP file was converted to version 6\n" +
                                     kOpenedOnElevenToTerminal);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.files.at("ABC.O01"), file_of(kVersionZero));
  EXPECT_EQ(
      records_of(run.files.at("ABC.EXP")),
      (std::vector<std::string>{"      DESCR |  Old experiment",
                                "ZZZZZZZZZZZZ|  Last record in the file", "     VERSION|    6"}));
}

struct DirectoryCase {
  const char* name;
  Start start;
  std::vector<std::string> files;  // every file left in the run's directory
};

void PrintTo(const DirectoryCase& c, std::ostream* os) {
  *os << c.name;
}

class ExperimentInADirectoryTest : public ::testing::TestWithParam<DirectoryCase> {};

// The listing, a converted file's source and the backup of a working copy all lie beside the
// experiment file, even in a directory whose name holds ".EXP".
TEST_P(ExperimentInADirectoryTest, KeepsEveryFileBesideTheExperimentFile) {
  Start request = GetParam().start;
  request.name = {"runs.EXPT/abc"};
  const support::RunResult run = start(request);
  EXPECT_EQ(run.standard_error, "");
  std::vector<std::string> names;
  for (const auto& entry : run.files) names.push_back(entry.first);
  EXPECT_EQ(names, GetParam().files) << run.standard_output;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ExperimentInADirectoryTest,
    ::testing::Values(DirectoryCase{"Listing",
                                    {.listing_mode = "LIST",
                                     .files = {{"runs.EXPT/ABC.EXP", file_of(kCurrentExperiment)}}},
                                    {"runs.EXPT/ABC.EXP", "runs.EXPT/ABC.LST"}},
                      DirectoryCase{"WorkingCopy",
                                    {.experiment_mode = "COPY",
                                     .files = {{"runs.EXPT/ABC.EXP", file_of(kCurrentExperiment)}}},
                                    {"runs.EXPT/ABC.EXP", "runs.EXPT/ABC.O01"}},
                      DirectoryCase{
                          "Reformatting",
                          {.program = "VETRIS",
                           .input = "y\n",
                           .files = {{"runs.EXPT/ABC.EXP", without_line_ends(kCurrentExperiment)}}},
                          {"runs.EXPT/ABC.CRP", "runs.EXPT/ABC.EXP"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace startup
