// A temporary directory with experiment files opened on direct-access units, and the console
// output captured, for the store's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "textio/program_state.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace expfile_test {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    console_ = std::tmpfile();
    ASSERT_NE(console_, nullptr);
    textio::set_console_streams(nullptr, console_, nullptr);
  }

  void TearDown() override {
    textio::reset_program_state();
    std::fclose(console_);
  }

  // Writes the records as file `name` and opens it on `unit` the way the start-up does.
  void open_experiment(int unit, const std::string& name,
                       const std::vector<support::ExperimentRecord>& records) {
    support::write_experiment_file(directory_ / name, records);
    textio::OpenOptions options;
    options.status = "OLD";
    options.access = textio::Access::direct;
    options.record_length = 82;
    textio::open_unit(unit, (directory_ / name).string(), options);
  }

  std::string file_bytes(const std::string& name) const {
    return support::read_file_bytes(directory_ / name);
  }

  std::vector<std::string> file_records(const std::string& name) const {
    return support::experiment_records(file_bytes(name));
  }

  // Everything written to the console so far.
  std::string console_text() {
    textio::flush_unit(textio::kConsoleOutput);
    std::rewind(console_);
    std::string text;
    for (int c; (c = std::fgetc(console_)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }

  // Runs `action`, which must stop the run, and returns the stop text.
  template <typename Action>
  std::string stop_text_of(Action action) {
    try {
      action();
    } catch (const textio::StopRun& stop) {
      return stop.text;
    }
    ADD_FAILURE() << "the run did not stop";
    return {};
  }

  support::TempDirectory directory_;

 private:
  std::FILE* console_ = nullptr;
};

// The 80 characters of a record as the store writes it.
inline std::string record_text(const std::string& key, const std::string& value) {
  std::string text = support::experiment_record(key, value);
  return text.substr(0, 80);
}

}  // namespace expfile_test
