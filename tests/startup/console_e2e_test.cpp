// The console input driven through real standard input: the driver asks its questions through
// GETANS and RDLINE and writes each field it got as " got [...]".
#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <string>
#include <vector>

#include "support/run_program.hpp"

namespace startup {
namespace {

const std::string kBell = "\a";

using Files = std::map<std::string, std::string>;

class ConsoleDriverTest : public ::testing::Test {
 protected:
  static support::RunResult drive(const std::string& input, std::vector<std::string> steps,
                                  Files files = {}) {
    support::RunRequest request;
    request.arguments = std::move(steps);
    request.standard_input = input;
    request.files = std::move(files);
    request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
    return support::run_built_program(CONSOLE_DRIVER, request);
  }

  // The three questions of a recorded macro: a GETANS answer and two lines.
  static std::vector<std::string> three_questions() {
    return {"ask", "0", "10", "", "First", "line", "12", "Second", "line", "12", "Third"};
  }
};

TEST_F(ConsoleDriverTest, RecordsAMacroAndPlaysItBack) {
  const support::RunResult recording =
      drive("@M\nmac1\nanswer one ! note\n  two   \n@Q\nthird\n", three_questions());
  EXPECT_EQ(recording.standard_output,
            " First > Enter the name of your macro file:  First > got [answer    ]\n"
            " Second > got [  two       ]\n"
            " Third > Third > got [third       ]\n");
  EXPECT_EQ(recording.standard_error, "");
  EXPECT_EQ(recording.exit_status, 0);
  EXPECT_EQ(recording.files, (Files{{"mac1", "answer one ! note\r\n  two\r\n"}}));

  const support::RunResult playing = drive("@R\nmac1\nafter\n", three_questions(), recording.files);
  EXPECT_EQ(playing.standard_output,
            " First > Enter the name of your macro file:  The commands will be read from mac1\n"
            " First > answer one ! note\n"
            " got [answer    ]\n"
            " Second >   two\n"
            " got [  two       ]\n"
            " Third > The macro file is empty, reading from the terminal is resumed.\n"
            " Third > got [after       ]\n");
  EXPECT_EQ(playing.exit_status, 0);
}

struct DialogueCase {
  const char* name;
  const char* input;
  std::vector<std::string> steps;
  std::string expected_out;
};

class DialogueTest : public ConsoleDriverTest,
                     public ::testing::WithParamInterface<DialogueCase> {};

TEST_P(DialogueTest, ShowsExactly) {
  const support::RunResult run = drive(GetParam().input, GetParam().steps);
  EXPECT_EQ(run.standard_output, GetParam().expected_out);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.exit_status, 0);
}

const std::string kHyphens(80, '-');
const std::string kHelpBlock =
    "\n " + kHyphens +
    "\n"
    " The commands for creating and reading a macro file are:\n"
    "  @M - Create a macro file\n"
    "       The name of a file to hold the macro will be requested\n"
    "  @Q - Terminate the macro file\n"
    "  @R - Open and read a Macro file\n"
    "       The name of the file containing the macro will be requested\n"
    " " +
    kHyphens + "\n\n";
const std::vector<std::string> kOneLine = {"line", "6", "Q"};

INSTANTIATE_TEST_SUITE_P(
    MacroCommands, DialogueTest,
    ::testing::Values(
        DialogueCase{"QuitWithoutMacro", "@q\nx\n", kOneLine,
                     " Q > You are NOT writing to a macro file!" + kBell + "\n Q > got [x     ]\n"},
        DialogueCase{"Help", "@h\nx\n", kOneLine, " Q >" + kHelpBlock + " Q > got [x     ]\n"},
        DialogueCase{"RecordWhileRecording", "@M\nmac2\n@m\nx\n", kOneLine,
                     " Q > Enter the name of your macro file:  Q > You are already writing a "
                     "macro tomac2\n Q > got [x     ]\n"},
        DialogueCase{"PlayMissingThenQuit", "@R\nnosuch\nQUIT\nx\n", kOneLine,
                     " Q > Enter the name of your macro file:  File NOT found!!" + kBell +
                         " Enter \"QUIT\" to resume terminal input\n"
                         " Enter the name of your macro file:  Commands will be read from the "
                         "terminal\n Q > got [x     ]\n"},
        DialogueCase{"PlayMissingNameIsAskedAgainUntilQuit", "@r\n\nQUITTING\ny\n", kOneLine,
                     " Q > Enter the name of your macro file:  File NOT found!!" + kBell +
                         " Enter \"QUIT\" to resume terminal input\n"
                         " Enter the name of your macro file:  Commands will be read from the "
                         "terminal\n Q > got [y     ]\n"},
        DialogueCase{"AtAloneGivesHelpToo", "@\nx\n", kOneLine,
                     " Q >" + kHelpBlock + " Q > got [x     ]\n"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogueTest,
    ::testing::Values(
        DialogueCase{"SlashIsAnAnswerOfItsOwn",
                     "AB/\n",
                     {"ask", "1", "4", "", "One", "ask", "1", "4", "", "Two"},
                     " One > got [AB  ]\n got [/   ]\n"},
        DialogueCase{"SecondWordAnswersTheNextQuestion",
                     "one two\n",
                     {"ask", "0", "4", "", "One", "ask", "1", "4", "", "Two"},
                     " One > got [one ]\n got [two ]\n"},
        DialogueCase{"ModeZeroReadsAFreshLine",
                     "one two\nthree\n",
                     {"ask", "0", "4", "", "One", "ask", "0", "4", "", "Two"},
                     " One > got [one ]\n Two > got [thre]\n"},
        DialogueCase{
            "ThreeWordsAnswerThreeQuestions",
            "a,b\tc\n",
            {"ask", "1", "2", "", "One", "ask", "1", "2", "", "Two", "ask", "1", "2", "", "Three"},
            " One > got [a ]\n got [b ]\n got [c ]\n"},
        DialogueCase{"UsedUpLineAsksAgain",
                     "a\nb\n",
                     {"ask", "1", "2", "", "One", "ask", "1", "2", "", "Two"},
                     " One > got [a ]\n Two > got [b ]\n"},
        DialogueCase{"ModeTwoGivesBlankWhenLineIsUsedUp",
                     "a\n",
                     {"ask", "1", "2", "", "One", "ask", "2", "2", "zz", "Two"},
                     " One > got [a ]\n got [  ]\n"},
        DialogueCase{
            "EmptyLineAnswersBlank", "\n", {"ask", "0", "4", "dflt", "One"}, " One > got [    ]\n"},
        DialogueCase{"LeadingCommaKeepsTheDefault",
                     ",\n",
                     {"ask", "0", "4", "dflt", "One"},
                     " One > got [dflt]\n"},
        DialogueCase{"OneCharacterFieldTakesTheFirstCharacter",
                     "yes please\n",
                     {"ask", "0", "1", "N", "Create?"},
                     " Create? > got [y]\n"},
        DialogueCase{"CommentIsRemoved",
                     "two words ! a note\n",
                     {"line", "20", "Q"},
                     " Q > got [two words           ]\n"},
        DialogueCase{
            "LongLineIsCutToTheField", "abcdefghij\n", {"line", "4", "Q"}, " Q > got [abcd]\n"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Prompts, DialogueTest,
    ::testing::Values(
        DialogueCase{"BarPutsTextOnItsOwnLine",
                     "t\n",
                     {"line", "2", "Enter a title|"},
                     " Enter a title\n   > got [t ]\n"},
        DialogueCase{
            "BacktickEndsThePrompt", "t\n", {"line", "2", "A|B`ignored|C"}, " A\n B > got [t ]\n"},
        DialogueCase{"EmptyPromptLines", "t\n", {"line", "2", "||"}, "  \n  \n   > got [t ]\n"},
        DialogueCase{"LongPromptIsCutToTheBuffer",
                     "t\n",
                     {"line", "2", std::string(140, 'p')},
                     " " + std::string(132, 'p') + " > got [t ]\n"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ConsoleDriverTest, QuitInSmallLettersIsAFileName) {
  const support::RunResult run =
      drive("@R\nquit\n", {"line", "8", "Q"}, {{"quit", "fromfile\r\n"}});
  EXPECT_EQ(run.standard_output,
            " Q > Enter the name of your macro file:  The commands will be read from quit\n"
            " Q > fromfile\n"
            " got [fromfile]\n");
  EXPECT_EQ(run.exit_status, 0);
}

TEST_F(ConsoleDriverTest, PlayedMacroIsEchoedWhileRecordingAnother) {
  const support::RunResult run = drive(
      "@M\nout\n@R\nin\n@Q\ny\n", {"line", "3", "Q", "line", "3", "Q"}, {{"in", "x ! from in\n"}});
  EXPECT_EQ(run.standard_output,
            " Q > Enter the name of your macro file:  Q > Enter the name of your macro file: "
            " The commands will be read from in\n"
            " Q > x !\n"
            " got [x  ]\n"
            " Q > The macro file is empty, reading from the terminal is resumed.\n"
            " Q > Q > got [y  ]\n");
  EXPECT_EQ(run.files.at("out"), "x !\r\n");
}

TEST_F(ConsoleDriverTest, PlayCommandInsideAPlayedMacroGivesTheHelpBlock) {
  const support::RunResult run = drive("@R\ninner\n", kOneLine, {{"inner", "@R\nz\n"}});
  EXPECT_EQ(run.standard_output,
            " Q > Enter the name of your macro file:  The commands will be read from inner\n Q >" +
                kHelpBlock + " Q > z\n got [z     ]\n");
}

TEST_F(ConsoleDriverTest, EndOfInputRepeatsThePromptOnceThenReportsTheFailure) {
  const support::RunResult run = drive("", {"line", "4", "Q"});
  EXPECT_EQ(run.standard_output, " Q > Q > FORTRAN error number  -1 on unit  5\n");
  EXPECT_EQ(run.standard_error, "console_driver: standard input ended\n");
  EXPECT_EQ(run.exit_status, 1);
}

TEST_F(ConsoleDriverTest, EndOfInputAfterAMacroCommandStillEndsTheRun) {
  const support::RunResult run = drive("@q\n", {"line", "4", "Q"});
  EXPECT_EQ(run.standard_output, " Q > You are NOT writing to a macro file!" + kBell +
                                     "\n Q > Q > FORTRAN error number  -1 on unit  5\n");
  EXPECT_EQ(run.exit_status, 1);
}

TEST_F(ConsoleDriverTest, LongMacroNameIsCutToEightyCharacters) {
  const std::string name(90, 'm');
  const support::RunResult run =
      drive("@M\n" + name + "\nx\n@Q\ny\n", {"line", "2", "Q", "line", "2", "Q"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.files, (Files{{name.substr(0, 80), "x\r\n"}}));
}

struct FailedCreation {
  const char* name;
  std::string macro_name;
};

class MacroCreationFailureTest : public ConsoleDriverTest,
                                 public ::testing::WithParamInterface<FailedCreation> {};

TEST_P(MacroCreationFailureTest, EndsWithTheFailureReportAndTouchesNothing) {
  const support::RunResult run =
      drive("@M\n" + GetParam().macro_name + "\nx\n", {"line", "4", "Q"}, {{"old", "kept\r\n"}});
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_EQ(run.standard_output, " Q > Enter the name of your macro file: ");
  EXPECT_NE(run.standard_error.find("apparent state: unit 40 "), std::string::npos)
      << run.standard_error;
  EXPECT_EQ(run.files, (Files{{"old", "kept\r\n"}}));
}

INSTANTIATE_TEST_SUITE_P(Cases, MacroCreationFailureTest,
                         ::testing::Values(FailedCreation{"FileExists", "old"},
                                           FailedCreation{"NoSuchDirectory", "nodir/mac"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ConsoleDriverTest, EndOfInputWhileReadingTheMacroNameEndsWithTheFailureReport) {
  const support::RunResult run = drive("@M\n", {"line", "4", "Q"});
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_NE(run.standard_error.find("end of file"), std::string::npos) << run.standard_error;
}

}  // namespace
}  // namespace startup
