// Format lists, units, direct-access records, list-directed records and failure reports.
#include "textio/records.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "scratch_directory.hpp"
#include "support/unit_output.hpp"
#include "textio/entry.hpp"
#include "textio/format.hpp"
#include "textio/program_state.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace textio {
namespace {

namespace fs = std::filesystem;

using RecordsTest = ScratchDirectoryTest;

TEST_F(RecordsTest, InternalWritesPadToTheTextWidth) {
  EXPECT_EQ(write_text(12, "(A,I1,A)", "CRS", 1, " "), "CRS1        ");
  EXPECT_EQ(write_text(12, "(A,I1,A)", "CRS", 12, " "), "CRS*        ");
  EXPECT_EQ(write_text(5, "(I1,A)", 2, "FDF"), "2FDF ");
  EXPECT_EQ(write_text(60, "(3f10.5,3f10.4)", 5.4307f, 5.4307f, 5.4307f, 90.0f, 90.0f, 90.0f),
            "   5.43070   5.43070   5.43070   90.0000   90.0000   90.0000");
  EXPECT_EQ(write_text(12, "(3i4)", 48, 48, 48), "  48  48  48");
  EXPECT_EQ(write_text(7, "(1P,G7.0)", 100.0f), " 1.E+02");
  EXPECT_EQ(write_text(20, "(2X,'ab''c',3HxyZ,1X,A)", "q"), "  ab'cxyZ q         ");
  EXPECT_EQ(write_text(9, "(2(I2,1X))", 1, 2), " 1  2    ");
  std::string too_short(3, ' ');
  EXPECT_EQ(try_write_text_items(too_short, "(I4)", detail::out_items(1)), kErrOffEndOfRecord);
}

TEST_F(RecordsTest, InternalReadsFollowTheInputRules) {
  float a = -1, b = -1, c = -1;
  read_text("5.43      5.43      5.43", "(3F10.0)", a, b, c);
  EXPECT_EQ(a, 5.43f);
  EXPECT_EQ(b, 5.43f);
  EXPECT_EQ(c, 5.43f);
  int i = -1, j = -1, k = -1;
  read_text("  10  20  30", "(3i4)", i, j, k);
  EXPECT_EQ((std::array<int, 3>{i, j, k}), (std::array<int, 3>{10, 20, 30}));
  read_text("", "(3i4)", i, j, k);
  EXPECT_EQ((std::array<int, 3>{i, j, k}), (std::array<int, 3>{0, 0, 0}));
  int phase = -1;
  read_text("           3", "(11X,I2)", phase);
  EXPECT_EQ(phase, 3);
  read_text("            3", "(11X,I2)", phase);
  EXPECT_EQ(phase, 3);
  read_text("1,2,3", "(3I5)", i, j, k);  // commas end numeric fields early
  EXPECT_EQ((std::array<int, 3>{i, j, k}), (std::array<int, 3>{1, 2, 3}));
  int length = -1;
  read_text("      8193", "(I10)", length);
  EXPECT_EQ(length, 8193);
  std::string word(4, '?');
  read_text("AB", "(A)", word);
  EXPECT_EQ(word, "AB  ");
}

TEST_F(RecordsTest, ReversionReusesTheLastTopLevelGroup) {
  ASSERT_EQ(try_open_unit(20, "rev.txt"), 0);
  write_record(20, "('head',/,2(I2),(1X,I1))", 1, 2, 3, 4, 5);
  write_record(20, "(I2)", 7, 8);
  write_record(20, "(I2,:,' tail')", 9);
  write_record(20, "(A,$)", "open");
  write_record(20, "(A)", " line");
  close_unit(20);
  EXPECT_EQ(file_bytes("rev.txt"), "head\r\n 1 2 3\r\n 4\r\n 5\r\n 7\r\n 8\r\n 9\r\nopen line\r\n");
}

TEST_F(RecordsTest, MalformedFormatsGiveStatus100) {
  for (const char* format : {"(I4", "I4)", "(Q4)", "(F10)", "(I)", "('abc)", "(5H ab)", "((I2)",
                             "(0I2)", "(3)", "(-2X)", "('text')"}) {
    int value = 1;
    std::string text(10, ' ');
    if (std::string(format) == "('text')") {
      // A list without data edits cannot take an item.
      EXPECT_EQ(try_write_text_items(text, format, detail::out_items(value)), kErrFormat);
    } else {
      EXPECT_EQ(try_write_text_items(text, format, detail::out_items(value)), kErrFormat) << format;
      EXPECT_EQ(try_read_text("12", format, value), kErrFormat) << format;
    }
  }
}

TEST_F(RecordsTest, GroupsNestedBeyondAHundredLevelsGiveStatus100) {
  auto nested = [](std::size_t levels) {
    return "(" + std::string(levels, '(') + "I2" + std::string(levels, ')') + ")";
  };
  std::string text(2, ' ');
  EXPECT_EQ(try_write_text_items(text, nested(100), detail::out_items(12)), kOk);
  EXPECT_EQ(text, "12");
  for (std::size_t levels : {std::size_t{101}, std::size_t{1000000}}) {
    EXPECT_EQ(try_write_text_items(text, nested(levels), detail::out_items(12)), kErrFormat);
  }
}

TEST_F(RecordsTest, ReversionIntoAGroupWithoutDataEditsGivesStatus100) {
  // Items left over at the end of the list could never be taken by the part used again.
  for (const char* format : {"(I5,(1X))", "(I2,(:))", "(I2,2('x',1X))", "(I1,(1X),'t')"}) {
    std::string text(20, ' ');
    EXPECT_EQ(try_write_text_items(text, format, detail::out_items(1, 2)), kErrFormat) << format;
    int first = 0, second = 0;
    EXPECT_EQ(try_read_text("12345678", format, first, second), kErrFormat) << format;
    ASSERT_EQ(try_open_unit(23, "reversion.txt"), 0);
    EXPECT_EQ(try_write_record(23, format, 1, 2), kErrFormat) << format;
    close_unit(23);
    EXPECT_EQ(file_bytes("reversion.txt"), "") << format;
  }
}

TEST_F(RecordsTest, RepeatsThatWouldRunForHoursEndAtOnce) {
  // Nested repeat counts of a million each: skips off any record of a megabyte give 110 (reading
  // or writing, internal or external); control edits alone, or a million new records, give 100.
  const struct {
    const char* format;
    int status;
  } cases[] = {{"(1000000(1000000X),I2)", kErrOffEndOfRecord},
               {"(1000000(1000000(1000000X)),I2)", kErrOffEndOfRecord},
               {"(1000000(1000000('ab')),I2)", kErrOffEndOfRecord},
               {"(1000000(1000000(1P)),I2)", kErrFormat},
               {"(1000000(1000000(:)),I2)", kErrFormat}};
  int value = 1;
  ASSERT_EQ(try_open_unit(23, "records.txt"), 0);
  EXPECT_EQ(try_write_record(23, "(1000000(1000000/),I2)", value), kErrFormat);
  // Close to a million records is still a long list, not a runaway one.
  EXPECT_EQ(try_write_record(23, "(1000(999(/)),I2)", value), kOk);
  close_unit(23);
  for (const auto& c : cases) {
    std::string text(20, ' ');
    EXPECT_EQ(try_write_text_items(text, c.format, detail::out_items(value)), c.status) << c.format;
    EXPECT_EQ(try_read_text("12", c.format, value), c.status) << c.format;
    ASSERT_EQ(try_open_unit(23, "repeats.txt"), 0);
    EXPECT_EQ(try_write_record(23, c.format, value), c.status) << c.format;
    close_unit(23);
  }
}

TEST_F(RecordsTest, ADescriptorOfTheWrongTypeGivesStatus117) {
  int integer = 7;
  float single = 7;
  double real = 7;
  std::string text(4, '?');
  struct Case {
    const char* format;
    std::vector<InItem> items;
  } cases[] = {
      {"(A)", detail::in_items(integer)}, {"(A)", detail::in_items(single)},
      {"(A)", detail::in_items(real)},    {"(A4)", detail::in_items(integer)},
      {"(I4)", detail::in_items(text)},   {"(F4.0)", detail::in_items(integer)},
      {"(E8.2)", detail::in_items(text)}, {"(2X,A)", detail::in_items(real)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(try_read_text_items("12345678", c.format, c.items), kErrBadVariableType) << c.format;
  }
  EXPECT_EQ(integer, 7);
  EXPECT_EQ(single, 7.0f);
  EXPECT_EQ(real, 7.0);
  EXPECT_EQ(text, "????");
}

TEST_F(RecordsTest, FieldsThatCannotBeReadIntoTheirItemGiveStatus115) {
  int integer = 7;
  float single = 7;
  struct Case {
    const char* format;
    const char* record;
    std::vector<InItem> items;
  } cases[] = {
      {"(I12)", "  2147483648", detail::in_items(integer)},
      {"(I12)", " -2147483649", detail::in_items(integer)},
      {"(2I20)", "1,999999999999", detail::in_items(integer, integer)},
      {"(F5.2)", "1.5E+", detail::in_items(single)},
      {"(F10.3)", "1.5+", detail::in_items(single)},
      {"(E10.3)", "  1.5E", detail::in_items(single)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(try_read_text_items(c.record, c.format, c.items), kErrUnexpectedCharacter)
        << c.format << " of " << c.record;
  }
  read_text(" -2147483648", "(I12)", integer);
  EXPECT_EQ(integer, -2147483647 - 1);
}

TEST_F(RecordsTest, FormatsBuiltAtRunTimeKeepTheCacheBoundedAndCanBeForgotten) {
  std::shared_ptr<const ParsedFormat> held = parsed_format("(I3)");
  for (std::size_t skip = 0; skip < 3 * kFormatCacheLimit; ++skip) {
    std::string format = "(" + std::to_string(skip + 1) + "X,I1)";
    std::string text = write_text(skip + 2, format, 7);
    EXPECT_EQ(text, std::string(skip + 1, ' ') + "7") << format;
    EXPECT_LE(cached_format_count(), kFormatCacheLimit) << format;
  }
  ASSERT_EQ(held->tokens.size(), 1u);
  EXPECT_EQ(held->tokens[0].width, 3);
  EXPECT_EQ(write_text(3, "(I3)", 5), "  5");

  reset_program_state();
  EXPECT_EQ(cached_format_count(), 0u);
  EXPECT_EQ(held->tokens[0].width, 3);
  EXPECT_EQ(write_text(3, "(I3)", 5), "  5");
  EXPECT_EQ(cached_format_count(), 1u);
}

TEST_F(RecordsTest, ALetterInAnIntegerFieldIsAnError) {
  int value = 0;
  EXPECT_EQ(try_read_text("  X1", "(I4)", value), kErrUnexpectedCharacter);
  try {
    read_text("  X1", "(I4)", value);
    FAIL() << "no failure raised";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report,
              "read: read unexpected character\n"
              "apparent state: internal I/O\n"
              "last format: (I4)\n"
              "lately reading sequential formatted internal IO\n");
  }
}

// Worker threads write the grid through write_whole_records: its failure is reported from its own
// transfer, and it leaves alone the latest transfer that raise_io_failure(status) reports.
TEST_F(RecordsTest, WholeRecordsKeepTheirTransferToThemselves) {
  open_unit(24, "d.bin", {.access = Access::direct, .record_length = 4});
  int value = 0;
  const int status = try_read_text("  X1", "(I4)", value);
  ASSERT_EQ(status, kErrUnexpectedCharacter);
  try {
    write_whole_records(24, "1.5\r\n");
    FAIL() << "no failure raised";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report,
              "write: direct io not allowed\n"
              "apparent state: unit 24 named d.bin\n"
              "lately writing sequential formatted external IO\n");
  }
  try {
    raise_io_failure(status);
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report,
              "read: read unexpected character\n"
              "apparent state: internal I/O\n"
              "last format: (I4)\n"
              "lately reading sequential formatted internal IO\n");
  }
}

TEST_F(RecordsTest, ReadingPastTheEndOfANamedFileRaisesTheReport) {
  put_file("one.txt", "first line\n");
  open_unit(12, "one.txt", {.status = "OLD"});
  std::string line(10, ' ');
  read_record(12, "(A)", line);
  EXPECT_EQ(line, "first line");
  EXPECT_EQ(try_read_record(12, "(A)", line), kEndOfFile);
  try {
    read_record(12, "(A)", line);
    FAIL() << "no failure raised";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report,
              "read: end of file\n"
              "apparent state: unit 12 named one.txt\n"
              "last format: (A)\n"
              "lately reading sequential formatted external IO\n");
  }
}

TEST_F(RecordsTest, ReadersAcceptLfAndCrLf) {
  put_file("mixed.txt", "a\r\nb\nc");
  open_unit(13, "mixed.txt", {.status = "OLD"});
  std::string line(3, ' ');
  for (const char* expected : {"a  ", "b  ", "c  "}) {
    read_record(13, "(A)", line);
    EXPECT_EQ(line, expected);
  }
  EXPECT_EQ(try_read_record(13, "(A)", line), kEndOfFile);
}

TEST_F(RecordsTest, OpenStatusesAndInquiries) {
  EXPECT_EQ(try_open_unit(14, "missing.txt", {.status = "OLD"}), ENOENT);
  EXPECT_FALSE(unit_connected(14));
  put_file("there.txt", "x\n");
  EXPECT_EQ(try_open_unit(14, "there.txt", {.status = "NEW"}), kErrNewFileExists);
  EXPECT_EQ(try_open_unit(14, "there.txt", {.status = "old"}), 0);
  EXPECT_TRUE(unit_connected(14));
  EXPECT_FALSE(unit_is_direct(14));
  EXPECT_EQ(unit_file_name(14), "there.txt");
  EXPECT_EQ(try_open_unit(100, "x"), kErrIllegalUnit);
  EXPECT_EQ(try_open_unit(15, "   "), kErrNullFileName);
  EXPECT_EQ(try_open_unit(15, "d.bin", {.access = Access::direct, .record_length = 0}), EINVAL);
  EXPECT_TRUE(file_exists("there.txt"));
  EXPECT_FALSE(file_exists("nothing.txt"));
  close_unit(14, Disposition::remove);
  EXPECT_FALSE(file_exists("there.txt"));
}

TEST_F(RecordsTest, NewUnitSkipsConnectedUnits) {
  int unit = 0;
  NEWUNT(unit);
  EXPECT_EQ(unit, 11);
  open_unit(11, "a.txt");
  open_unit(12, "b.txt");
  unit = 5;
  NEWUNT(unit);
  EXPECT_EQ(unit, 13);
  unit = 91;
  NEWUNT(unit);
  EXPECT_EQ(unit, 13);
  unit = 40;
  NEWUNT(unit);
  EXPECT_EQ(unit, 40);
}

TEST_F(RecordsTest, AUnitUsedWithoutOpenWritesToFort) {
  write_record(21, "(A)", "hello");
  close_unit(21);
  EXPECT_EQ(file_bytes("fort.21"), "hello\r\n");
}

TEST_F(RecordsTest, RewritingAFileReplacesItWhole) {
  put_file("grid.txt", "a much longer old content\r\nwith two lines\r\n");
  open_unit(16, "grid.txt", {.status = "unknown"});
  write_record(16, "(A)", "new");
  close_unit(16);
  EXPECT_EQ(file_bytes("grid.txt"), "new\r\n");
  open_unit(16, "grid.txt", {.append = true});
  write_record(16, "(A)", "more");
  close_unit(16);
  EXPECT_EQ(file_bytes("grid.txt"), "new\r\nmore\r\n");
}

// Small pieces are gathered and large ones go to the file as they stand: on both sides of each
// threshold, mixed with records, everything lands in the order it was written.
TEST_F(RecordsTest, PiecesOfEverySizeLandInTheOrderWritten) {
  open_unit(16, "pieces.txt", {.status = "unknown"});
  std::string expected;
  char letter = 'a';
  for (const std::size_t size : {10, 4094, 4095, 4096, 5000, 12, 65534, 65535, 65536, 70000, 3}) {
    const std::string piece = std::string(size - 2, letter++) + "\r\n";
    write_whole_records(16, piece);
    write_record(16, "(A)", "record");
    expected += piece + "record\r\n";
  }
  close_unit(16);
  EXPECT_EQ(file_bytes("pieces.txt"), expected);
}

TEST_F(RecordsTest, AFailedWriteRaisesTheReportNamingTheFile) {
  open_unit(22, "/dev/full");
  try {
    for (int i = 0; i < 100000; ++i) support::write_list_real(22, 1.5f);
    close_unit(22);
    FAIL() << "no failure raised";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report,
              "write: No space left on device\n"
              "apparent state: unit 22 named /dev/full\n"
              "lately writing sequential formatted external IO\n");
  }
  reset_program_state();
  open_unit(22, "/dev/full");
  write_record(22, "(A)", "short");
  EXPECT_EQ(try_close_unit(22), ENOSPC);
  try {
    open_unit(22, "/dev/full");
    write_record(22, "(A)", "short");
    close_unit(22);
    FAIL() << "no failure raised";
  } catch (const IoFailure& failure) {
    EXPECT_EQ(failure.report.substr(0, failure.report.find('\n', 7) + 1),
              "close: No space left on device\n");
    EXPECT_NE(failure.report.find("apparent state: unit 22 named /dev/full\n"), std::string::npos);
  }
}

TEST_F(RecordsTest, DirectAccessRecordsHoldExactlyTheirBytes) {
  open_unit(17, "exp.bin", {.access = Access::direct, .record_length = 82});
  std::string crlf = "\r\n";
  write_direct(17, 2, "(A80,A2)", fit("     VERSION   6", 80), crlf);
  write_direct(17, 1, "(A,A2)", fit("ZZZZZZZZZZZZ", 80), crlf);
  write_direct(17, 3, "(A)", "short");
  std::string record(80, ' '), ending(2, ' ');
  read_direct(17, 2, "(A80,A2)", record, ending);
  EXPECT_EQ(record, fit("     VERSION   6", 80));
  EXPECT_EQ(ending, "\r\n");
  EXPECT_EQ(try_read_direct(17, 4, "(A)", record), kEndOfFile);
  EXPECT_EQ(try_read_direct(17, 0, "(A)", record), kErrNonPositiveRecord);
  close_unit(17);
  std::string expected =
      fit("ZZZZZZZZZZZZ", 80) + crlf + fit("     VERSION   6", 80) + crlf + fit("short", 82);
  EXPECT_EQ(file_bytes("exp.bin"), expected);
}

TEST_F(RecordsTest, UnformattedDirectRecords) {
  open_unit(18, "map.bin",
            {.access = Access::direct, .form = Form::unformatted, .record_length = 8});
  std::array<std::byte, 8> out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::byte>(i + 1);
  support::write_direct_bytes(18, 2, out);
  std::array<std::byte, 4> in{};
  read_direct_bytes(18, 2, in);
  EXPECT_EQ(in[3], std::byte{4});
  std::array<std::byte, 9> too_long{};
  EXPECT_EQ(try_read_direct_bytes(18, 2, too_long), kErrOffEndOfRecord);
  EXPECT_EQ(try_read_direct_bytes(18, 3, in), kEndOfFile);
  close_unit(18);
  EXPECT_EQ(fs::file_size("map.bin"), 16u);
}

TEST_F(RecordsTest, ListDirectedRecordsBreakBefore80Columns) {
  open_unit(19, "list.txt");
  write_list(19, "Writing file: ", fit("ALPHA.grd", 50));
  write_list(19, std::string(85, 'x'));
  write_list(19, std::string(70, 'a'), "bcdefghijk");
  write_list(19, 1, -2, 0.5f, "t");
  support::write_list_real(19, 0.1f);
  close_unit(19);
  EXPECT_EQ(file_bytes("list.txt"), " Writing file: " + fit("ALPHA.grd", 50) + "\r\n " +
                                        std::string(85, 'x') + "\r\n " + std::string(70, 'a') +
                                        "\r\n bcdefghijk\r\n 1 -2  0.5t\r\n  0.100000001\r\n");
}

TEST_F(RecordsTest, ConsoleLinesEndWithLineFeed) {
  std::FILE* out = std::tmpfile();
  set_console_streams(nullptr, out, nullptr);
  write_record(kConsoleOutput, "(A)", " A FOBS file has been opened");
  write_list(kConsoleOutput, "No Fourier Phase was found. Has a Map been computed?");
  flush_unit(kConsoleOutput);
  std::rewind(out);
  char buffer[200] = {};
  std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
  EXPECT_EQ(
      std::string(buffer, n),
      " A FOBS file has been opened\n No Fourier Phase was found. Has a Map been computed?\n");
  reset_program_state();
  std::fclose(out);
}

// The system's error numbers above 99 (a full quota, a stale handle, a timeout) keep their own
// texts; the record layer's statuses show as 100..132 in reports.
TEST(StatusMessages, CoverTheTableAndNeverMeetTheSystemsNumbers) {
  struct Case {
    int status;
    const char* message;
    int reported;
  };
  for (const Case& c : {Case{-1, "end of file", -1}, Case{own_status(100), "error in format", 100},
                        Case{kErrNewFileExists, "'new' file exists", 128},
                        Case{own_status(132), "Temporary file name (TMPDIR?) too long", 132},
                        Case{own_status(133), "illegal error number 133", 133},
                        Case{ENOENT, "No such file or directory", ENOENT}}) {
    EXPECT_EQ(status_message(c.status), c.message) << c.status;
    EXPECT_EQ(reported_number(c.status), c.reported) << c.status;
  }
#ifndef _WIN32
  EXPECT_EQ(status_message(EDQUOT), "Disk quota exceeded");
  EXPECT_EQ(status_message(ESTALE), "Stale file handle");
  EXPECT_EQ(status_message(ETIMEDOUT), "Connection timed out");
  EXPECT_EQ(reported_number(EDQUOT), EDQUOT);
#endif
}

void read_a_letter(int, char**) {
  int value;
  read_text("abc", "(I3)", value);
}

int run_wrapped(void (*body)(int, char**)) {
  char name[] = "/some/where/prog";
  char* argv[] = {name, nullptr};
  return run_program(1, argv, body);
}

// Where the bodies below send the console output: a run starts from the standard streams.
std::FILE* run_console = nullptr;

// Leaves a line in the console buffer and a record in a file unit, then ends as `End` says.
template <typename End>
void write_then(int, char**) {
  set_console_streams(nullptr, run_console, nullptr);
  write_record(kConsoleOutput, "(A)", " before");
  open_unit(30, "kept.txt");
  write_record(30, "(A)", "record");
  End::end();
}

struct Return {
  static void end() {}
};
struct StopNoMap {
  static void end() { stop_run("no map"); }
};
struct StopWithoutText {
  static void end() { stop_run(""); }
};
struct StopAtTheNormalEnd {
  static void end() { stop_run("", kExitCompleted); }
};
struct OutOfMemory {
  static void end() { throw std::bad_alloc(); }
};
struct Broken {
  static void end() { throw std::runtime_error("broken"); }
};
struct OutOfRange {
  static void end() { [[maybe_unused]] int element = std::vector<int>(1).at(5); }
};
struct NotAnError {
  static void end() { throw 42; }
};

struct EndCase {
  const char* name;
  void (*body)(int, char**);
  int exit_status;
  std::string error_start;  // the start of the error stream
};

TEST_F(RecordsTest, EveryEndOfARunClosesTheUnitsAndGivesItsStatus) {
  const std::string unexpected = "prog: run ended by an unexpected error: ";
  const EndCase cases[] = {
      {"normal end", write_then<Return>, 0, ""},
      {"normal end by a stop", write_then<StopAtTheNormalEnd>, 0, ""},
      {"stop with a text", write_then<StopNoMap>, 1, "STOP no map statement executed\n"},
      {"stop after a report", write_then<StopWithoutText>, 1, ""},
      {"out of memory", write_then<OutOfMemory>, 2, unexpected + "std::bad_alloc\n"},
      {"other exception", write_then<Broken>, 2, unexpected + "broken\n"},
      {"out of range", write_then<OutOfRange>, 2, unexpected},
      {"not an exception", write_then<NotAnError>, 2, unexpected + "unknown exception\n"},
  };
  for (const EndCase& c : cases) {
    reset_program_state();
    std::FILE* console = std::tmpfile();
    run_console = console;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run_wrapped(c.body), c.exit_status) << c.name;
    std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.substr(0, c.error_start.size()), c.error_start) << c.name;
    EXPECT_LE(std::count(error.begin(), error.end(), '\n'), 1) << c.name;
    std::rewind(console);
    char buffer[32] = {};
    std::size_t length = std::fread(buffer, 1, sizeof buffer - 1, console);
    EXPECT_EQ(std::string(buffer, length), " before\n") << c.name;
    EXPECT_FALSE(unit_connected(30)) << c.name;
    EXPECT_EQ(file_bytes("kept.txt"), "record\r\n") << c.name;
    reset_program_state();
    std::fclose(console);
  }
}

// What a run finds of the one before it in the same process.
struct LeftOver {
  bool unit_connected = true;
  std::size_t cached_formats = 1;
  std::string first_argument;
};
LeftOver left_over;

void look_at_start(int, char**) {
  left_over = {unit_connected(31), cached_format_count(), argument(0)};
}

TEST_F(RecordsTest, ARunStartsFromTheStartStateOfTheProgram) {
  open_unit(31, "left_open.txt");
  write_record(31, "(A)", "left");
  EXPECT_EQ(write_text(3, "(I3)", 5), "  5");
  EXPECT_EQ(run_wrapped(look_at_start), 0);
  EXPECT_FALSE(left_over.unit_connected);
  EXPECT_EQ(left_over.cached_formats, 0u);
  EXPECT_EQ(left_over.first_argument, "/some/where/prog");
  EXPECT_EQ(file_bytes("left_open.txt"), "left\r\n");
}

void stop_with_text(int, char**) {
  stop_run("no map");
}

TEST(EntryWrapper, StopTextGoesToStandardErrorWithExitOne) {
  EXPECT_EXIT(std::exit(run_wrapped(stop_with_text)), ::testing::ExitedWithCode(1),
              "^STOP no map statement executed\n$");
}

TEST(EntryWrapper, UnguardedFailureAbortsWithTheReport) {
  EXPECT_DEATH(run_wrapped(read_a_letter),
               "read: read unexpected character\napparent state: internal I/O\nlast format: "
               "\\(I3\\)\nlately reading sequential formatted internal IO\n");
}

// The terminal lines are the run's account of its result: a run that could not write them
// does not report success, and a run that failed anyway keeps its own status.
TEST_F(RecordsTest, ALostTerminalOutputIsNoSuccess) {
  struct Case {
    const char* name;
    void (*body)(int, char**);
    int exit_status;
    std::string error;
  };
  const std::string lost =
      "prog: the terminal output could not be written: No space left on device\n";
  const Case cases[] = {
      {"normal end", write_then<Return>, 1, lost},
      {"normal end by a stop", write_then<StopAtTheNormalEnd>, 1, lost},
      {"stop with a text", write_then<StopNoMap>, 1, "STOP no map statement executed\n"},
  };
  for (const Case& c : cases) {
    reset_program_state();
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    run_console = full;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run_wrapped(c.body), c.exit_status) << c.name;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.error) << c.name;
    reset_program_state();
    std::fclose(full);
  }
}

}  // namespace
}  // namespace textio
