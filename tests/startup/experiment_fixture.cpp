#include "experiment_fixture.hpp"

#include "expfile/store.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace startup_test {
namespace {

const char* const kFileName = "EXP.EXP";

}  // namespace

std::string value_with(const std::vector<std::pair<std::size_t, std::string>>& placed) {
  std::string value(68, ' ');
  for (const auto& [column, text] : placed) value.replace(column - 1, text.size(), text);
  return value;
}

void ExperimentTest::SetUp() {
  terminal_ = std::tmpfile();
  ASSERT_NE(terminal_, nullptr);
  textio::set_console_streams(nullptr, terminal_, nullptr);
}

void ExperimentTest::TearDown() {
  textio::reset_program_state();
  std::fclose(terminal_);
}

void ExperimentTest::open_experiment(const std::vector<support::ExperimentRecord>& records) {
  open_experiment(kFileName, records);
}

void ExperimentTest::open_experiment(const std::string& file_name,
                                     const std::vector<support::ExperimentRecord>& records) {
  support::write_experiment_file(directory_ / file_name, records);
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = expfile::kRecordLength;
  textio::open_unit(kExperimentUnit, (directory_ / file_name).string(), options);
}

LiveRecords ExperimentTest::close_experiment() {
  expfile::ISAMCLOSE(kExperimentUnit, "KEEP");
  textio::close_unit(kExperimentUnit);
  LiveRecords live;
  const std::string bytes = support::read_file_bytes(directory_ / kFileName);
  for (const std::string& record : support::experiment_records(bytes)) {
    const std::string key = record.substr(0, 12);
    if (key == std::string(expfile::kDeletedKey)) continue;
    const std::string value = record.substr(12);
    const bool added = live.emplace(key, value.substr(0, value.find_last_not_of(' ') + 1)).second;
    EXPECT_TRUE(added) << "key [" << key << "] is live twice";
  }
  return live;
}

std::string ExperimentTest::terminal_text() {
  textio::flush_unit(textio::kConsoleOutput);
  std::rewind(terminal_);
  std::string text;
  for (int c; (c = std::fgetc(terminal_)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

}  // namespace startup_test
