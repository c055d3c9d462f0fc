// An experiment file opened on a unit in a temporary directory, with the terminal output
// captured, for the in-process tests of experiment opening and upgrade.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/experiment_file.hpp"
#include "support/files.hpp"

namespace startup_test {

inline constexpr int kExperimentUnit = 11;

// Live records of an experiment file: key -> value without its trailing blanks.
using LiveRecords = std::map<std::string, std::string>;

// A value of 68 characters with each text placed at its column (counted from 1).
std::string value_with(const std::vector<std::pair<std::size_t, std::string>>& placed);

class ExperimentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the records as EXP.EXP and opens it on kExperimentUnit as the start-up does.
  void open_experiment(const std::vector<support::ExperimentRecord>& records);
  // The same for the file `file_name` in the directory.
  void open_experiment(const std::string& file_name,
                       const std::vector<support::ExperimentRecord>& records);

  // Closes the experiment and returns its live records; a key found twice fails the test.
  LiveRecords close_experiment();

  // Everything written on the terminal so far.
  std::string terminal_text();

  support::TempDirectory directory_;

 private:
  std::FILE* terminal_ = nullptr;
};

}  // namespace startup_test
