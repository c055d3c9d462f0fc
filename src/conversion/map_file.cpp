#include "conversion/map_file.hpp"

#include <cerrno>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "conversion/map_header.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "startup/console_input.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr std::size_t kTypeLength = kMapTypeLength;
constexpr std::string_view kQuitAnswer = "QUIT";
constexpr std::string_view kOpnfmpStop = "Run terminated in OPNFMP";

// The map types looked for, in this order.
std::vector<std::string> map_types() {
  std::vector<std::string> types = {"FOBS", "FCLC", "DELF", "PTSN", "DPTS"};
  for (int digit = 2; digit <= 9; ++digit)
    types.push_back(textio::write_text(4, "(I1,A)", digit, "FDF"));
  return types;
}

// The record length of the map files of `type` as the experiment file holds it: words, 0 when
// the record is missing or holds no number.
struct RecordLength {
  std::string key;
  bool recorded = false;
  int words = 0;
};

RecordLength record_length(int experiment_unit, const std::string& type) {
  RecordLength length{expfile::map_record_length_key(type)};
  std::string value(expfile::kValueLength, ' ');
  length.recorded = expfile::KEYREAD(experiment_unit, length.key, value) == 0;
  if (textio::try_read_text(value, "(I10)", length.words) != textio::kOk) length.words = 0;
  return length;
}

// Why the file `name` is not opened without a usable length. A missing file comes first: it is
// what a mistyped map type meets.
std::string unusable_length_reason(const std::string& name, const RecordLength& length) {
  if (!textio::file_exists(name)) return textio::status_message(ENOENT);
  const std::string quoted_key = "\"" + length.key + "\"";
  return length.recorded ? "its record-length record " + quoted_key + " holds no usable length"
                         : "the experiment file has no record-length record " + quoted_key;
}

// Opens the map file `name` on `unit`; returns why it cannot be opened, or nothing.
std::optional<std::string> try_open_map(int unit, const std::string& name,
                                        const RecordLength& length) {
  const long long bytes = static_cast<long long>(length.words) * kMapWordBytes;
  if (bytes <= 0 || bytes > std::numeric_limits<int>::max()) {
    return unusable_length_reason(name, length);
  }
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.form = textio::Form::unformatted;
  options.record_length = static_cast<int>(bytes);
  const int status = textio::try_open_unit(unit, name, options);
  if (status == textio::kOk) return std::nullopt;
  return textio::status_message(status);
}

// The map types of `experiment` whose files exist, each followed by a comma.
std::string available_map_types(const expfile::ExperimentPath& experiment, int& count) {
  std::string available;
  count = 0;
  for (const std::string& type : map_types()) {
    if (textio::file_exists(experiment.map_file(type))) {
      available += type + ",";
      ++count;
    }
  }
  return available;
}

// The map type to try: the only one available on the first pass, else the user's answer.
std::string chosen_map_type(const std::string& available, bool ask) {
  if (!ask) return available.substr(0, kTypeLength);
  std::string answer(kTypeLength, ' ');
  startup::GETANS("Enter map type wanted (" + available + "QUIT)", startup::kNextToken, answer);
  startup::UPCASE(answer, static_cast<int>(kTypeLength));
  if (answer == kQuitAnswer) textio::stop_run(std::string(kOpnfmpStop));
  return answer;
}

}  // namespace

OpenedMap open_map_file(const ConversionRun& run) {
  const expfile::ExperimentPath& experiment = run.experiment;
  const int terminal_unit = run.terminal_unit;
  int available_count = 0;
  const std::string available = available_map_types(experiment, available_count);
  OpenedMap map;
  map.unit = run.experiment_unit;
  textio::NEWUNT(map.unit);
  if (available_count == 0) {
    textio::write_record(terminal_unit, "(A)",
                         " **** No Fourier map file was found for " + experiment.name + " ****");
    textio::stop_run(std::string(kOpnfmpStop));
  }
  for (bool ask = available_count > 1;; ask = true) {
    const std::string type = chosen_map_type(available, ask);
    const std::string name = experiment.map_file(type);
    const std::optional<std::string> unopened =
        try_open_map(map.unit, name, record_length(run.experiment_unit, type));
    if (!unopened) {
      map.type = type;
      break;
    }
    // Asked again with no word of why, the user could only guess.
    textio::write_record(terminal_unit, "(A)",
                         " **** " + name + " cannot be opened: " + *unopened + " ****");
  }
  textio::write_record(terminal_unit, "(A)", " A " + map.type + " file has been opened");
  return map;
}

}  // namespace conversion
