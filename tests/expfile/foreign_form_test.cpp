#include "expfile/foreign_form.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "expfile/experiment_path.hpp"
#include "expfile/file_rename.hpp"
#include "store_fixture.hpp"
#include "support/files.hpp"
#include "textio/text.hpp"

namespace expfile_test {
namespace {

using textio::fit;

// `count` lines of 80 characters, each different and ended by `line_end`.
std::string text_lines(int count, const std::string& line_end) {
  std::string text;
  for (int n = 1; n <= count; ++n) {
    text += fit("KEY" + std::to_string(n) + "       value of line " + std::to_string(n), 80);
    text += line_end;
  }
  return text;
}

// The same bytes cut into 80-byte records.
std::vector<std::string> cut_into_records(const std::string& bytes) {
  std::vector<std::string> records;
  for (std::size_t start = 0; start < bytes.size(); start += 80) {
    records.push_back(bytes.substr(start, 80));
  }
  return records;
}

// The 80-byte form: records with no line ends.
std::string fixed_records(int count) {
  std::string bytes;
  for (int n = 1; n <= count; ++n) bytes += fit("REC" + std::to_string(n) + " fixed", 80);
  return bytes;
}

struct ConvertCase {
  std::string label;
  std::string source;
  bool fixed_form;
  std::vector<std::string> records;  // the 80 characters of each converted record
};

std::vector<ConvertCase> convert_cases() {
  return {
      {"FiftyFixedRecords", fixed_records(50), true, cut_into_records(fixed_records(50))},
      {"ThirtyTextLines", text_lines(30, "\n"), false, cut_into_records(text_lines(30, ""))},
      // 80 lines of 80 characters and a line feed: 6480 bytes, a multiple of 80.
      {"TextWhoseSizeIsAMultipleOf80", text_lines(80, "\n"), true,
       cut_into_records(text_lines(80, "\n"))},
      {"EmptyFile", "", true, {}},
      {"ShortAndLongLinesWithCarriageReturns",
       "ABC\r\n" + std::string(100, 'x') + "\n\n",
       false,
       {fit("ABC", 80), std::string(80, 'x'), fit("", 80)}},
  };
}

class ConvertTest : public StoreTest, public ::testing::WithParamInterface<ConvertCase> {
 protected:
  std::string stem() const { return (directory_ / "ABC").string(); }
};

TEST_P(ConvertTest, WritesEachRecordWithItsLineEnd) {
  const ConvertCase& c = GetParam();
  support::write_file_bytes(directory_ / "ABC.EXP", c.source);
  int status = -5;
  expfile::CONVERT(stem() + "IGNORED", static_cast<int>(stem().size()), status);

  EXPECT_EQ(status, 0);
  const std::string converted = file_bytes("ABC.EXP");
  EXPECT_EQ(converted.size(), c.records.size() * 82);
  EXPECT_EQ(file_records("ABC.EXP"), c.records);
  EXPECT_EQ(file_bytes("ABC.CRP"), c.source);
  const std::string form = c.fixed_form ? " File is apparently unix direct access format\n"
                                        : " File is apparently sequential access format\n";
  EXPECT_EQ(console_text(), "\n File " + stem() + ".EXP Renamed to " + stem() + ".CRP\n\n" + form +
                                " conversion to DOS direct access attempted\n" +
                                " Conversion complete\n");
}

INSTANTIATE_TEST_SUITE_P(Forms, ConvertTest, ::testing::ValuesIn(convert_cases()),
                         [](const auto& info) { return info.param.label; });

TEST_F(StoreTest, ConvertOfAMissingFileReturnsTheOpenFailure) {
  const std::string stem = (directory_ / "ABC").string();
  int status = 0;
  expfile::CONVERT(stem, static_cast<int>(stem.size()), status);
  EXPECT_EQ(status, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(directory_ / "ABC.EXP"));
  EXPECT_FALSE(std::filesystem::exists(directory_ / "ABC.CRP"));
}

// An earlier conversion's source stays, and so does the experiment file: the conversion says
// what is there and returns the failure, converting nothing (the stale file would have been).
TEST_F(StoreTest, ConvertNeverReplacesAnEarlierSourceFile) {
  const std::string stem = (directory_ / "ABC").string();
  support::write_file_bytes(directory_ / "ABC.EXP", text_lines(3, "\n"));
  support::write_file_bytes(directory_ / "ABC.CRP", fixed_records(2));
  int status = 0;
  expfile::CONVERT(stem, static_cast<int>(stem.size()), status);
  EXPECT_EQ(status, EEXIST);
  EXPECT_EQ(console_text(), " **** " + stem + ".EXP was not converted and is left as it is: " +
                                stem + ".CRP is there already; move it away and run again ****\n");
  EXPECT_EQ(file_bytes("ABC.EXP"), text_lines(3, "\n"));
  EXPECT_EQ(file_bytes("ABC.CRP"), fixed_records(2));
}

TEST(Hex4, GivesFourUpperCaseDigits) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "0000"}, {255, "00FF"}, {256, "0100"}, {4106, "100A"}, {48879, "BEEF"}, {65535, "FFFF"}};
  for (const auto& [n, digits] : cases) {
    std::string text = "xx";
    expfile::HEX4(text, n);
    EXPECT_EQ(text, digits) << n;
  }
}

TEST_F(StoreTest, RenameMovesAFileToAFreeName) {
  support::write_file_bytes(directory_ / "OLD", "old");
  EXPECT_EQ(expfile::RENAME((directory_ / "OLD").string(), (directory_ / "NEW").string()), 0);
  EXPECT_FALSE(std::filesystem::exists(directory_ / "OLD"));
  EXPECT_EQ(file_bytes("NEW"), "old");
}

TEST_F(StoreTest, RenameNeverReplacesAnExistingFile) {
  support::write_file_bytes(directory_ / "OLD", "old");
  support::write_file_bytes(directory_ / "NEW", "new");
  EXPECT_EQ(expfile::RENAME((directory_ / "OLD").string(), (directory_ / "NEW").string()), EEXIST);
  EXPECT_EQ(file_bytes("OLD"), "old");
  EXPECT_EQ(file_bytes("NEW"), "new");
}

}  // namespace
}  // namespace expfile_test
