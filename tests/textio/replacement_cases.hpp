// What the tests of units writing through a temporary file share: the ways of opening them, and
// what a directory holds.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "scratch_directory.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace textio {

const OpenOptions kSequential{.status = "UNKNOWN", .through_temporary = true};
const OpenOptions kDirect{
    .status = "OLD", .access = Access::direct, .record_length = 4, .through_temporary = true};
// Written for speed: the old file is exchanged for the new one, then removed.
const OpenOptions kNotDurable{.status = "UNKNOWN", .through_temporary = true, .durable = false};
const OpenOptions kAppend{.status = "UNKNOWN", .append = true, .through_temporary = true};

inline std::optional<std::string> existing_bytes(const std::filesystem::path& path) {
  if (!std::filesystem::exists(path)) return std::nullopt;
  return file_bytes(path);
}

inline std::set<std::string> directory_names() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("."))
    names.insert(entry.path().filename().string());
  return names;
}

inline void write_new_content(int unit, const OpenOptions& options) {
  if (options.access == Access::direct) {
    write_direct(unit, 2, "(A)", "NEW");
  } else {
    write_record(unit, "(A)", "new");
  }
}

using FileReplacementTest = ScratchDirectoryTest;

}  // namespace textio
