// Units that write through a temporary file: the named file holds its old bytes or the whole new
// content, never a part of it, and changes only at a keeping close.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <string>

#include "os/os.hpp"
#include "replacement_cases.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace textio {
namespace {

namespace fs = std::filesystem;

enum class End { close_keep, close_remove, end_of_run };

struct EndCase {
  const char* name;
  OpenOptions options;
  std::optional<std::string> old_bytes;
  End end;
  std::optional<std::string> expected;  // nullopt: no file
};

void PrintTo(const EndCase& c, std::ostream* os) {
  *os << c.name;
}

class UnitEndTest : public FileReplacementTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(UnitEndTest, TheNamedFileChangesOnlyAtAKeepingClose) {
  const EndCase& c = GetParam();
  if (c.old_bytes) put_file("data.txt", *c.old_bytes);
  open_unit(15, "data.txt", c.options);
  write_new_content(15, c.options);
  flush_unit(15);
  EXPECT_EQ(unit_file_name(15), "data.txt");
  EXPECT_EQ(existing_bytes("data.txt"), c.old_bytes) << "changed before the close";
  EXPECT_EQ(directory_names().size(), c.old_bytes ? 2u : 1u) << "no temporary file beside it";
  switch (c.end) {
    case End::close_keep:
      close_unit(15);
      break;
    case End::close_remove:
      close_unit(15, Disposition::remove);
      break;
    case End::end_of_run:
      close_all_units();
      break;
  }
  EXPECT_FALSE(unit_connected(15));
  EXPECT_EQ(existing_bytes("data.txt"), c.expected);
  EXPECT_EQ(directory_names(),
            c.expected ? std::set<std::string>{"data.txt"} : std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnitEndTest,
    ::testing::Values(EndCase{"SequentialKeptReplacesTheOldFile", kSequential,
                              "old content\r\nline 2\r\n", End::close_keep, "new\r\n"},
                      EndCase{"SequentialKeptCreatesAMissingFile", kSequential, std::nullopt,
                              End::close_keep, "new\r\n"},
                      EndCase{"SequentialRemovedLeavesTheOldFile", kSequential, "old\r\n",
                              End::close_remove, "old\r\n"},
                      EndCase{"NotDurableKeptReplacesTheOldFile", kNotDurable, "old\r\n",
                              End::close_keep, "new\r\n"},
                      EndCase{"NotDurableKeptCreatesAMissingFile", kNotDurable, std::nullopt,
                              End::close_keep, "new\r\n"},
                      EndCase{"NotDurableAtTheEndOfTheRunLeavesTheOldFile", kNotDurable, "old\r\n",
                              End::end_of_run, "old\r\n"},
                      EndCase{"SequentialAtTheEndOfTheRunLeavesTheOldFile", kSequential, "old\r\n",
                              End::end_of_run, "old\r\n"},
                      EndCase{"SequentialAtTheEndOfTheRunCreatesNothing", kSequential, std::nullopt,
                              End::end_of_run, std::nullopt},
                      EndCase{"DirectKeptChangesOnlyItsRecord", kDirect, "old1old2",
                              End::close_keep, "old1NEW "},
                      EndCase{"DirectAtTheEndOfTheRunLeavesTheOldFile", kDirect, "old1old2",
                              End::end_of_run, "old1old2"},
                      EndCase{"AppendKeptAddsToTheOldFile", kAppend, "old\r\n", End::close_keep,
                              "old\r\nnew\r\n"}),
    [](const auto& info) { return info.param.name; });

// A failed close is reported in the terms of the unit's latest transfer.
TEST_F(FileReplacementTest, AFailedCloseNamesTheLatestTransfer) {
  fs::create_directory("old");
  put_file("old/map.bin", "0123");
  open_unit(15, "old/map.bin",
            {.status = "OLD",
             .access = Access::direct,
             .form = Form::unformatted,
             .record_length = 4,
             .through_temporary = true});
  std::array<std::byte, 4> bytes{};
  EXPECT_EQ(try_read_direct_bytes(15, 1, bytes), kOk);
  // The temporary file cannot take its name once its folder has moved.
  fs::rename("old", "moved");
  try {
    close_unit(15);
    ADD_FAILURE() << "the close succeeded";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report,
              "close: No such file or directory\n"
              "apparent state: unit 15 named old/map.bin\n"
              "lately reading direct unformatted external IO\n");
  }
}

// Opening a unit that is still connected closes the old connection first; a close that could not
// put the old file in place is the open's failure, and nothing is opened.
TEST_F(FileReplacementTest, AFailedCloseOfTheOldConnectionFailsTheReopening) {
  fs::create_directory("old");
  open_unit(16, "old/first.grd", kSequential);
  write_record(16, "(A)", "first");
  fs::rename("old", "moved");
  EXPECT_EQ(try_open_unit(16, "second.grd", kSequential), ENOENT);
  EXPECT_FALSE(unit_connected(16));
  EXPECT_FALSE(fs::exists("second.grd"));
}

// A file made with status "NEW" takes its name at the end only where no file holds it: what
// appeared under the name meanwhile stays, and the new content stays under the name the terminal
// reports.
TEST_F(FileReplacementTest, AFileMadeNewNeverReplacesOneThatAppearedMeanwhile) {
  std::FILE* console = std::tmpfile();
  set_console_streams(nullptr, console, nullptr);
  for (bool appears : {false, true}) {
    open_unit(15, "macro.txt",
              {.status = "NEW", .through_temporary = true, .kept_at_the_end = true});
    write_record(15, "(A)", "@R");
    if (appears) put_file("macro.txt", "grid\r\n");
    close_all_units();
    std::set<std::string> names = directory_names();
    EXPECT_EQ(file_bytes("macro.txt"), appears ? "grid\r\n" : "@R\r\n");
    names.erase("macro.txt");
    ASSERT_EQ(names.size(), appears ? 1u : 0u);
    fs::remove("macro.txt");
    if (!appears) continue;
    const std::string kept = *names.begin();
    EXPECT_EQ(file_bytes(kept), "@R\r\n");
    std::rewind(console);
    std::string line(200, '\0');
    line.resize(std::fread(line.data(), 1, line.size(), console));
    EXPECT_EQ(line, " **** macro.txt was made meanwhile: what was written for it is kept as " +
                        kept + " ****\n");
    EXPECT_TRUE(std::regex_match(kept, std::regex(R"(macro\.txt\.partial-[0-9]+-[0-9a-f]{8})")));
  }
  std::fclose(console);
}

// The temporary file's name is cut to the room the directory gives a name, so that a file whose
// own name fits can always be replaced.
TEST_F(FileReplacementTest, ATemporaryNameFitsWhereTheFinalNameFits) {
  const long limit = static_cast<long>(os::longest_file_name("."));
  ASSERT_GT(limit, 20);
  const std::string name = std::string(static_cast<std::size_t>(limit) - 4, 'A') + ".grd";
  for (const OpenOptions& options : {kSequential, kDirect}) {
    put_file(name, "old1old2");
    open_unit(15, name, options);
    write_new_content(15, options);
    close_unit(15);
    EXPECT_EQ(directory_names(), std::set<std::string>{name});
  }
  EXPECT_EQ(file_bytes(name), "old1NEW ");
}

}  // namespace
}  // namespace textio
