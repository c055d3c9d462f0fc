#include "conversion/map_file.hpp"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "conversion/map_header.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "startup/console_input.hpp"
#include "startup/failure_cause.hpp"
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
  // A FIFO would hold the run at its opening, a device or a directory is no map.
  if (std::optional<std::string> refusal = textio::refusal_of_file_kind(name)) return refusal;
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

// The map types of `experiment` whose files exist, in the order of the question.
std::vector<std::string> available_map_types(const expfile::ExperimentPath& experiment) {
  std::vector<std::string> available;
  for (const std::string& type : map_types()) {
    if (textio::file_exists(experiment.map_file(type))) available.push_back(type);
  }
  return available;
}

// The types joined by `separator`.
std::string joined(const std::vector<std::string>& types, std::string_view separator) {
  std::string text;
  for (const std::string& type : types) {
    if (!text.empty()) text += separator;
    text += type;
  }
  return text;
}

bool is_map_type(const std::string& answer) {
  const std::vector<std::string> types = map_types();
  return std::find(types.begin(), types.end(), answer) != types.end();
}

// Why an answer that names none of the experiment's map files is not tried: trying it could only
// blame a file that does not exist, or the experiment file's records.
std::optional<std::string> not_an_available_type(const std::string& answer,
                                                 const std::vector<std::string>& available,
                                                 const std::string& experiment_name) {
  if (std::find(available.begin(), available.end(), answer) != available.end()) return {};
  const std::string types = joined(available, ", ");
  const std::string_view given = textio::trim_right(answer);
  if (given.empty())
    return "No map type was given; the map types of " + experiment_name + " are: " + types;
  return std::string(given) + " is not one of the map types of " + experiment_name + ": " + types;
}

std::string asked_answer(const std::vector<std::string>& available) {
  std::string answer(kTypeLength, ' ');
  const startup::NamedQuestion question("the map-type question");
  startup::GETANS("Enter map type wanted (" + joined(available, ",") + ",QUIT)",
                  startup::kNextToken, answer);
  startup::UPCASE(answer, static_cast<int>(kTypeLength));
  if (answer == kQuitAnswer) textio::stop_run(std::string(kOpnfmpStop));
  return answer;
}

// The map type that the next answer typed ahead on the command line names, taken from the
// answers; nothing when it names none. With one map file no question takes it, and a script
// that asked for FOBS must not get the DELF map it did not ask for.
std::optional<std::string> map_type_typed_ahead() {
  const std::string first = startup::next_typed_ahead_answer();
  if (first.empty() || first.size() > kTypeLength) return {};
  std::string type = textio::upper_case(textio::fit(first, kTypeLength));
  if (!is_map_type(type)) return {};
  startup::GETANS("", startup::kNextToken, type);
  startup::UPCASE(type, static_cast<int>(kTypeLength));
  return type;
}

// Stops the run when the command line asked for another type than that of the only map file.
void require_asked_type(const ConversionRun& run, const std::string& only_type) {
  const std::optional<std::string> asked = map_type_typed_ahead();
  if (!asked || *asked == only_type) return;
  const std::string cause = *asked + " was asked for, but the only map of " + run.experiment.name +
                            " is " + run.experiment.map_file(only_type) + " (" + only_type + ")";
  textio::write_record(run.terminal_unit, "(A)", " **** " + cause + " ****");
  startup::write_failure_cause(cause);
  textio::stop_run(std::string(kOpnfmpStop));
}

[[noreturn]] void refuse_no_map_file(const ConversionRun& run) {
  const expfile::ExperimentPath& experiment = run.experiment;
  std::string cause = "no Fourier map file was found for " + experiment.name;
  textio::write_record(run.terminal_unit, "(A)",
                       " **** No Fourier map file was found for " + experiment.name + " ****");
  for (const std::string& type : map_types()) {
    const std::optional<std::string> other =
        startup::file_name_in_other_case(experiment.map_file(type));
    if (!other) continue;
    const std::string hint = *other + " is there, but map file names are upper-cased: rename it";
    textio::write_record(run.terminal_unit, "(A)", " **** " + hint + " ****");
    cause += " (" + hint + ")";
    break;
  }
  startup::write_failure_cause(cause);
  textio::stop_run(std::string(kOpnfmpStop));
}

}  // namespace

std::optional<std::string> experiment_of_map_file(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 4 != name.size()) return {};
  const std::string extension = textio::upper_case(name.substr(dot + 1));
  for (const std::string& type : map_types()) {
    if (type.substr(0, 3) == extension) return std::string(name.substr(0, dot));
  }
  return {};
}

std::vector<std::string> existing_map_files(const expfile::ExperimentPath& experiment) {
  std::vector<std::string> names;
  for (const std::string& type : available_map_types(experiment)) {
    names.push_back(experiment.map_file(type));
  }
  return names;
}

OpenedMap open_map_file(const ConversionRun& run) {
  const std::vector<std::string> available = available_map_types(run.experiment);
  OpenedMap map;
  map.unit = run.experiment_unit;
  textio::NEWUNT(map.unit);
  if (available.empty()) refuse_no_map_file(run);
  if (available.size() == 1) require_asked_type(run, available.front());
  for (bool ask = available.size() > 1;; ask = true) {
    const std::string type = ask ? asked_answer(available) : available.front();
    std::optional<std::string> unopened =
        not_an_available_type(type, available, run.experiment.name);
    const std::string name = run.experiment.map_file(type);
    if (!unopened) {
      unopened = try_open_map(map.unit, name, record_length(run.experiment_unit, type));
      if (unopened) *unopened = name + " cannot be opened: " + *unopened;
    }
    if (!unopened) {
      map.type = type;
      break;
    }
    // Asked again with no word of why, the user could only guess.
    textio::write_record(run.terminal_unit, "(A)", " **** " + *unopened + " ****");
  }
  textio::write_record(run.terminal_unit, "(A)", " A " + map.type + " file has been opened");
  return map;
}

}  // namespace conversion
