#include "expfile/store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "expfile/index.hpp"
#include "store_fixture.hpp"
#include "textio/text.hpp"

namespace expfile_test {
namespace {

using expfile::ISAMCLOSE;
using expfile::KEYREAD;
using expfile::WRITEXP;
using support::ExperimentRecord;
using textio::fit;

constexpr int kUnit = 11;
const std::string kBlankKey(12, ' ');
const std::string kDeletedText = std::string(12, '~') + std::string(68, ' ');
// 68 distinct characters, so that any cut shows where it was made.
const std::string kFullValue =
    "0123456789012345678901234567890123456789012345678901234567890123ABCD";

// The keys below stand in the file in no order; their key order is written out by hand in
// KeyOrderIsByteOrderWithBlanksFirst.
const std::vector<ExperimentRecord> kScrambled = {
    {"ZZZZZZZZZZZZ", "  Last EXP file record"},
    {"CRS1  ANGLES", "   90.0000   90.0000   90.0000"},
    {"CRS1~       ", "tilde after the letters"},
    support::deleted_record(),
    {"      DESCR ", "  Silicon test"},
    {"CRS1Z       ", "letter"},
    {"A1          ", "digit after A"},
    {"            ", "a blank key counts as deleted"},
    {"     VERSION", "    6"},
    {"CRS1  ABC   ", "    5.4307    5.4307    5.4307"},
    {"0 EXPR      ", "digit first"},
    {"A           ", "A and blanks"},
};

std::vector<ExperimentRecord> records_named(std::initializer_list<const char*> keys) {
  std::vector<ExperimentRecord> records;
  for (const char* key : keys) records.push_back({key, std::string("value of ") + key});
  return records;
}

// Next reads from the current read position to the end; the keys found, trimmed.
std::vector<std::string> remaining_keys(int unit) {
  std::vector<std::string> keys;
  std::string key = kBlankKey;
  std::string value(68, ' ');
  while (KEYREAD(unit, key, value) == 0) {
    keys.emplace_back(textio::trim_right(key));
    key = kBlankKey;
  }
  return keys;
}

TEST_F(StoreTest, KeyOrderIsByteOrderWithBlanksFirst) {
  open_experiment(kUnit, "KEYS.EXP", kScrambled);
  std::vector<std::pair<std::string, std::string>> found;
  std::string key = kBlankKey;
  std::string value(68, ' ');
  while (KEYREAD(kUnit, key, value) == 0) {
    found.emplace_back(key, std::string(textio::trim_right(value)));
    key = kBlankKey;
  }
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"      DESCR ", "  Silicon test"},
      {"     VERSION", "    6"},
      {"0 EXPR      ", "digit first"},
      {"A           ", "A and blanks"},
      {"A1          ", "digit after A"},
      {"CRS1  ABC   ", "    5.4307    5.4307    5.4307"},
      {"CRS1  ANGLES", "   90.0000   90.0000   90.0000"},
      {"CRS1Z       ", "letter"},
      {"CRS1~       ", "tilde after the letters"},
      {"ZZZZZZZZZZZZ", "  Last EXP file record"},
  };
  EXPECT_EQ(found, expected);
  // At the end: nothing more, the key left as given and the value blank.
  value = "left over";
  EXPECT_EQ(KEYREAD(kUnit, key, value), 1);
  EXPECT_EQ(key, kBlankKey);
  EXPECT_EQ(value, "         ");
}

TEST_F(StoreTest, ExactReadsFindRecordsWhereverTheyStand) {
  open_experiment(kUnit, "KEYS.EXP", kScrambled);
  for (const ExperimentRecord& record : kScrambled) {
    if (textio::trim_right(record.key).empty() || record.key == expfile::kDeletedKey) continue;
    std::string value = "x";
    value.resize(68, 'x');
    EXPECT_EQ(KEYREAD(kUnit, record.key, value), 0) << record.key;
    EXPECT_EQ(value, fit(record.value, 68)) << record.key;
  }
  std::string value(68, 'x');
  EXPECT_EQ(KEYREAD(kUnit, "CRS2  ABC   ", value), 1);
  EXPECT_EQ(value, std::string(68, ' '));
  EXPECT_EQ(KEYREAD(kUnit, "~~~~~~~~~~~~", value), 1);
}

TEST_F(StoreTest, PrefixReadDeliversTheRestOfTheKeyThenNextReadsFollow) {
  std::vector<ExperimentRecord> records = kScrambled;
  records.push_back({"CRS   CELL  ", kFullValue});
  open_experiment(kUnit, "KEYS.EXP", records);

  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "CRS1", value), 0);
  EXPECT_EQ(value, fit("  ABC       5.4307    5.4307    5.4307", 68));
  std::string key = kBlankKey;
  ASSERT_EQ(KEYREAD(kUnit, key, value), 0);
  EXPECT_EQ(key, "CRS1  ANGLES");

  // A three-character prefix: nine key characters, then the value cut by nine at its end.
  ASSERT_EQ(KEYREAD(kUnit, "CRS", value), 0);
  EXPECT_EQ(value, "   CELL  " + kFullValue.substr(0, 59));
  key = kBlankKey;
  ASSERT_EQ(KEYREAD(kUnit, key, value), 0);
  EXPECT_EQ(key, "CRS1  ABC   ");
}

TEST_F(StoreTest, FailedReadLeavesTheReadPositionAtTheEnd) {
  open_experiment(kUnit, "KEYS.EXP", kScrambled);
  std::string value(68, ' ');
  EXPECT_EQ(KEYREAD(kUnit, "CRS2", value), 1);
  EXPECT_TRUE(remaining_keys(kUnit).empty());
  EXPECT_EQ(KEYREAD(kUnit, "CRS2  ABC   ", value), 1);
  EXPECT_TRUE(remaining_keys(kUnit).empty());
}

TEST_F(StoreTest, ValueIsCutOrPaddedToTheCallersField) {
  open_experiment(kUnit, "CUT.EXP", {{"CRS1  SG SYM", kFullValue}, {"ZZZZZZZZZZZZ", "end"}});
  std::string short_field(20, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "CRS1  SG SYM", short_field), 0);
  EXPECT_EQ(short_field, kFullValue.substr(0, 20));

  std::string long_field(100, 'x');
  ASSERT_EQ(KEYREAD(kUnit, "CRS1  SG SYM", long_field), 0);
  EXPECT_EQ(long_field, kFullValue + std::string(32, ' '));

  std::string key = kBlankKey;
  ASSERT_EQ(KEYREAD(kUnit, key, long_field), 0);
  EXPECT_EQ(key, "ZZZZZZZZZZZZ");
  EXPECT_EQ(long_field, fit("end", 100));
}

TEST_F(StoreTest, DeleteMarksTheRecordAndAWriteAppendsAfresh) {
  open_experiment(kUnit, "DEL.EXP", records_named({"A", "B", "C"}));
  std::string request = "DELETE";
  ASSERT_EQ(KEYREAD(kUnit, "B           ", request), 0);
  EXPECT_EQ(request, "DELETE");
  EXPECT_EQ(file_records("DEL.EXP")[1], kDeletedText);

  std::string value(68, ' ');
  EXPECT_EQ(KEYREAD(kUnit, "B           ", value), 1);
  WRITEXP(kUnit, "B", "written again");
  const std::vector<std::string> records = file_records("DEL.EXP");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1], kDeletedText);
  EXPECT_EQ(records[3], record_text("B", "written again"));

  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"B", "C"}));
  ASSERT_EQ(KEYREAD(kUnit, "B           ", value), 0);
  EXPECT_EQ(value, fit("written again", 68));
}

TEST_F(StoreTest, DeleteByPrefixAndByNextRead) {
  open_experiment(kUnit, "DEL.EXP", records_named({"A", "B", "C", "D"}));
  std::string request = "DELETE";
  ASSERT_EQ(KEYREAD(kUnit, "C", request), 0);
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  std::string key = kBlankKey;
  ASSERT_EQ(KEYREAD(kUnit, key, request), 0);
  EXPECT_EQ(key, kBlankKey);
  EXPECT_EQ(request, "DELETE");

  const std::vector<std::string> records = file_records("DEL.EXP");
  EXPECT_EQ(records[1], kDeletedText);
  EXPECT_EQ(records[2], kDeletedText);
  EXPECT_EQ(records[3], record_text("D", "value of D"));
  EXPECT_EQ(KEYREAD(kUnit, "Z", request), 1);
  EXPECT_EQ(request, "DELETE");
}

TEST_F(StoreTest, NextReadsSkipRecordsDeletedWhileOpen) {
  open_experiment(kUnit, "DEL.EXP", records_named({"A", "B", "C", "D"}));
  std::string request = "DELETE";
  ASSERT_EQ(KEYREAD(kUnit, "B           ", request), 0);
  ASSERT_EQ(KEYREAD(kUnit, "C           ", request), 0);
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"D"}));

  ASSERT_EQ(KEYREAD(kUnit, "D           ", request), 0);
  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  EXPECT_TRUE(remaining_keys(kUnit).empty());
  // Deleted records are never returned, whatever the key asked for.
  EXPECT_EQ(KEYREAD(kUnit, "~", value), 1);
  EXPECT_EQ(KEYREAD(kUnit, "", value), 0);
  EXPECT_EQ(value, fit("A" + std::string(11, ' ') + "value of A", 68));
}

TEST_F(StoreTest, DeleteTextInAFieldOfOrdinaryWidthIsARead) {
  open_experiment(kUnit, "DEL.EXP", records_named({"A", "B"}));
  const std::string before = file_bytes("DEL.EXP");
  std::string value = fit("DELETE", 68);
  ASSERT_EQ(KEYREAD(kUnit, "B           ", value), 0);
  EXPECT_EQ(value, fit("value of B", 68));
  EXPECT_EQ(file_bytes("DEL.EXP"), before);
}

struct AppendCase {
  const char* name;
  std::vector<ExperimentRecord> records;
};

class AppendTest : public StoreTest, public ::testing::WithParamInterface<AppendCase> {};

// Whatever the file holds, a new key becomes the record after the last one, and no record
// already in the file changes.
TEST_P(AppendTest, NewKeyIsAppendedAfterTheLastRecord) {
  const std::vector<ExperimentRecord>& records = GetParam().records;
  open_experiment(kUnit, "APP.EXP", records);
  const std::string before = file_bytes("APP.EXP");
  std::string value(68, 'x');
  EXPECT_EQ(KEYREAD(kUnit, "ZZZZZZZZZZZZ", value), 1);
  EXPECT_EQ(value, std::string(68, ' '));
  EXPECT_TRUE(remaining_keys(kUnit).empty());

  WRITEXP(kUnit, "NEW KEY", "new value");
  EXPECT_EQ(file_bytes("APP.EXP"), before + support::experiment_record("NEW KEY", "new value"));
  ASSERT_EQ(KEYREAD(kUnit, "NEW KEY     ", value), 0);
  EXPECT_EQ(value, fit("new value", 68));
}

INSTANTIATE_TEST_SUITE_P(
    Files, AppendTest,
    ::testing::Values(
        AppendCase{"Empty", {}},
        AppendCase{"OnlyDeleted",
                   {support::deleted_record(), {"", "blank key"}, support::deleted_record()}},
        AppendCase{"DeletedAmongLive",
                   {{"A", "live"}, support::deleted_record(), {"B", "live"}, {"", "blank"}}}),
    [](const auto& info) { return info.param.name; });

TEST_F(StoreTest, RecordsWrittenWhileOpenAreFoundInKeyOrder) {
  open_experiment(kUnit, "W.EXP", records_named({"B", "D"}));
  // Before any read the position stands before the first record.
  WRITEXP(kUnit, "0", "sorts first");
  std::string key = kBlankKey;
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, key, value), 0);
  EXPECT_EQ(key, fit("0", 12));

  WRITEXP(kUnit, "C", "value of C");
  WRITEXP(kUnit, "A", "value of A");
  WRITEXP(kUnit, "E", "value of E");
  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"B", "C", "D", "E"}));
  ASSERT_EQ(KEYREAD(kUnit, "C", value), 0);
  EXPECT_EQ(value, fit(std::string(11, ' ') + "value of C", 68));
  EXPECT_EQ(file_records("W.EXP").size(), 6u);
}

TEST_F(StoreTest, ReadPositionStaysOnItsRecordWhenKeysAreInserted) {
  open_experiment(kUnit, "W.EXP", records_named({"A", "C", "E"}));
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "C           ", value), 0);
  WRITEXP(kUnit, "B", "before the position");
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"E"}));

  ASSERT_EQ(KEYREAD(kUnit, "C           ", value), 0);
  WRITEXP(kUnit, "D", "after the position");
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"D", "E"}));
}

TEST_F(StoreTest, WritingAnExistingKeyOverwritesInPlace) {
  open_experiment(kUnit, "O.EXP", records_named({"A", "B", "C"}));
  WRITEXP(kUnit, "B           ", "changed");
  WRITEXP(kUnit, "D", "first");
  WRITEXP(kUnit, "D", "second");
  const std::vector<std::string> records = file_records("O.EXP");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1], record_text("B", "changed"));
  EXPECT_EQ(records[3], record_text("D", "second"));
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"B", "C", "D"}));
}

struct StoredValueCase {
  std::string given;
  std::string stored;
};

class StoredValueTest : public StoreTest, public ::testing::WithParamInterface<StoredValueCase> {};

TEST_P(StoredValueTest, TrailingBlanksAndNulsAreDropped) {
  open_experiment(kUnit, "V.EXP", {});
  WRITEXP(kUnit, "KEY", GetParam().given);
  EXPECT_EQ(file_bytes("V.EXP"), support::experiment_record("KEY", GetParam().stored));
}

constexpr const char* kStoredValueCaseNames[] = {"TrailingBlanks", "AllBlank", "Empty",
                                                 "TrailingNuls", "FullWidth"};

INSTANTIATE_TEST_SUITE_P(Values, StoredValueTest,
                         ::testing::Values(StoredValueCase{"ABC" + std::string(80, ' '), "ABC"},
                                           StoredValueCase{std::string(100, ' '), ""},
                                           StoredValueCase{"", ""},
                                           StoredValueCase{std::string("ABC\0\0 \0", 7), "ABC"},
                                           StoredValueCase{kFullValue + "  ", kFullValue}),
                         [](const auto& info) {
                           return std::string(kStoredValueCaseNames[info.index]);
                         });

TEST_F(StoreTest, ValueOverSixtyEightCharactersIsAProgrammerError) {
  open_experiment(kUnit, "E.EXP", records_named({"A"}));
  const std::string before = file_bytes("E.EXP");
  const std::string value = std::string(69, 'X') + "  ";
  EXPECT_EQ(stop_text_of([&] { WRITEXP(kUnit, "CRS1  ABC", value); }),
            "***** PROGRAMMER error detected in WRITEXP *****");
  EXPECT_EQ(console_text(),
            " *****  PROGRAMMER ERROR ****  String length greater than 68 characters\n"
            "\n"
            " The string length is  69\n"
            " KEYVAL : CRS1  ABC   \n"
            " String : " +
                value +
                "\n"
                "\n");
  EXPECT_EQ(file_bytes("E.EXP"), before);
}

struct LongKeyCase {
  const char* routine;
  bool write;
};

class LongKeyTest : public StoreTest, public ::testing::WithParamInterface<LongKeyCase> {};

TEST_P(LongKeyTest, KeyOverTwelveCharactersIsAProgrammerError) {
  open_experiment(kUnit, "E.EXP", records_named({"CRS1  ABC   "}));
  const std::string before = file_bytes("E.EXP");
  const std::string key = "CRS1  ABC   X";
  std::string value(68, ' ');
  EXPECT_EQ(stop_text_of([&] {
              if (GetParam().write) {
                WRITEXP(kUnit, key, "value");
              } else {
                KEYREAD(kUnit, key, value);
              }
            }),
            std::string("***** PROGRAMMER error detected in ") + GetParam().routine + " *****");
  EXPECT_EQ(console_text(),
            " *****  PROGRAMMER ERROR ****  Key length greater than 12 characters\n"
            "\n"
            " The key length is  13\n"
            " KEYVAL : CRS1  ABC   X\n"
            "\n");
  EXPECT_EQ(file_bytes("E.EXP"), before);
}

INSTANTIATE_TEST_SUITE_P(Routines, LongKeyTest,
                         ::testing::Values(LongKeyCase{"KEYREAD", false},
                                           LongKeyCase{"WRITEXP", true}),
                         [](const auto& info) { return std::string(info.param.routine); });

TEST_F(StoreTest, TwoFilesAtOnceAndAThirdHalts) {
  open_experiment(11, "ONE.EXP", records_named({"ONE"}));
  open_experiment(12, "TWO.EXP", records_named({"TWO"}));
  open_experiment(13, "THREE.EXP", records_named({"THREE"}));
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(11, "ONE", value), 0);
  ASSERT_EQ(KEYREAD(12, "TWO", value), 0);
  EXPECT_EQ(stop_text_of([&] { KEYREAD(13, "THREE", value); }), "Halt in STARTISAM");
  EXPECT_EQ(console_text(), " *** ERROR *** No more ISAM style files can be opened\n");

  ISAMCLOSE(11, "KEEP");
  EXPECT_FALSE(textio::unit_connected(11));
  EXPECT_TRUE(textio::file_exists((directory_ / "ONE.EXP").string()));
  ASSERT_EQ(KEYREAD(13, "THREE", value), 0);
  EXPECT_EQ(value, fit(std::string(7, ' ') + "value of THREE", 68));
  // Each unit keeps its own index and read position.
  ASSERT_EQ(KEYREAD(12, "TWO", value), 0);
  EXPECT_EQ(value, fit(std::string(9, ' ') + "value of TWO", 68));

  ISAMCLOSE(13, "DELETE");
  EXPECT_FALSE(textio::file_exists((directory_ / "THREE.EXP").string()));
}

TEST_F(StoreTest, CloseLeavesAUnitWithoutAnIndexAlone) {
  open_experiment(kUnit, "C.EXP", records_named({"A"}));
  ISAMCLOSE(kUnit, "DELETE");
  EXPECT_TRUE(textio::unit_connected(kUnit));
  EXPECT_TRUE(textio::file_exists((directory_ / "C.EXP").string()));
}

// Only the end of the file ends the index quietly: an index that missed records after a failed
// read would let later appends overwrite them.
TEST_F(StoreTest, ReadFailureWhileIndexingEndsTheRun) {
  support::write_experiment_file(directory_ / "S.EXP", records_named({"A", "B"}));
  textio::open_unit(kUnit, (directory_ / "S.EXP").string());  // sequential: no record reads
  std::string value(68, ' ');
  try {
    KEYREAD(kUnit, "A           ", value);
    ADD_FAILURE() << "the index was built";
  } catch (const textio::IoFailure& failure) {
    EXPECT_NE(failure.status, 0);
    EXPECT_NE(failure.report.find("S.EXP"), std::string::npos) << failure.report;
  }
}

TEST_F(StoreTest, ReopenedFileIsIndexedAfresh) {
  open_experiment(kUnit, "R.EXP", records_named({"A"}));
  WRITEXP(kUnit, "B", "new");
  ISAMCLOSE(kUnit, "KEEP");
  // Another program changes the file while it is closed.
  support::write_file_bytes(directory_ / "R.EXP",
                            file_bytes("R.EXP") + support::experiment_record("C", "outside"));
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = 82;
  textio::open_unit(kUnit, (directory_ / "R.EXP").string(), options);
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B", "C"}));
}

// Beyond the 30000 records a slot holds without growing, nothing is dropped.
TEST_F(StoreTest, FileLargerThanTheSlotCapacityIsIndexedWhole) {
  constexpr int kCount = expfile::kSlotCapacity + 5;
  std::vector<ExperimentRecord> records;
  for (int n = kCount; n >= 1; --n) {
    std::string key = std::to_string(n);
    records.push_back({"R" + std::string(6 - key.size(), '0') + key, "record " + key});
  }
  open_experiment(kUnit, "BIG.EXP", records);
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "R000001     ", value), 0);
  EXPECT_EQ(value, fit("record 1", 68));
  const std::vector<std::string> keys = remaining_keys(kUnit);
  ASSERT_EQ(keys.size(), static_cast<std::size_t>(kCount - 1));
  EXPECT_EQ(keys.front(), "R000002");
  EXPECT_EQ(keys.back(), "R030005");

  WRITEXP(kUnit, "R000000", "appended");
  EXPECT_EQ(file_records("BIG.EXP").size(), static_cast<std::size_t>(kCount + 1));
  ASSERT_EQ(KEYREAD(kUnit, "R", value), 0);
  EXPECT_EQ(value, fit("000000" + std::string(5, ' ') + "appended", 68));
}

// The file is read in blocks of 2,048 records, a small one in a block of its own size and one
// record more: every record is indexed whichever side of a block's end it stands, and an
// appended record follows the last.
TEST_F(StoreTest, RecordsAroundTheReadBlocksEndsAreIndexedWhole) {
  for (int count : {1, 2, 2047, 2048, 2049, 4096, 4097}) {
    SCOPED_TRACE(count);
    std::vector<ExperimentRecord> records;
    for (int n = count; n >= 1; --n) {
      std::string key = std::to_string(n);
      records.push_back({"R" + std::string(5 - key.size(), '0') + key, ""});
    }
    const std::string name = "BLOCK" + std::to_string(count) + ".EXP";
    open_experiment(kUnit, name, records);
    const std::vector<std::string> keys = remaining_keys(kUnit);
    ASSERT_EQ(keys.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(keys.front(), "R00001");
    EXPECT_EQ(keys.back(), records.front().key);
    WRITEXP(kUnit, "R00000", "appended");
    const std::vector<std::string> written = file_records(name);
    ASSERT_EQ(written.size(), static_cast<std::size_t>(count + 1));
    EXPECT_EQ(written.back(), record_text("R00000", "appended"));
    textio::reset_program_state();
  }
}

// The record that does not fit: a full slot takes one more, appended after the last record.
TEST_F(StoreTest, FullSlotTakesTheRecordThatDoesNotFit) {
  std::vector<ExperimentRecord> records;
  for (int n = 1; n <= expfile::kSlotCapacity; ++n)
    records.push_back({"K" + std::to_string(n), ""});
  open_experiment(kUnit, "FULL.EXP", records);
  WRITEXP(kUnit, "K0", "one too many");
  const std::vector<std::string> written = file_records("FULL.EXP");
  ASSERT_EQ(written.size(), static_cast<std::size_t>(expfile::kSlotCapacity + 1));
  EXPECT_EQ(written.back(), record_text("K0", "one too many"));
  std::string value(68, ' ');
  ASSERT_EQ(KEYREAD(kUnit, "K", value), 0);
  EXPECT_EQ(value, fit("0", 11) + "one too many" + std::string(45, ' '));
  EXPECT_EQ(remaining_keys(kUnit).size(), static_cast<std::size_t>(expfile::kSlotCapacity));
}

// A file cut short within its last record: that record is indexed with what it holds.
TEST_F(StoreTest, LastRecordCutShortIsIndexedBlankPadded) {
  support::write_file_bytes(directory_ / "CUT.EXP",
                            support::experiment_record("B", "whole") + "A  SHORT");
  textio::open_unit(kUnit, (directory_ / "CUT.EXP").string(),
                    {.status = "OLD", .access = textio::Access::direct, .record_length = 82});
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A  SHORT", "B"}));
  WRITEXP(kUnit, "C", "appended");
  const std::string bytes = file_bytes("CUT.EXP");
  ASSERT_EQ(bytes.size(), 3u * 82);
  EXPECT_EQ(bytes.substr(82, 8), "A  SHORT");
  EXPECT_EQ(bytes.substr(164), support::experiment_record("C", "appended"));
}

// The start-up reads the file, closes it and opens it again: the index of the first opening is
// taken over only while the file is the one it was built from.
TEST_F(StoreTest, IndexIsKeptForAReopeningOfTheUnchangedFileOnly) {
  const auto reopen = [this](const std::string& name) {
    expfile::KeptIndex index = expfile::close_keeping_index(kUnit);
    textio::open_unit(kUnit, (directory_ / name).string(),
                      {.status = "OLD", .access = textio::Access::direct, .record_length = 82});
    expfile::adopt_index(kUnit, index, textio::unit_file_stamp(kUnit));
    return expfile::ISAMSTARTED(kUnit);
  };
  open_experiment(kUnit, "K.EXP", records_named({"B", "A"}));
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B"}));
  ASSERT_TRUE(reopen("K.EXP"));
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B"}));

  // Another program adds a record between the openings.
  support::write_file_bytes(directory_ / "K.EXP",
                            file_bytes("K.EXP") + support::experiment_record("C", "outside"));
  EXPECT_FALSE(reopen("K.EXP"));
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B", "C"}));

  // A record deleted through the first opening.
  std::string value = "DELETE";
  ASSERT_EQ(KEYREAD(kUnit, "A           ", value), 0);
  EXPECT_FALSE(reopen("K.EXP"));
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"B", "C"}));
}

// The upgrade writes through a temporary copy of the file: the index of the file serves the copy
// while the file is what the index was built from.
TEST_F(StoreTest, IndexServesATemporaryCopyOfTheUnchangedFileOnly) {
  const std::string path = (directory_ / "T.EXP").string();
  const auto reopen_through_copy = [&path] {
    expfile::KeptIndex index = expfile::close_keeping_index(kUnit);
    textio::open_unit(kUnit, path,
                      {.status = "OLD",
                       .access = textio::Access::direct,
                       .record_length = 82,
                       .through_temporary = true});
    expfile::adopt_index(kUnit, index, textio::file_stamp(path));
    return expfile::ISAMSTARTED(kUnit);
  };
  open_experiment(kUnit, "T.EXP", records_named({"B", "A"}));
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B"}));
  ASSERT_TRUE(reopen_through_copy());
  WRITEXP(kUnit, "C", "in the copy");
  ISAMCLOSE(kUnit, "KEEP");
  textio::open_unit(kUnit, path,
                    {.status = "OLD", .access = textio::Access::direct, .record_length = 82});
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B", "C"}));

  // Another program adds a record between the openings.
  support::write_file_bytes(directory_ / "T.EXP",
                            file_bytes("T.EXP") + support::experiment_record("D", "outside"));
  EXPECT_FALSE(reopen_through_copy());
  EXPECT_EQ(remaining_keys(kUnit), (std::vector<std::string>{"A", "B", "C", "D"}));
  ISAMCLOSE(kUnit, "KEEP");
}

}  // namespace
}  // namespace expfile_test
