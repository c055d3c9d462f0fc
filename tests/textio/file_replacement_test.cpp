// Units that write through a temporary file, and direct-access records that fail half-way: a
// file holds its old bytes or the whole new content, never a part of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "scratch_directory.hpp"
#include "support/unit_output.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/temporary_file.hpp"
#include "textio/units.hpp"

namespace textio {
namespace {

namespace fs = std::filesystem;

const OpenOptions kSequential{.status = "UNKNOWN", .through_temporary = true};
const OpenOptions kDirect{
    .status = "OLD", .access = Access::direct, .record_length = 4, .through_temporary = true};
// Written for speed: the old file is exchanged for the new one, then removed.
const OpenOptions kNotDurable{.status = "UNKNOWN", .through_temporary = true, .durable = false};
const OpenOptions kAppend{.status = "UNKNOWN", .append = true, .through_temporary = true};

std::optional<std::string> existing_bytes(const fs::path& path) {
  if (!fs::exists(path)) return std::nullopt;
  return file_bytes(path);
}

std::set<std::string> directory_names() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.insert(entry.path().filename());
  return names;
}

// Lowers the file-size limit of this process; a write beyond it fails with EFBIG instead of
// raising the signal that would end the test.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
    previous_handler_ = signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_handler_);
  }

 private:
  rlimit saved_{};
  sighandler_t previous_handler_ = SIG_DFL;
};

using FileReplacementTest = ScratchDirectoryTest;

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

void write_new_content(int unit, const OpenOptions& options) {
  if (options.access == Access::direct) {
    write_direct(unit, 2, "(A)", "NEW");
  } else {
    write_record(unit, "(A)", "new");
  }
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

struct FailureCase {
  const char* name;
  OpenOptions options;
  std::string old_bytes;
  rlim_t limit;
  std::size_t values;  // list-directed values written; 0 for one direct record
  const char* failing_operation;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class FailedReplacementTest : public FileReplacementTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedReplacementTest, LeavesTheOldFileAndNoTemporary) {
  const FailureCase& c = GetParam();
  put_file("data.txt", c.old_bytes);
  std::string operation;
  {
    const FileSizeLimit limit(c.limit);
    try {
      open_unit(15, "data.txt", c.options);
      for (std::size_t n = 0; n < c.values; ++n) support::write_list_real(15, 1.5f);
      if (c.values == 0) write_direct(15, 100, "(A)", "NEW");
      close_unit(15);
    } catch (const IoFailure& failure) {
      EXPECT_EQ(failure.status, EFBIG);
      operation = failure.report.substr(0, failure.report.find(':'));
    }
    close_all_units();
  }
  EXPECT_EQ(operation, c.failing_operation);
  EXPECT_EQ(existing_bytes("data.txt"), c.old_bytes);
  EXPECT_EQ(directory_names(), std::set<std::string>{"data.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedReplacementTest,
    ::testing::Values(
        // 100000 values of 6 bytes pass the 64 kB output buffer many times over.
        FailureCase{"WhileWriting", kSequential, std::string(300, 'o'), 20000, 100000, "write"},
        FailureCase{"AtTheClose", kSequential, std::string(300, 'o'), 200, 100, "close"},
        FailureCase{"CopyingTheOldFile", kDirect, std::string(300, 'o'), 200, 0, "open"},
        FailureCase{"AppendingARecord", kDirect, std::string(300, 'o'), 350, 0, "write"}),
    [](const auto& info) { return info.param.name; });

// A symbolic link keeps pointing at the new content, and another hard link of the old file keeps
// the old content, whether the new file is renamed over the old one or exchanged with it.
TEST_F(FileReplacementTest, TheReplacedFileKeepsItsPermissionsAndLinks) {
  for (const OpenOptions& options : {kSequential, kNotDurable}) {
    put_file("target.txt", "old\r\n");
    fs::permissions("target.txt",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("target.txt", "link.txt");
    fs::create_hard_link("target.txt", "other.txt");
    open_unit(15, "link.txt", options);
    write_record(15, "(A)", "new");
    close_unit(15);
    EXPECT_TRUE(fs::is_symlink("link.txt"));
    EXPECT_EQ(existing_bytes("target.txt"), "new\r\n");
    EXPECT_EQ(existing_bytes("other.txt"), "old\r\n");
    EXPECT_EQ(fs::status("target.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(directory_names(), (std::set<std::string>{"link.txt", "other.txt", "target.txt"}));
    for (const char* name : {"link.txt", "other.txt", "target.txt"}) fs::remove(name);
  }
}

TEST_F(FileReplacementTest, AWriteProtectedFileIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser may write every file";
  put_file("data.txt", "old\r\n");
  fs::permissions("data.txt", fs::perms::owner_read);
  EXPECT_EQ(try_open_unit(15, "data.txt", kSequential), EACCES);
  EXPECT_EQ(directory_names(), std::set<std::string>{"data.txt"});
}

// A check of the file that fails for another reason than its absence says nothing about it: the
// open ends there, and the file is neither copied as empty nor replaced.
TEST_F(FileReplacementTest, AFailedCheckOfTheFileIsNoAbsence) {
  fs::create_symlink("loop", "loop");
  for (const OpenOptions& options : {kSequential, kDirect, kAppend, OpenOptions{}}) {
    EXPECT_EQ(try_open_unit(15, "loop", options), ELOOP);
  }
  TemporaryFile temporary;
  std::FILE* file = nullptr;
  EXPECT_EQ(create_temporary_file("loop", true, temporary, file), ELOOP);
  EXPECT_TRUE(fs::is_symlink("loop"));
  EXPECT_EQ(directory_names(), std::set<std::string>{"loop"});
}

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

// A device or a FIFO is written through its name and stays what it was; a directory is refused
// at the open, before anything is written.
TEST_F(FileReplacementTest, ATargetThatIsNotARegularFileIsNeverReplaced) {
  struct Case {
    const char* name;
    std::function<void()> make;
    int expected_status;
  };
  const std::vector<Case> cases = {
      {"LinkToTheNullDevice", [] { fs::create_symlink("/dev/null", "out.grd"); }, kOk},
      {"Fifo", [] { mkfifo("out.grd", 0600); }, kOk},
      {"LinkToAFifo", [] { mkfifo("fifo", 0600), fs::create_symlink("fifo", "out.grd"); }, kOk},
      {"Directory", [] { fs::create_directory("out.grd"); }, EISDIR},
      {"LinkToADirectory",
       [] { fs::create_directory("dir"), fs::create_symlink("dir", "out.grd"); }, EISDIR},
  };
  const OpenOptions kMacro{.status = "NEW", .through_temporary = true, .kept_at_the_end = true};
  for (const Case& c : cases) {
    for (const OpenOptions& options : {kSequential, kNotDurable, kMacro}) {
      c.make();
      const fs::file_status before = fs::symlink_status("out.grd");
      const std::set<std::string> names = directory_names();
      // What a FIFO takes is read on the far side, as another program would.
      std::future<std::string> read = std::async(std::launch::async, [] {
        return fs::is_fifo("out.grd") ? file_bytes("out.grd") : std::string("new\r\n");
      });
      const int status = try_open_unit(15, "out.grd", options);
      EXPECT_EQ(status, c.expected_status) << c.name;
      if (status == kOk) {
        write_record(15, "(A)", "new");
        close_unit(15);
      } else if (fs::is_fifo("out.grd")) {
        std::ofstream("out.grd");
      }
      EXPECT_EQ(read.get(), "new\r\n") << c.name;
      EXPECT_EQ(fs::symlink_status("out.grd").type(), before.type()) << c.name;
      EXPECT_EQ(directory_names(), names) << c.name;
      for (const std::string& name : names) fs::remove_all(name);
    }
  }
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
  const long limit = pathconf(".", _PC_NAME_MAX);
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

// A run as the superuser on another user's file leaves it that user's file.
TEST_F(FileReplacementTest, TheReplacedFileKeepsItsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "only the superuser may give a file away";
  constexpr uid_t kOwner = 4321;
  constexpr gid_t kGroup = 8765;
  for (const OpenOptions& options : {kSequential, kNotDurable, kDirect}) {
    put_file("data.txt", "old1old2");
    ASSERT_EQ(chown("data.txt", kOwner, kGroup), 0);
    open_unit(15, "data.txt", options);
    write_new_content(15, options);
    close_unit(15);
    struct stat replaced {};
    ASSERT_EQ(stat("data.txt", &replaced), 0);
    EXPECT_EQ(replaced.st_uid, kOwner);
    EXPECT_EQ(replaced.st_gid, kGroup);
  }
  // A file made whole beside the old one before it takes its place (a working copy).
  put_file("copy.txt", "copy");
  keep_owner_of("data.txt", "copy.txt");
  struct stat copy {};
  ASSERT_EQ(stat("copy.txt", &copy), 0);
  EXPECT_EQ(copy.st_uid, kOwner);
  EXPECT_EQ(copy.st_gid, kGroup);
}

// A record appended in part would be read back as a record: the file keeps its length instead.
TEST_F(FileReplacementTest, ADirectRecordIsAppendedWholeOrNotAtAll) {
  struct Case {
    int record;
    std::size_t expected_size;
    int expected_status;
  };
  put_file("records.bin", std::string(164, 'o'));
  open_unit(15, "records.bin", {.status = "OLD", .access = Access::direct, .record_length = 82});
  const FileSizeLimit limit(200);
  for (const Case& c :
       {Case{3, 164, EFBIG}, Case{1, 164, kOk}, Case{2, 164, kOk}, Case{4, 164, EFBIG}}) {
    EXPECT_EQ(try_write_direct(15, c.record, "(A)", "record"), c.expected_status) << c.record;
    EXPECT_EQ(fs::file_size("records.bin"), c.expected_size) << c.record;
  }
}

}  // namespace
}  // namespace textio
