// The console input driven through real standard input: the driver asks its questions through
// GETANS and RDLINE and writes each field it got as " got [...]".
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "child_process.hpp"

namespace startup_test {
namespace {

const std::string kBell = "\a";

class ConsoleDriverTest : public ::testing::Test {
 protected:
  ChildRun drive(const std::string& input, std::vector<std::string> steps) {
    ChildSetup setup;
    setup.arguments = {CONSOLE_DRIVER};
    setup.arguments.insert(setup.arguments.end(), steps.begin(), steps.end());
    setup.input = input;
    setup.directory = directory.path();
    setup.set_environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
    return run_child(setup);
  }

  // The three questions of a recorded macro: a GETANS answer and two lines.
  static std::vector<std::string> three_questions() {
    return {"ask", "0", "10", "", "First", "line", "12", "Second", "line", "12", "Third"};
  }

  TempDirectory directory;
};

TEST_F(ConsoleDriverTest, RecordsAMacroAndPlaysItBack) {
  const ChildRun recording =
      drive("@M\nmac1\nanswer one ! note\n  two   \n@Q\nthird\n", three_questions());
  EXPECT_EQ(recording.out,
            " First > Enter the name of your macro file:  First > got [answer    ]\n"
            " Second > got [  two       ]\n"
            " Third > Third > got [third       ]\n");
  EXPECT_EQ(recording.err, "");
  EXPECT_EQ(recording.exit_code, 0);
  EXPECT_EQ(read_file(directory.file("mac1")), "answer one ! note\r\n  two\r\n");

  const ChildRun playing = drive("@R\nmac1\nafter\n", three_questions());
  EXPECT_EQ(playing.out,
            " First > Enter the name of your macro file:  The commands will be read from mac1\n"
            " First > answer one ! note\n"
            " got [answer    ]\n"
            " Second >   two\n"
            " got [  two       ]\n"
            " Third > The macro file is empty, reading from the terminal is resumed.\n"
            " Third > got [after       ]\n");
  EXPECT_EQ(playing.exit_code, 0);
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
  const ChildRun run = drive(GetParam().input, GetParam().steps);
  EXPECT_EQ(run.out, GetParam().expected_out);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
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
  write_file(directory.file("quit"), "fromfile\r\n");
  const ChildRun run = drive("@R\nquit\n", {"line", "8", "Q"});
  EXPECT_EQ(run.out,
            " Q > Enter the name of your macro file:  The commands will be read from quit\n"
            " Q > fromfile\n"
            " got [fromfile]\n");
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(ConsoleDriverTest, PlayedMacroIsEchoedWhileRecordingAnother) {
  write_file(directory.file("in"), "x ! from in\n");
  const ChildRun run = drive("@M\nout\n@R\nin\n@Q\ny\n", {"line", "3", "Q", "line", "3", "Q"});
  EXPECT_EQ(run.out,
            " Q > Enter the name of your macro file:  Q > Enter the name of your macro file: "
            " The commands will be read from in\n"
            " Q > x !\n"
            " got [x  ]\n"
            " Q > The macro file is empty, reading from the terminal is resumed.\n"
            " Q > Q > got [y  ]\n");
  EXPECT_EQ(read_file(directory.file("out")), "x !\r\n");
}

TEST_F(ConsoleDriverTest, PlayCommandInsideAPlayedMacroGivesTheHelpBlock) {
  write_file(directory.file("inner"), "@R\nz\n");
  const ChildRun run = drive("@R\ninner\n", kOneLine);
  EXPECT_EQ(run.out,
            " Q > Enter the name of your macro file:  The commands will be read from inner\n Q >" +
                kHelpBlock + " Q > z\n got [z     ]\n");
}

TEST_F(ConsoleDriverTest, EndOfInputRepeatsThePromptOnceThenReportsTheFailure) {
  const ChildRun run = drive("", {"line", "4", "Q"});
  EXPECT_EQ(run.out, " Q > Q > FORTRAN error number  -1 on unit  5\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(ConsoleDriverTest, EndOfInputAfterAMacroCommandStillEndsTheRun) {
  const ChildRun run = drive("@q\n", {"line", "4", "Q"});
  EXPECT_EQ(run.out, " Q > You are NOT writing to a macro file!" + kBell +
                         "\n Q > Q > FORTRAN error number  -1 on unit  5\n");
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(ConsoleDriverTest, LongMacroNameIsCutToEightyCharacters) {
  const std::string name(90, 'm');
  const ChildRun run = drive("@M\n" + name + "\nx\n@Q\ny\n", {"line", "2", "Q", "line", "2", "Q"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(read_file(directory.file(name.substr(0, 80))), "x\r\n");
}

struct FailedCreation {
  const char* name;
  std::string macro_name;
};

class MacroCreationFailureTest : public ConsoleDriverTest,
                                 public ::testing::WithParamInterface<FailedCreation> {};

TEST_P(MacroCreationFailureTest, EndsWithTheFailureReportAndTouchesNothing) {
  write_file(directory.file("old"), "kept\r\n");
  const ChildRun run = drive("@M\n" + GetParam().macro_name + "\nx\n", {"line", "4", "Q"});
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_EQ(run.out, " Q > Enter the name of your macro file: ");
  EXPECT_NE(run.err.find("apparent state: unit 40 "), std::string::npos) << run.err;
  EXPECT_EQ(read_file(directory.file("old")), "kept\r\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, MacroCreationFailureTest,
                         ::testing::Values(FailedCreation{"FileExists", "old"},
                                           FailedCreation{"NoSuchDirectory", "nodir/mac"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ConsoleDriverTest, EndOfInputWhileReadingTheMacroNameEndsWithTheFailureReport) {
  const ChildRun run = drive("@M\n", {"line", "4", "Q"});
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_NE(run.err.find("end of file"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace startup_test
