// A fuzz session: its own directory, a console fed from the input, stops caught, state reset.
#include "fuzzing/session.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "startup/console_input.hpp"
#include "support/files.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace fuzzing {
namespace {

TEST(Session, RunsInItsScratchDirectoryAndLeavesItEmpty) {
  const std::filesystem::path before = std::filesystem::current_path();
  {
    Session session;
    EXPECT_EQ(std::filesystem::current_path(), scratch_directory());
    const Outcome outcome = session.run([] {
      textio::open_unit(20, "left.txt");
      textio::write_record(20, "(A)", "a record");
    });
    EXPECT_EQ(outcome.ending, Ending::returned);
    EXPECT_FALSE(textio::unit_connected(30));
  }
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_FALSE(textio::unit_connected(20));
  EXPECT_TRUE(std::filesystem::is_empty(scratch_directory()));
}

TEST(Session, FeedsTheConsoleAndCatchesTheDesignedStops) {
  Session session("first line\n@M\nmacro\n");
  std::string line(12, ' ');
  EXPECT_EQ(session.run([&] { startup::RDLINE("Question", line); }).ending, Ending::returned);
  EXPECT_EQ(line, "first line  ");
  // "@M" starts recording into the file named on the next line; the input then runs out.
  const Outcome stopped = session.run([&] { startup::RDLINE("Question", line); });
  EXPECT_EQ(stopped.ending, Ending::stopped);
  EXPECT_EQ(stopped.stop_text, "");
  // The recording stays open, to take the name "macro" when it ends.
  EXPECT_EQ(textio::unit_file_name(40), "macro");
  const Outcome failed = session.run([] { textio::write_record(20, "(Q)", 1); });
  EXPECT_EQ(failed.ending, Ending::io_failure);
  EXPECT_NE(failed.stop_text.find("error in format"), std::string::npos);
}

TEST(Session, ReturnsTheConsoleInputToItsStartState) {
  {
    Session session("@M\nrecorded\n");
    std::string line(4, ' ');
    session.run([&] { startup::RDLINE("Question", line); });
  }
  Session session("plain\n");
  std::string answer(8, ' ');
  session.run([&] { startup::GETANS("Question", startup::kNextToken, answer); });
  EXPECT_EQ(answer, "plain   ");
  EXPECT_FALSE(std::filesystem::exists("recorded"));
}

TEST(ConsoleSession, FeedsTheConsoleWhereverTheProcessIs) {
  const std::filesystem::path before = std::filesystem::current_path();
  ConsoleSession session("12 first\n");
  EXPECT_EQ(std::filesystem::current_path(), before);
  int number = 0;
  std::string word(5, ' ');
  const Outcome read = session.run([&] {
    textio::read_record(textio::kConsoleInput, "(I3,A5)", number, word);
    textio::write_record(textio::kConsoleOutput, "(A)", "thrown away");
  });
  EXPECT_EQ(read.ending, Ending::returned);
  EXPECT_EQ(number, 12);
  EXPECT_EQ(word, "first");
  EXPECT_EQ(session.run([] { textio::write_record(textio::kConsoleOutput, "(Q)", 1); }).ending,
            Ending::io_failure);
}

TEST(ConsoleSessionDeathTest, FailsWhenTheCodeLeavesAUnitConnected) {
  support::TempDirectory directory;
  const std::string file = (directory / "left.txt").string();
  EXPECT_DEATH(
      {
        ConsoleSession session;
        session.run([&] { textio::open_unit(20, file); });
      },
      "left a unit connected");
}

}  // namespace
}  // namespace fuzzing
