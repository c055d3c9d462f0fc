// A fixture that runs each test in a directory of its own, with an empty unit table, and removes
// the directory afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "os/os.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace textio {

inline std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void put_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class ScratchDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    dir_ = std::filesystem::temp_directory_path() /
           ("textio_" + std::to_string(os::process_id()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    reset_program_state();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
  std::filesystem::path previous_;
};

}  // namespace textio
