#include "conversion/map_file.hpp"

#include <cerrno>
#include <limits>
#include <optional>
#include <string>

#include "conversion/map_reader.hpp"
#include "conversion/symmetry_loader.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "startup/console_input.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr int kWordBytes = static_cast<int>(kMapWordBytes);
constexpr std::size_t kTypeLength = kMapTypeLength;
constexpr std::size_t kTitleLength = kMapTextLength;
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
  const long long bytes = static_cast<long long>(length.words) * kWordBytes;
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

void write_map_parameters(int terminal_unit, const MapBlock& block, float scale) {
  textio::write_record(terminal_unit, "(A)", " Map parameters:");
  const char* axes[] = {"X", "Y", "Z"};
  for (int axis = 0; axis < 3; ++axis) {
    textio::write_record(terminal_unit, "(3A,I5,A,I5,A,I5,A)", " Map ", axes[axis],
                         " axis divided into", block.grid_divisions[axis], " steps, from",
                         block.block_start[axis], " and covering", block.block_steps[axis],
                         " steps");
  }
  textio::write_record(terminal_unit, "(A,1P,G7.0)", " Map scaling factor ", 1.0f / scale);
  textio::write_record(terminal_unit, "(A,F6.2,A,F6.2)", " Rescaled rho limits from ",
                       block.density_minimum, " to ", block.density_maximum);
}

void make_patterson(symmetry::OperatorSet& operators) {
  operators.centric = 1;
  for (int k = 0; k < operators.operator_count; ++k) operators.operators[k].translation = {0, 0, 0};
}

// The grid file's title line: the problem title of the experiment and the map type.
std::string grid_title_line(const std::string& description, const MapTitleRecord& title) {
  return textio::fit(description.substr(2, 50) + " " + title.map_type, kTitleLength);
}

// REDFMP from header record 1 on, with header record 2 already read and checked.
LoadedMap read_checked_map(int experiment_unit, int map_unit, const MapTitleRecord& title,
                           const MapHeader& header, std::vector<float>& work_buffer,
                           int terminal_unit, symmetry::OperatorSet& operators) {
  LoadedMap map;
  const float scale = start_map_block(header, map.block);
  std::string description(expfile::kValueLength, ' ');
  expfile::KEYREAD(experiment_unit, expfile::kDescriptionKey, description);
  map.title_line = grid_title_line(description, title);
  textio::write_record(terminal_unit, "(2A)", " Problem title: ", description.substr(2));
  textio::write_record(terminal_unit, "(2A)", " Phase name: ", title.phase_name);
  if (title.map_type == "PTSN" || title.map_type == "DPTS") make_patterson(operators);
  write_map_parameters(terminal_unit, map.block, scale);
  long long stored = read_map_sections(map_unit, header, scale, work_buffer, map.block);
  textio::close_unit(map_unit);
  textio::write_record(terminal_unit, "(A,I7,A)", " There were", stored, " map elements stored");
  return map;
}

}  // namespace

expfile::ExperimentPath experiment_path(int experiment_unit) {
  const std::string file_name = textio::unit_file_name(experiment_unit);
  return expfile::ExperimentPath::of_file(file_name).value_or(
      expfile::ExperimentPath::of_name(file_name));
}

OpenedMap open_map_file(const expfile::ExperimentPath& experiment, int experiment_unit,
                        int terminal_unit) {
  int available_count = 0;
  const std::string available = available_map_types(experiment, available_count);
  OpenedMap map;
  map.unit = experiment_unit;
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
        try_open_map(map.unit, name, record_length(experiment_unit, type));
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

void OPNFMP(int experiment_unit, const std::string& status, std::string& map_type, int& map_unit) {
  (void)status;  // only "OLD" map files are ever opened
  OpenedMap map =
      open_map_file(experiment_path(experiment_unit), experiment_unit, textio::kTerminal);
  map_type = map.type;
  map_unit = map.unit;
}

LoadedMap load_map(int experiment_unit, int map_unit, const MapHeader& header, int map_phase,
                   std::vector<float>& work_buffer, int terminal_unit) {
  symmetry::OperatorSet operators;
  load_phase_symmetry(experiment_unit, map_phase, operators);
  const MapTitleRecord title = read_map_title(map_unit);
  LoadedMap map = read_checked_map(experiment_unit, map_unit, title, header, work_buffer,
                                   terminal_unit, operators);
  map.operators = operators;
  return map;
}

void REDFMP(int experiment_unit, int map_unit, std::vector<float>& work_buffer, int map_phase,
            std::string& title_line, MapBlock& block, symmetry::OperatorSet& operators) {
  load_phase_symmetry(experiment_unit, map_phase, operators);
  const MapTitleRecord title = read_map_title(map_unit);
  const MapHeader header = read_map_header(map_unit);
  if (static_cast<long long>(work_buffer.size()) < header.section_size) {
    refuse_map("Map section is larger than the work buffer");
  }
  LoadedMap map = read_checked_map(experiment_unit, map_unit, title, header, work_buffer,
                                   textio::kTerminal, operators);
  title_line = std::move(map.title_line);
  block = std::move(map.block);
}

}  // namespace conversion
