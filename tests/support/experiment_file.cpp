#include "support/experiment_file.hpp"

#include <stdexcept>

#include "support/files.hpp"

namespace support {
namespace {

constexpr std::size_t kKeyWidth = 12;
constexpr std::size_t kValueWidth = 68;
constexpr std::size_t kRecordBytes = 82;

std::string padded(std::string_view text, std::size_t width, const char* what) {
  if (text.size() > width) {
    throw std::invalid_argument(std::string(what) + " too long: \"" + std::string(text) + "\"");
  }
  std::string field(text);
  field.resize(width, ' ');
  return field;
}

}  // namespace

ExperimentRecord deleted_record() {
  return {std::string(kKeyWidth, '~'), ""};
}

std::string experiment_record(std::string_view key, std::string_view value) {
  return padded(key, kKeyWidth, "key") + padded(value, kValueWidth, "value") + "\r\n";
}

std::string experiment_file_bytes(const std::vector<ExperimentRecord>& records) {
  std::string bytes;
  bytes.reserve(records.size() * kRecordBytes);
  for (const ExperimentRecord& record : records)
    bytes += experiment_record(record.key, record.value);
  return bytes;
}

void write_experiment_file(const std::filesystem::path& path,
                           const std::vector<ExperimentRecord>& records) {
  write_file_bytes(path, experiment_file_bytes(records));
}

std::vector<std::string> experiment_records(std::string_view bytes) {
  if (bytes.size() % kRecordBytes != 0) {
    throw std::invalid_argument("not a whole number of 82-byte records");
  }
  std::vector<std::string> records;
  for (std::size_t start = 0; start < bytes.size(); start += kRecordBytes) {
    const std::string_view record = bytes.substr(start, kRecordBytes);
    if (!record.ends_with("\r\n")) {
      throw std::invalid_argument("record " + std::to_string(records.size() + 1) +
                                  " does not end in CR LF");
    }
    records.emplace_back(record.substr(0, kRecordBytes - 2));
  }
  return records;
}

}  // namespace support
