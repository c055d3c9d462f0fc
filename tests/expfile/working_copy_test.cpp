#include "expfile/working_copy.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "expfile/experiment_path.hpp"
#include "expfile/store.hpp"
#include "store_fixture.hpp"
#include "support/files.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace expfile_test {
namespace {

using support::ExperimentRecord;

constexpr int kUnit = 11;

// What the start-up's failure report would have ended the run with.
struct ReportedFailure {
  int status;
  int unit;
};

// Stands in for the start-up's opening: "NEW" creates the file and writes its version record,
// any other mode opens an existing file. Every call is recorded.
class StandInOpening {
 public:
  expfile::ExperimentOpening lend() {
    return {[this](std::string_view mode, const std::string& name, int& unit) {
              return open(mode, name, unit);
            },
            [](int status, int unit) {
              throw ReportedFailure{status, unit};
            }};
  }

  struct Call {
    std::string mode;
    std::string name;
    int start_unit;
  };
  std::vector<Call> calls;
  int failure_for_new = 0;

 private:
  int open(std::string_view mode, const std::string& name, int& unit) {
    calls.push_back({std::string(mode), name, unit});
    if (mode == "NEW" && failure_for_new != 0) return failure_for_new;
    textio::NEWUNT(unit);
    textio::OpenOptions options;
    options.status = mode == "NEW" ? "UNKNOWN" : "OLD";
    options.access = textio::Access::direct;
    options.record_length = 82;
    const int status = textio::try_open_unit(unit, name, options);
    if (status == 0 && mode == "NEW") {
      expfile::WRITEXP(unit, expfile::kVersionKey,
                       textio::write_text(68, "(I5,5X,A)", 6, "Mon Jan  1 00:00:00 2024"));
    }
    return status;
  }
};

const std::vector<ExperimentRecord> kOldFile = {
    {"     VERSION", "    6     Fri Mar  3 10:00:00 2023"},
    {"CRS1  ABC   ", "    5.4307    5.4307    5.4307"},
    support::deleted_record(),
    {"ZZZZZZZZZZZZ", "  Last EXP file record"},
    {"      DESCR ", "  Silicon at room temperature"},
    {"HST  1BANK  ", "    1"},
    {" EXPR  NHST ", "    1"},
    {"            ", "a blank key counts as deleted"},
};

class WorkCopyTest : public StoreTest {
 protected:
  // Opens the file as the start-up leaves it: indexed, its marker just read.
  void open_old(const std::string& name, const std::vector<ExperimentRecord>& records) {
    open_experiment(kUnit, name, records);
    std::string value(68, ' ');
    expfile::KEYREAD(kUnit, expfile::kLastRecordKey, value);
  }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  std::vector<std::string> names_in_directory() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  void run_workcopy(std::string_view disposition) {
    int unit = kUnit;
    expfile::WORKCOPY(unit, disposition, opening_.lend());
    unit_after_ = unit;
  }

  StandInOpening opening_;
  int unit_after_ = 0;
};

TEST_F(WorkCopyTest, KeepsOnlyLiveRecordsInKeyOrderAfterTheVersion) {
  open_old("ABC.EXP", kOldFile);
  std::string request = "DELETE";
  expfile::KEYREAD(kUnit, "HST  1BANK  ", request);
  const std::string old_bytes = file_bytes("ABC.EXP");

  run_workcopy("KEEP");

  const std::vector<std::string> expected = {
      record_text("     VERSION", "    6     Fri Mar  3 10:00:00 2023"),
      record_text("      DESCR ", "  Silicon at room temperature"),
      record_text(" EXPR  NHST ", "    1"),
      record_text("CRS1  ABC   ", "    5.4307    5.4307    5.4307"),
      record_text("ZZZZZZZZZZZZ", "  Last EXP file record"),
  };
  EXPECT_EQ(file_records("ABC.EXP"), expected);
  EXPECT_EQ(file_bytes("ABC.O01"), old_bytes);
  EXPECT_EQ(names_in_directory(), (std::vector<std::string>{"ABC.EXP", "ABC.O01"}));
  ASSERT_EQ(opening_.calls.size(), 2U);
  EXPECT_EQ(opening_.calls[0].mode, "NEW");
  EXPECT_EQ(opening_.calls[0].name, path("ABC.NEW"));
  EXPECT_EQ(opening_.calls[1].mode, "SHARED");
  EXPECT_EQ(opening_.calls[1].name, path("ABC.EXP"));
  EXPECT_EQ(opening_.calls[1].start_unit, kUnit);
  EXPECT_EQ(unit_after_, kUnit);
  EXPECT_EQ(textio::unit_file_name(unit_after_), path("ABC.EXP"));
  EXPECT_FALSE(expfile::ISAMSTARTED(unit_after_));
  EXPECT_EQ(console_text(), "");
}

// The copy starts at the first record in key order, so a record whose key sorts before the
// title record is carried over too.
TEST_F(WorkCopyTest, KeepsARecordThatSortsBeforeTheTitle) {
  std::vector<ExperimentRecord> records = kOldFile;
  records.push_back({"      ABC   ", "sorts before the title"});
  open_old("ABC.EXP", records);
  run_workcopy("DELETE");
  const std::vector<std::string> converted = file_records("ABC.EXP");
  ASSERT_EQ(converted.size(), 7U);
  EXPECT_EQ(converted[1], record_text("      ABC   ", "sorts before the title"));
  EXPECT_EQ(converted[2], record_text("      DESCR ", "  Silicon at room temperature"));
}

struct BackupCase {
  std::string label;
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
    [](const auto& info) { return info.param.label; });

// With every backup name taken, the old file stays where it is and is opened again; no backup
// is overwritten.
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
}

TEST_F(WorkCopyTest, DeleteLeavesNoBackup) {
  open_old("ABC.EXP", kOldFile);
  run_workcopy("DELETE");
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"ABC.EXP"});
  EXPECT_EQ(file_records("ABC.EXP").size(), 6U);
}

// A NAME.NEW left by an interrupted copy must not leak its records into the new file.
TEST_F(WorkCopyTest, IgnoresAStaleNewFile) {
  support::write_experiment_file(directory_ / "ABC.NEW", {{"STALE RECORD", "left behind"}});
  open_old("ABC.EXP", kOldFile);
  run_workcopy("DELETE");
  for (const std::string& record : file_records("ABC.EXP")) {
    EXPECT_NE(record.substr(0, 12), "STALE RECORD");
  }
}

TEST_F(WorkCopyTest, CopyWithoutTheMarkerIsFatalAndKeepsTheOldFile) {
  std::vector<ExperimentRecord> records = kOldFile;
  records.erase(records.begin() + 3);
  open_old("ABC.EXP", records);
  const std::string old_bytes = file_bytes("ABC.EXP");
  try {
    run_workcopy("KEEP");
    ADD_FAILURE() << "the copy did not fail";
  } catch (const ReportedFailure& failure) {
    EXPECT_EQ(failure.status, 1);
    EXPECT_EQ(failure.unit, kUnit);
  }
  EXPECT_EQ(console_text(), " **** FATAL ERROR - copy of experiment file failed ****\n");
  EXPECT_EQ(file_bytes("ABC.EXP"), old_bytes);
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"ABC.EXP"});
  EXPECT_FALSE(textio::unit_connected(kUnit));
}

TEST_F(WorkCopyTest, FailureToCreateTheNewFileIsReported) {
  open_old("ABC.EXP", kOldFile);
  const std::string old_bytes = file_bytes("ABC.EXP");
  opening_.failure_for_new = 13;
  try {
    run_workcopy("KEEP");
    ADD_FAILURE() << "the copy did not fail";
  } catch (const ReportedFailure& failure) {
    EXPECT_EQ(failure.status, 13);
  }
  EXPECT_EQ(file_bytes("ABC.EXP"), old_bytes);
}

TEST_F(WorkCopyTest, NameWithoutExtensionStopsAndTouchesNothing) {
  open_old("ABC.DAT", kOldFile);
  const std::string old_bytes = file_bytes("ABC.DAT");
  EXPECT_EQ(stop_text_of([&] { run_workcopy("DELETE"); }), "Run terminated in WORKCOPY");
  EXPECT_EQ(console_text(), " **** No working copy made: the experiment file name \"" +
                                path("ABC.DAT") + "\" holds no .EXP ****\n");
  EXPECT_TRUE(opening_.calls.empty());
  EXPECT_EQ(names_in_directory(), std::vector<std::string>{"ABC.DAT"});
  EXPECT_EQ(file_bytes("ABC.DAT"), old_bytes);
  EXPECT_TRUE(textio::unit_connected(kUnit));
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
}  // namespace expfile_test
