// The test support is what every end-to-end test stands on; these check the parts where a slip
// would go unnoticed: the record split of map sections, the byte order, and the program runner.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace support_test {
namespace {

constexpr std::size_t kWord = 4;

std::int32_t integer_at(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t b = 0; b < kWord; ++b) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + b)))
             << (8 * b);
  }
  return static_cast<std::int32_t>(value);
}

float real_at(const std::string& bytes, std::size_t offset) {
  const std::int32_t bits = integer_at(bytes, offset);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// One section of `count` values 1, 2, 3, ... in a map of record length 8193 words.
support::MapFile one_section_map(int count) {
  support::MapFile map;
  map.block_steps = {count, 1, 1};
  map.grid_divisions = {count, 1, 1};
  map.section_trailer = {-7, -8};
  for (int n = 1; n <= count; ++n) map.values.push_back(static_cast<float>(n));
  return map;
}

TEST(MapFileWriterTest, SectionOf8191ValuesFillsOneRecordWithItsTrailer) {
  const std::string bytes = support::map_file_bytes(one_section_map(8191));
  const std::size_t record = 8193 * kWord;
  ASSERT_EQ(bytes.size(), 3 * record);
  EXPECT_EQ(real_at(bytes, 2 * record), 1.0f);
  EXPECT_EQ(real_at(bytes, 2 * record + 8190 * kWord), 8191.0f);
  EXPECT_EQ(integer_at(bytes, 2 * record + 8191 * kWord), -7);
  EXPECT_EQ(integer_at(bytes, 2 * record + 8192 * kWord), -8);
}

TEST(MapFileWriterTest, SectionOf8192ValuesTakesTwoRecords) {
  const std::string bytes = support::map_file_bytes(one_section_map(8192));
  const std::size_t record = 8193 * kWord;
  ASSERT_EQ(bytes.size(), 4 * record);
  EXPECT_EQ(real_at(bytes, 2 * record + 8190 * kWord), 8191.0f);
  EXPECT_EQ(integer_at(bytes, 2 * record + 8191 * kWord), 0);  // no trailer in a full record
  EXPECT_EQ(real_at(bytes, 3 * record), 8192.0f);
  EXPECT_EQ(integer_at(bytes, 3 * record + kWord), -7);
  EXPECT_EQ(integer_at(bytes, 3 * record + 2 * kWord), -8);
}

TEST(MapFileWriterTest, HeadersAreLittleEndianAtTheirOffsets) {
  support::MapFile map;
  map.phase_name = "Silicon";
  map.map_type = "DELF";
  map.header1_integer = 0x01020304;
  map.grid_divisions = {2, 3, 4};
  map.block_start = {-1, 0, 1};
  map.block_steps = {2, 2, 3};
  map.rotation_count = 2;
  map.section_size = 5;
  map.density_maximum = 2.5f;
  map.density_minimum = -1.0f;
  map.record_words = 40;
  map.values.assign(15, 0.5f);
  const std::string bytes = support::map_file_bytes(map);
  const std::size_t record = 40 * kWord;
  ASSERT_EQ(bytes.size(), 5 * record);  // two headers, three one-record sections
  EXPECT_EQ(bytes.substr(0, 66), "Silicon" + std::string(59, ' '));
  EXPECT_EQ(bytes.substr(132, 4), "DELF");
  EXPECT_EQ(bytes.substr(136, 4), std::string("\x04\x03\x02\x01", 4));
  const std::int32_t expected[] = {2, 3, 4, -1, 0, 1, 2, 2, 3, 2, 5};
  for (std::size_t n = 0; n < std::size(expected); ++n) {
    EXPECT_EQ(integer_at(bytes, record + n * kWord), expected[n]) << "field " << n;
  }
  EXPECT_EQ(real_at(bytes, record + 44), 2.5f);
  EXPECT_EQ(real_at(bytes, record + 48), -1.0f);
  EXPECT_EQ(real_at(bytes, 4 * record + 4 * kWord), 0.5f);
}

TEST(MapFileWriterTest, RefusesValuesThatDoNotFillTheSections) {
  support::MapFile map = one_section_map(4);
  map.values.pop_back();
  EXPECT_THROW(support::map_file_bytes(map), std::invalid_argument);
  map = one_section_map(8191);
  map.record_words = 8192;
  EXPECT_THROW(support::map_file_bytes(map), std::invalid_argument);
}

TEST(ExperimentFileWriterTest, RecordsAreEightyTwoBytesEndingInCrLf) {
  const std::string bytes =
      support::experiment_file_bytes({{"      DESCR ", "  Title"}, support::deleted_record()});
  ASSERT_EQ(bytes.size(), 164u);
  EXPECT_EQ(bytes.substr(0, 19), "      DESCR   Title");
  EXPECT_EQ(bytes.substr(80, 2), "\r\n");
  EXPECT_EQ(bytes.substr(82, 80), std::string(12, '~') + std::string(68, ' '));
  EXPECT_EQ(support::experiment_records(bytes).at(1), bytes.substr(82, 80));
  EXPECT_THROW(support::experiment_record("THIRTEEN CHAR", ""), std::invalid_argument);
  EXPECT_THROW(support::experiment_records(bytes.substr(1)), std::invalid_argument);
}

TEST(RunProgramTest, PassesInputArgumentsAndEnvironmentAndCollectsOutputs) {
  support::RunRequest request;
  request.arguments = {"-c",
                       "cat; printf '%s|%s' \"$1\" \"$GREETING\" >&2; cp given.txt copy.txt; "
                       "mkdir sub; printf x > sub/made.txt; exit 3",
                       "sh", "two words"};
  request.environment = {{"GREETING", "hello there"}};
  request.standard_input = "typed\nlines\n";
  request.files = {{"given.txt", std::string("a\0b", 3)}};
  const support::RunResult result = support::run_built_program("/bin/sh", request);
  EXPECT_FALSE(result.signalled);
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.standard_output, "typed\nlines\n");
  EXPECT_EQ(result.standard_error, "two words|hello there");
  const std::map<std::string, std::string> files = {{"copy.txt", std::string("a\0b", 3)},
                                                    {"given.txt", std::string("a\0b", 3)},
                                                    {"sub/made.txt", "x"}};
  EXPECT_EQ(result.files, files);
}

TEST(RunProgramTest, ReportsASignalAndAProgramThatCannotStart) {
  support::RunRequest request;
  request.arguments = {"-c", "kill -ABRT $$"};
  const support::RunResult result = support::run_built_program("/bin/sh", request);
  EXPECT_TRUE(result.signalled);
  EXPECT_EQ(result.signal, SIGABRT);
  EXPECT_THROW(support::run_built_program("/nonexistent/program", {}), std::system_error);
}

// Each run waits for the file the other makes: run one after the other, the first would never
// end.
TEST(RunTogetherTest, RunsShareTheDirectoryAndRunAtOnce) {
  const support::TempDirectory directory;
  std::vector<support::SharedRun> runs(2);
  for (auto& run : runs) {
    run.program = "/bin/sh";
    run.request.time_limit = std::chrono::seconds(20);
  }
  runs[0].request.arguments = {"-c", "cat; until [ -e b ]; do sleep 0.01; done; printf A > a"};
  runs[0].request.standard_input = "first";
  runs[1].request.arguments = {"-c", "cat; printf B > b; until [ -e a ]; do sleep 0.01; done"};
  runs[1].request.standard_input = "second";
  runs[1].delay = std::chrono::milliseconds(20);
  const std::vector<support::RunResult> results = support::run_together(directory.path(), runs);
  ASSERT_EQ(results.size(), 2u);
  for (const support::RunResult& result : results) {
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_status, 0);
  }
  EXPECT_EQ(results[0].standard_output, "first");
  EXPECT_EQ(results[1].standard_output, "second");
  EXPECT_EQ(support::files_in(directory.path()),
            (std::map<std::string, std::string>{{"a", "A"}, {"b", "B"}}));
}

TEST(RunTogetherTest, ProgramThatCannotStartThrowsOnceTheOthersHaveEnded) {
  const support::TempDirectory directory;
  std::vector<support::SharedRun> runs(2);
  runs[0].program = "/bin/sh";
  runs[0].request.arguments = {"-c", "printf x > ran"};
  runs[1].program = "/nonexistent/program";
  EXPECT_THROW(support::run_together(directory.path(), runs), std::system_error);
  EXPECT_EQ(support::files_in(directory.path()),
            (std::map<std::string, std::string>{{"ran", "x"}}));
}

}  // namespace
}  // namespace support_test
