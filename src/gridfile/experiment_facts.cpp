#include "gridfile/experiment_facts.hpp"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "expfile/index.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "gridfile/grid_file_name.hpp"
#include "os/os.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace gridfile {

namespace {

[[noreturn]] void fail(const std::string& name, const std::string& problem) {
  throw std::runtime_error(name + ": " + problem);
}

// The value of record `key`; a missing record is the file's problem.
std::string value_of(int unit, const std::string& name, const std::string& key) {
  std::string value(expfile::kValueLength, ' ');
  if (expfile::KEYREAD(unit, key, value) != 0) {
    fail(name, "no record \"" + key + "\"");
  }
  return value;
}

std::array<float, 3> triple(int unit, const std::string& name, const std::string& key) {
  std::array<float, 3> values{};
  if (textio::try_read_text(value_of(unit, name, key), "(3F10.0)", values) != textio::kOk) {
    fail(name, "record \"" + key + "\" does not hold three numbers");
  }
  return values;
}

ExperimentFacts facts_of(int unit, const std::string& name) {
  ExperimentFacts facts;
  const std::string control = value_of(unit, name, std::string(expfile::kFourierControlKey));
  if (textio::try_read_text(control, "(11X,I2)", facts.phase) != textio::kOk || facts.phase <= 0) {
    fail(name, "no Fourier map phase: has a map been computed?");
  }
  const std::string prefix = expfile::CRSKEY(facts.phase);
  facts.lengths = triple(unit, name, prefix + std::string(expfile::kCellLengthsItem));
  facts.angles = triple(unit, name, prefix + std::string(expfile::kCellAnglesItem));
  const std::string symbol = value_of(unit, name, prefix + std::string(expfile::kSpaceGroupItem));
  facts.symbol = std::string(expfile::without_trailing_padding(symbol.substr(0, 20)));
  return facts;
}

// The cell of the experiment's phase agrees with the grid file's within the grid file's digits.
bool same_cell(const ExperimentFacts& facts, const GridFile& grid) {
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::fabs(facts.lengths[i] - grid.lengths[i]) > 1e-4f ||
        std::fabs(facts.angles[i] - grid.angles[i]) > 1e-3f) {
      return false;
    }
  }
  return true;
}

void release_unit(int unit) {
  expfile::release_index(unit);
  textio::try_close_unit(unit);
}

}  // namespace

std::optional<ExperimentFacts> read_experiment_facts(const std::filesystem::path& path) {
  const std::string name = os::name_of(path);
  bool exists = false;
  if (const int status = textio::check_file_exists(name, exists)) {
    fail(name, std::string("cannot be looked at: ") + std::strerror(status));
  }
  if (!exists) return std::nullopt;
  int unit = textio::kFirstFreeUnit;
  textio::NEWUNT(unit);
  const textio::OpenOptions options{.status = "OLD",
                                    .access = textio::Access::direct,
                                    .form = textio::Form::formatted,
                                    .record_length = expfile::kRecordLength};
  if (const int status = textio::try_open_unit(unit, name, options)) {
    fail(name, "cannot read the experiment file: " + textio::status_message(status));
  }
  // The store reports what it cannot read by a stop or an I/O failure; here they are the file's
  // problem, and the unit is closed either way.
  try {
    const ExperimentFacts facts = facts_of(unit, name);
    expfile::ISAMCLOSE(unit, "KEEP");
    return facts;
  } catch (const textio::StopRun& stop) {
    release_unit(unit);
    fail(name, "cannot read the experiment file (" + stop.text + ")");
  } catch (const textio::IoFailure& failure) {
    release_unit(unit);
    fail(name, "cannot read the experiment file: " + textio::status_message(failure.status));
  }
}

GroupSource map_group_source(const std::optional<std::string>& given,
                             const std::filesystem::path& grid_path, const GridFile& grid) {
  if (given) return {given, "--group", "as given by --group"};
  const std::filesystem::path experiment = experiment_file_beside(grid_path);
  const std::string name = os::name_of(experiment);
  const std::optional<ExperimentFacts> facts = read_experiment_facts(experiment);
  if (!facts) return {std::nullopt, name, "no experiment file " + name + ": the grid alone"};
  GroupSource source{facts->symbol, name,
                     "from " + name + ", phase " + std::to_string(facts->phase)};
  if (!same_cell(*facts, grid)) {
    source.description += " (whose cell differs from the grid file's: the grid's is used)";
  }
  return source;
}

}  // namespace gridfile
