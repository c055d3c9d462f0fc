// The suite's start-up on an arbitrary experiment file FUZZ.EXP of any version: STRTRN for one
// of several programs and modes, with the upgrade of old files, the reformatting of foreign
// ones and working copies. Whatever happens, nothing is lost: a file opened only for reading is
// left as it was, the original survives a working copy or a reformatting, an update never
// makes a second live record of a key, and a start-up that returns leaves a complete file of
// the current version.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzing/inputs.hpp"
#include "fuzzing/session.hpp"
#include "fuzzing/store_model.hpp"
#include "os/os.hpp"
#include "startup/experiment_opening.hpp"
#include "support/files.hpp"

namespace {

constexpr const char* kFileName = "FUZZ.EXP";

enum class Check { unchanged, backup_kept, reformatted_kept, updated };

struct RunChoice {
  const char* program;
  const char* experiment_mode;
  const char* listing_mode;
  bool name_given;
  Check check;
};

constexpr RunChoice kChoices[] = {
    {"MAPCONV", "SHARED", "TERM", true, Check::updated},
    {"MAPCONV", "READ", "TERM", true, Check::unchanged},
    {"MAPCONV", "COPY", "TERM", true, Check::backup_kept},
    {"VETRIS", "SHARED", "TERM", true, Check::reformatted_kept},
    {"SOLVAN", "SHARED", "TERM", true, Check::updated},
    {"MAPCONV", "NOTNEEDED", "TERM", true, Check::unchanged},
    {"MAPCONV", "SHARED", "LIST", true, Check::updated},
    {"MAPCONV", "NEW", "TERM", true, Check::updated},
    {"MAPCONV", "SHARED", "TERM", false, Check::updated},
};

using KeyCounts = std::map<std::string, int>;

// Live records by key; a trailing part of a record counts with its key padded with blanks, as
// the store reads it.
KeyCounts live_keys(std::string_view file) {
  KeyCounts counts;
  for (std::size_t start = 0; start < file.size(); start += fuzzing::kStoreRecordLength) {
    const std::string key = fuzzing::padded_key(file.substr(start, fuzzing::kStoreKeyLength));
    if (!fuzzing::is_dead_key(key)) ++counts[key];
  }
  return counts;
}

std::string file_or_empty(const std::string& name) {
  return std::filesystem::exists(name) ? support::read_file_bytes(name) : std::string();
}

bool kept_in_some_file(const std::string& original, std::string_view extension_start) {
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(std::string("FUZZ.") + std::string(extension_start)) &&
        support::read_file_bytes(entry.path()) == original) {
      return true;
    }
  }
  return false;
}

void check_no_duplicates_made(const std::string& original, const std::string& now) {
  const KeyCounts before = live_keys(original);
  for (const auto& [key, count] : live_keys(now)) {
    const auto found = before.find(key);
    const int allowed = found == before.end() ? 1 : std::max(1, found->second);
    if (count > allowed) fuzzing::fail("the start-up made a second live record [" + key + "]");
  }
}

// The version a version record's value gives when read as an integer of five columns, in which
// blanks count for nothing; -1 when it is no integer.
int version_of(std::string_view value) {
  std::string digits;
  for (char c : value.substr(0, 5)) {
    if (c != ' ') digits += c;
  }
  if (!digits.empty() && digits.front() == '+') digits.erase(0, 1);
  if (digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  return std::stoi(digits);
}

// A returning start-up leaves the marker of a complete file and a version record of 6. A file
// reformatted from text lines may hold that record in another layout than the program writes.
void check_current(const std::string& now) {
  const KeyCounts keys = live_keys(now);
  if (!keys.contains("ZZZZZZZZZZZZ")) fuzzing::fail("the start-up returned on an incomplete file");
  for (std::size_t start = 0; start + fuzzing::kStoreRecordLength <= now.size();
       start += fuzzing::kStoreRecordLength) {
    const std::string_view record =
        std::string_view(now).substr(start, fuzzing::kStoreRecordLength);
    if (record.starts_with("     VERSION") &&
        version_of(record.substr(fuzzing::kStoreKeyLength)) == 6) {
      return;
    }
  }
  fuzzing::fail("the start-up returned on a file that is not of version 6");
}

void check_files(const RunChoice& choice, const std::string& original, bool returned) {
  const std::string now = file_or_empty(kFileName);
  switch (choice.check) {
    case Check::unchanged:
      if (now != original) fuzzing::fail("a file opened for reading was changed");
      return;
    case Check::backup_kept:
      if (now != original && !kept_in_some_file(original, "O")) {
        fuzzing::fail("a working copy lost the original file");
      }
      check_no_duplicates_made(original, now);
      break;
    case Check::reformatted_kept:
      // Records of a reformatted file come from its lines, where one key may stand twice.
      if (std::filesystem::exists("FUZZ.CRP")) {
        if (support::read_file_bytes("FUZZ.CRP") != original) {
          fuzzing::fail("reformatting lost the original file");
        }
      } else {
        check_no_duplicates_made(original, now);
      }
      break;
    case Check::updated:
      check_no_duplicates_made(original, now);
      break;
  }
  if (returned) check_current(now);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  os::set_environment_variable("TARN", MAPCONV_SOURCE_DIR);
  os::unset_environment_variable("tarn");
  os::unset_environment_variable("LENPAGE");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::StartupInput input =
      fuzzing::decode_startup_input({reinterpret_cast<const char*>(data), size});
  const RunChoice& choice =
      kChoices[static_cast<std::size_t>(input.run_choice) % std::size(kChoices)];
  // A typed experiment name with a "/" could open a file beyond the scratch directory.
  if (!choice.name_given && input.typed.find('/') != std::string::npos) return 0;
  if (choice.name_given) {
    fuzzing::set_program_arguments({"mapconv", "FUZZ"});
  } else {
    fuzzing::set_program_arguments({"mapconv"});
  }
  fuzzing::Session session(input.typed);
  // An empty file part stands for an experiment that does not exist yet.
  if (!input.file.empty()) support::write_file_bytes(kFileName, input.file);
  const fuzzing::Outcome outcome = session.run([&] {
    int experiment_unit = 0, listing_unit = 0, terminal_unit = 0;
    startup::STRTRN(choice.program, choice.experiment_mode, choice.listing_mode, experiment_unit,
                    listing_unit, terminal_unit);
  });
  if (choice.name_given && !input.file.empty()) {
    check_files(choice, input.file, outcome.ending == fuzzing::Ending::returned);
  }
  return 0;
}
