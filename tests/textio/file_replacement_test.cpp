// Units that write through a temporary file where POSIX systems differ from others: resource
// limits, permission bits and owners, links, FIFOs and devices. A file holds its old bytes or the
// whole new content, never a part of it.
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

#include "replacement_cases.hpp"
#include "scratch_directory.hpp"
#include "support/unit_output.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/temporary_file.hpp"
#include "textio/units.hpp"

namespace textio {
namespace {

namespace fs = std::filesystem;

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
