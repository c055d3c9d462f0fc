// Experiment files for tests: 82-byte records (a 12-character key, a 68-character value, CR LF)
// in exactly the physical order given.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace support {

struct ExperimentRecord {
  std::string key;    // at most 12 characters, blank-padded
  std::string value;  // at most 68 characters, blank-padded
};

// A record as the store marks a deleted one: twelve "~" and a blank value.
ExperimentRecord deleted_record();

// The 82 bytes of one record; throws std::invalid_argument for a key over 12 or a value over
// 68 characters.
std::string experiment_record(std::string_view key, std::string_view value);

// The bytes of a file holding these records in this order.
std::string experiment_file_bytes(const std::vector<ExperimentRecord>& records);

void write_experiment_file(const std::filesystem::path& path,
                           const std::vector<ExperimentRecord>& records);

// The records of a file's bytes, each as its 80 characters without CR LF; throws
// std::invalid_argument when the bytes are not whole 82-byte records ending in CR LF.
std::vector<std::string> experiment_records(std::string_view bytes);

}  // namespace support
