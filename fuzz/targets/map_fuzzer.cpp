// The whole conversion on an arbitrary map file: a sound experiment file FUZZ.EXP naming one of
// a few space groups, and beside it the map file of one type holding the fuzz bytes, read with
// the record length the input chooses. A conversion that finishes must have written a complete
// grid file whose every value is a list-directed real within the map's density limits. Maps
// of more grid points than kMaxGridPoints are skipped, so that no run writes more than a few
// hundred kilobytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "conversion/driver.hpp"
#include "fuzzing/grid_oracle.hpp"
#include "fuzzing/inputs.hpp"
#include "fuzzing/session.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"

namespace {

constexpr double kMaxGridPoints = 20000;

constexpr std::array<const char*, 12> kSymbols = {
    "P 1",    "P -1",       "P 21/c",   "C 2/c",    "P 21 21 21", "I 41/a m d",
    "R -3 m", "P 63/m m c", "F d -3 m", "P m -3 m", "I a -3 d",   "R 3 c"};

// The map types and the extensions of their files.
struct MapType {
  const char* type;
  const char* extension;
};
constexpr std::array<MapType, 6> kTypes = {{{"FOBS", "FOB"},
                                            {"FCLC", "FCL"},
                                            {"DELF", "DEL"},
                                            {"PTSN", "PTS"},
                                            {"DPTS", "DPT"},
                                            {"2FDF", "2FD"}}};

std::string right_justified(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string experiment_file(const fuzzing::MapInput& input) {
  std::vector<support::ExperimentRecord> records = {
      {"     VERSION", "    6     Tue Dec  8 12:00:00 2026"},
      {"      DESCR ", "  Fuzzed map"},
      {"  FOUR CDAT1", "           1"},
      {"CRS1  ABC   ", "  10.00000  11.00000  12.00000"},
      {"CRS1  ANGLES", "  90.00000  90.00000  90.00000"},
      {"CRS1  SG SYM", kSymbols[static_cast<std::size_t>(input.symbol_choice) % kSymbols.size()]},
      {"ZZZZZZZZZZZZ", "  Last EXP file record"}};
  for (const MapType& type : kTypes) {
    records.push_back({std::string(" EXPR ") + type.type + "RL",
                       right_justified(std::to_string(input.record_words), 10)});
  }
  return support::experiment_file_bytes(records);
}

void check_grid_file(const std::optional<fuzzing::MapLimits>& limits) {
  if (!std::filesystem::exists("FUZZ.grd")) return;
  if (!limits) fuzzing::fail("a grid file was written for a map without a readable header");
  const std::string defect =
      fuzzing::grid_file_defect(support::read_file_bytes("FUZZ.grd"), *limits);
  if (!defect.empty()) fuzzing::fail("grid file: " + defect);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::MapInput input =
      fuzzing::decode_map_input({reinterpret_cast<const char*>(data), size});
  const std::optional<fuzzing::MapLimits> limits =
      fuzzing::read_map_limits(input.map, input.record_words);
  if (limits && limits->grid_points > kMaxGridPoints) return 0;
  // The command line is program-wide state too: every session's reset forgets it.
  fuzzing::set_program_arguments({"mapconv", "FUZZ"});
  fuzzing::Session session;
  const MapType& type = kTypes[static_cast<std::size_t>(input.type_choice) % kTypes.size()];
  support::write_file_bytes("FUZZ.EXP", experiment_file(input));
  support::write_file_bytes(std::string("FUZZ.") + type.extension, input.map);
  const fuzzing::Outcome outcome = session.run([] { conversion::MAPCONV(); });
  // Only a finished conversion returns, after the grid file is closed; every other end is a stop
  // or a failure.
  if (outcome.ending == fuzzing::Ending::returned) check_grid_file(limits);
  return 0;
}
