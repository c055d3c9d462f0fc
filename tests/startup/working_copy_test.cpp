// The working copy made through the start-up's own opening of experiment files.
#include "startup/working_copy.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "experiment_fixture.hpp"
#include "expfile/experiment_path.hpp"
#include "expfile/store.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace startup_test {
namespace {

using Records = std::vector<support::ExperimentRecord>;

const Records kOldFile = {
    {"     VERSION", "    6     Fri Mar  3 10:00:00 2023"},
    {"CRS1  ABC   ", "    5.4307    5.4307    5.4307"},
    support::deleted_record(),
    {"ZZZZZZZZZZZZ", "  Last EXP file record"},
    {"      DESCR ", "  Silicon at room temperature"},
    {"HST  1BANK  ", "    1"},
    {" EXPR  NHST ", "    1"},
    {"            ", "a blank key counts as deleted"},
};

const std::string kCopyFailed = " **** FATAL ERROR - copy of experiment file failed ****\n";

class WorkCopyTest : public ExperimentTest {
 protected:
  // Opens the file as the start-up leaves it: indexed, its marker just read.
  void open_old(const std::string& name, const Records& records) {
    open_experiment(name, records);
    std::string value(expfile::kValueLength, ' ');
    expfile::KEYREAD(kExperimentUnit, expfile::kLastRecordKey, value);
  }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  std::string file_bytes(const std::string& name) const {
    return support::read_file_bytes(directory_ / name);
  }

  std::vector<std::string> names_in_directory() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  void run_workcopy(std::string_view disposition) {
    int unit = kExperimentUnit;
    startup::WORKCOPY(unit, disposition);
    unit_after_ = unit;
  }

  // Runs WORKCOPY, which must stop the run, and returns the stop text.
  std::string stop_text_of_workcopy(std::string_view disposition) {
    try {
      run_workcopy(disposition);
    } catch (const textio::StopRun& stop) {
      return stop.text;
    }
    ADD_FAILURE() << "the run did not stop";
    return {};
  }

  int unit_after_ = 0;
};

TEST_F(WorkCopyTest, KeepsOnlyLiveRecordsInKeyOrderAfterTheVersion) {
  open_old("ABC.EXP", kOldFile);
  std::string request = "DELETE";
  expfile::KEYREAD(kExperimentUnit, "HST  1BANK  ", request);
  const std::string old_bytes = file_bytes("ABC.EXP");

  run_workcopy("KEEP");

  const Records copied = {
      {"     VERSION", "    6     Fri Mar  3 10:00:00 2023"},
      {"      DESCR ", "  Silicon at room temperature"},
      {" EXPR  NHST ", "    1"},
      {"CRS1  ABC   ", "    5.4307    5.4307    5.4307"},
      {"ZZZZZZZZZZZZ", "  Last EXP file record"},
  };
  EXPECT_EQ(file_bytes("ABC.EXP"), support::experiment_file_bytes(copied));
  EXPECT_EQ(file_bytes("ABC.O01"), old_bytes);
  EXPECT_EQ(names_in_directory(), (std::vector<std::string>{"ABC.EXP", "ABC.O01"}));
  EXPECT_EQ(unit_after_, kExperimentUnit);
  EXPECT_EQ(textio::unit_file_name(unit_after_), path("ABC.EXP"));
  EXPECT_TRUE(textio::unit_is_direct(unit_after_));
  EXPECT_EQ(terminal_text(), "");
  // Reads go to the rewritten file, not through what was known of the old one.
  std::string value(expfile::kValueLength, ' ');
  EXPECT_EQ(expfile::KEYREAD(unit_after_, "CRS1  ABC   ", value), 0);
  EXPECT_EQ(value.substr(0, 30), "    5.4307    5.4307    5.4307");
  EXPECT_NE(expfile::KEYREAD(unit_after_, "HST  1BANK  ", value), 0);
}

// The copy starts at the first record in key order, so a record whose key sorts before the
// title record is carried over too.
TEST_F(WorkCopyTest, KeepsARecordThatSortsBeforeTheTitle) {
  Records records = kOldFile;
  records.push_back({"      ABC   ", "sorts before the title"});
  open_old("ABC.EXP", records);
  run_workcopy("DELETE");
  const std::vector<std::string> copied = support::experiment_records(file_bytes("ABC.EXP"));
  ASSERT_EQ(copied.size(), 7U);
  EXPECT_EQ(copied[1].substr(0, 34), "      ABC   sorts before the title");
  EXPECT_EQ(copied[2].substr(0, 41), "      DESCR   Silicon at room temperature");
}

struct BackupCase {
  const char* name;
  std::vector<std::string> existing;
  std::string expected;
};

class WorkCopyBackupTest : public WorkCopyTest, public ::testing::WithParamInterface<BackupCase> {};

TEST_P(WorkCopyBackupTest, TakesOneMoreThanTheHighestBackup) {
  const BackupCase& c = GetParam();
  for (const std::string& name : c.existing) support::write_file_bytes(directory_ / name, name);
  open_old("ABC.EXP", kOldFile);
  const std::string old_bytes = file_bytes("ABC.EXP");
  run_workcopy("KEEP");
  EXPECT_EQ(file_bytes(c.expected), old_bytes);
  for (const std::string& name : c.existing) EXPECT_EQ(file_bytes(name), name);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, WorkCopyBackupTest,
    ::testing::Values(BackupCase{"None", {}, "ABC.O01"},
                      BackupCase{"AfterO07", {"ABC.O03", "ABC.O07"}, "ABC.O08"},
                      BackupCase{"AfterOFFWrapsToO00", {"ABC.O10", "ABC.OFF"}, "ABC.O00"},
                      BackupCase{"AfterO00", {"ABC.O00"}, "ABC.O01"},
                      BackupCase{"OtherExperimentsIgnored", {"XYZ.O05"}, "ABC.O01"}),
    [](const auto& info) { return std::string(info.param.name); });

// With every backup name taken, the old file stays where it is and is opened again, and the
// terminal says that no copy was made; no backup is overwritten.
TEST_F(WorkCopyTest, LosesNoBackupWhenAllNamesAreInUse) {
  std::vector<std::string> backups;
  for (int n = 0; n < 256; ++n) {
    std::string digits;
    expfile::HEX4(digits, n);
    backups.push_back("ABC.O" + digits.substr(2));
    support::write_file_bytes(directory_ / backups.back(), backups.back());
  }
  open_old("ABC.EXP", kOldFile);
  const std::string old_bytes = file_bytes("ABC.EXP");

  run_workcopy("KEEP");

  for (const std::string& name : backups) EXPECT_EQ(file_bytes(name), name);
  EXPECT_EQ(file_bytes("ABC.EXP"), old_bytes);
  EXPECT_EQ(textio::unit_file_name(unit_after_), path("ABC.EXP"));
  EXPECT_EQ(terminal_text(),
            " **** No working copy made: the backup name " + path("ABC.O00") + " is in use ****\n");
  EXPECT_FALSE(std::filesystem::exists(directory_ / "ABC.NEW"));
}

TEST_F(WorkCopyTest, DeleteLeavesNoBackup) {
  open_old("ABC.EXP", kOldFile);
  run_workcopy("DELETE");
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"ABC.EXP"});
  EXPECT_EQ(support::experiment_records(file_bytes("ABC.EXP")).size(), 6U);
}

// A NAME.NEW left by an interrupted copy must not leak its records into the new file.
TEST_F(WorkCopyTest, IgnoresAStaleNewFile) {
  support::write_experiment_file(directory_ / "ABC.NEW", {{"STALE RECORD", "left behind"}});
  open_old("ABC.EXP", kOldFile);
  run_workcopy("DELETE");
  for (const std::string& record : support::experiment_records(file_bytes("ABC.EXP"))) {
    EXPECT_NE(record.substr(0, 12), "STALE RECORD");
  }
}

// The failure report names the status 1 and the old file's unit, and ends the run.
TEST_F(WorkCopyTest, CopyWithoutTheMarkerIsFatalAndKeepsTheOldFile) {
  Records records = kOldFile;
  records.erase(records.begin() + 3);
  open_old("ABC.EXP", records);
  const std::string old_bytes = file_bytes("ABC.EXP");
  EXPECT_EQ(stop_text_of_workcopy("KEEP"), "");
  EXPECT_EQ(terminal_text(), kCopyFailed + " FORTRAN error number   1 on unit 11\n");
  EXPECT_EQ(file_bytes("ABC.EXP"), old_bytes);
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"ABC.EXP"});
  EXPECT_FALSE(textio::unit_connected(kExperimentUnit));
}

// An experiment file that is a symbolic link stays one: the file it leads to takes the copy, and
// the backup is a file of its own holding the old content, which later changes do not reach.
TEST_F(WorkCopyTest, CopyThroughALinkWritesThroughItAndBacksUpTheContent) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need privileges on Windows";
#endif
  std::filesystem::create_directory(directory_ / "shared");
  support::write_experiment_file(directory_ / "shared" / "ABC.EXP", kOldFile);
  const std::string old_bytes = file_bytes("shared/ABC.EXP");
  std::filesystem::create_symlink("shared/ABC.EXP", directory_ / "ABC.EXP");
  open_old("ABC.EXP", kOldFile);
  run_workcopy("KEEP");
  EXPECT_TRUE(std::filesystem::is_symlink(directory_ / "ABC.EXP"));
  EXPECT_EQ(support::experiment_records(file_bytes("shared/ABC.EXP")).size(), 6U);
  EXPECT_FALSE(std::filesystem::is_symlink(directory_ / "ABC.O01"));
  EXPECT_EQ(file_bytes("ABC.O01"), old_bytes);
  EXPECT_EQ(names_in_directory(), (std::vector<std::string>{"ABC.EXP", "ABC.O01", "shared"}));
}

TEST_F(WorkCopyTest, NameWithoutExtensionStopsAndTouchesNothing) {
  open_old("ABC.DAT", kOldFile);
  const std::string old_bytes = file_bytes("ABC.DAT");
  EXPECT_EQ(stop_text_of_workcopy("DELETE"), "Run terminated in WORKCOPY");
  EXPECT_EQ(terminal_text(), " **** No working copy made: the experiment file name \"" +
                                 path("ABC.DAT") + "\" holds no .EXP ****\n");
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"ABC.DAT"});
  EXPECT_EQ(file_bytes("ABC.DAT"), old_bytes);
  EXPECT_TRUE(textio::unit_connected(kExperimentUnit));
}

// Only the file-name part counts: a directory whose name holds ".EXP" keeps the backups beside
// the experiment file.
TEST_F(WorkCopyTest, ExtensionIsSoughtInTheFileNameOnly) {
  std::filesystem::create_directory(directory_ / "RUN.EXPERIMENTS");
  open_old("RUN.EXPERIMENTS/ABC.EXP", kOldFile);
  run_workcopy("KEEP");
  EXPECT_TRUE(std::filesystem::exists(directory_ / "RUN.EXPERIMENTS" / "ABC.O01"));
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"RUN.EXPERIMENTS"});
}

}  // namespace
}  // namespace startup_test
