// Seeds of the experiment targets: the symbol table, the record store, whole conversions and
// the start-up, built on the bundled example and on experiment files of every version.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "fuzzing/inputs.hpp"
#include "seeds.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"

namespace seeds {

namespace {

using Records = std::vector<support::ExperimentRecord>;

const std::string kLastRecord = "ZZZZZZZZZZZZ";

// A version record of the given layout version.
support::ExperimentRecord version_record(int version) {
  std::string number = std::to_string(version);
  return {"     VERSION",
          std::string(5 - number.size(), ' ') + number + "     Tue Dec  8 12:00:00 2026"};
}

// Experiment files of every version, with the records that each upgrade step rewrites (the
// records of the start-up's own tests).
std::vector<Records> old_experiments() {
  const std::string old_background =
      "   0.150000E+01  -0.225000E+01   0.125000E+00  6  Y    3    T";
  return {
      {{" EXPR  NATYP", "    2"},
       {" EXPR ATYP 1", "FE  1.0000" + std::string(40, 'x') + "ABCDEFGHIJKLMNOPQR"},
       {" EXPR FFAC1A", "old factors"},
       {" EXPR ATYP 2", "O,  2.0000" + std::string(40, 'y') + "abcdefghijklmnopqr"},
       {kLastRecord, "  Last EXP file record"}},
      {version_record(1),
       {" EXPR  NHST ", "    3"},
       {" EXPR  HTYP1", "  PXC  PNT  SNC "},
       {"HST  1BAKGD1", old_background},
       {"HST  1BAKGD2", "     0.4000E+01     0.5000E+01     0.6000E+01"},
       {kLastRecord, "  Last EXP file record"}},
      {version_record(2),
       {" EXPR  NHST ", "    3"},
       {" EXPR  HTYP1", "  PXC  SNC  PNT "},
       {" EXPR NPHAS ", "    1    2    0   -1"},
       {"HST  1EXTPOW", "  0.5"},
       {kLastRecord, "  Last EXP file record"}},
      {version_record(3), {"LNCN   1    ", "   1 2"}, {kLastRecord, "  Last EXP file record"}},
      {version_record(4),
       {"LNCN   1    ", "A1 123rest"},
       {"LEQV HOLD  1", "   123   4        56"},
       {"LEQV HOLDB 1", "   123"},
       {kLastRecord, "  Last record in the file"}},
      {version_record(5),
       {" EXPR  NHST ", "    2"},
       {" EXPR  HTYP1", "  PXC  SNC "},
       {" EXPR NPHAS ", "    1   -1"},
       {"HAP1 1SCALE ", "   1.00000"},
       {"HAP1 2SCALE1", "   3.00000"},
       {"HAP1 1PREFOR", "0123456789abcdefghijklmnopqrstuvwxyz0123WXYZPQRSTU"},
       {"LEQV PRFO   ", "  por a"},
       {"LEQV SCAL2 1", "  scale 21"},
       {"INST  ABCDEF", "  inst"},
       {kLastRecord, "  Last record in the file"}},
      {version_record(7), {kLastRecord, "  Last record in the file"}},
      {version_record(6), {"      DESCR ", "  no last record"}},
  };
}

// The same records as plain 80-character records, and as text lines: the foreign forms.
std::string fixed_record_form(const Records& records) {
  std::string bytes;
  for (const auto& record : records)
    bytes += support::experiment_record(record.key, record.value).substr(0, 80);
  return bytes;
}

std::string text_line_form(const Records& records) {
  std::string bytes;
  for (const auto& record : records) {
    std::string line = support::experiment_record(record.key, record.value).substr(0, 80);
    bytes += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
  }
  return bytes;
}

fuzzing::StoreOp op(fuzzing::StoreAction action, fuzzing::KeyForm form, std::string literal = {},
                    std::string value = {}) {
  fuzzing::StoreOp result;
  result.action = action;
  result.form = form;
  result.literal = std::move(literal);
  result.value = std::move(value);
  return result;
}

// Reads of every kind, writes, deletes and a reopening, on any file.
std::vector<fuzzing::StoreOp> store_script() {
  using fuzzing::KeyForm;
  using fuzzing::StoreAction;
  std::vector<fuzzing::StoreOp> ops;
  for (int i = 0; i < 4; ++i) ops.push_back(op(StoreAction::read, KeyForm::next));
  for (int i = 0; i < 3; ++i) {
    fuzzing::StoreOp known = op(StoreAction::read, KeyForm::known);
    known.index = i;
    ops.push_back(known);
  }
  ops.push_back(op(StoreAction::read, KeyForm::literal, "CRS1"));
  ops.push_back(op(StoreAction::read, KeyForm::next));
  ops.push_back(op(StoreAction::write, KeyForm::literal, "CRS1  NEW   ", "  a new record"));
  ops.push_back(op(StoreAction::write, KeyForm::literal, "  FOUR CDAT1", "           2   "));
  ops.push_back(op(StoreAction::remove, KeyForm::literal, "CRS1  AN"));
  ops.push_back(op(StoreAction::read, KeyForm::next));
  ops.push_back(op(StoreAction::write, KeyForm::literal, "A", std::string(70, 'v')));
  ops.push_back(op(StoreAction::reopen, KeyForm::known));
  ops.push_back(op(StoreAction::read, KeyForm::literal, "CRS1  NEW   "));
  ops.push_back(op(StoreAction::remove, KeyForm::next));
  ops.push_back(op(StoreAction::read, KeyForm::literal, std::string(13, 'K')));
  return ops;
}

std::string example_record_words(const std::string& experiment) {
  for (const std::string& record : support::experiment_records(experiment)) {
    if (record.starts_with(" EXPR FOBSRL")) return record.substr(12, 10);
  }
  throw std::runtime_error("the example names no record length of its map");
}

// A small map: the block from the origin over `steps`, values from a smooth pattern.
std::string pattern_map(const std::array<int, 3>& grid, const std::array<int, 3>& steps,
                        int rotation, const std::string& type, int record_words) {
  support::MapFile map;
  map.phase_name = "Pattern";
  map.map_type = type;
  map.grid_divisions = grid;
  map.block_steps = steps;
  map.rotation_count = rotation;
  map.record_words = record_words;
  map.density_minimum = 1e30f;
  map.density_maximum = -1e30f;
  for (int n = 0; n < steps[0] * steps[1] * steps[2]; ++n) {
    const float value = 40.0f * std::sin(0.21f * n) + 3.0f * std::cos(0.05f * n);
    map.values.push_back(value);
    map.density_minimum = std::min(map.density_minimum, value);
    map.density_maximum = std::max(map.density_maximum, value);
  }
  return support::map_file_bytes(map);
}

std::string map_seed(int symbol, int type, int record_words, std::string map) {
  return fuzzing::encode_map_input({symbol, type, record_words, std::move(map)});
}

}  // namespace

Example bundled_example(const std::filesystem::path& directory) {
  std::filesystem::create_directories(directory);
  const std::string command = std::string(MAKE_EXAMPLE_PROGRAM) + " '" + directory.string() + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("make_example failed");
  Example example;
  example.experiment = support::read_file_bytes(directory / "SILICON.EXP");
  example.map = support::read_file_bytes(directory / "SILICON.FOB");
  example.record_words = std::stoi(example_record_words(example.experiment));
  return example;
}

std::vector<std::string> symbol_seeds(const std::filesystem::path& table) {
  std::ifstream in(table);
  if (!in) throw std::runtime_error("cannot read " + table.string());
  std::vector<std::string> seeds;
  std::string line;
  std::getline(in, line);  // the column names
  for (int n = 0; std::getline(in, line); ++n) {
    const std::size_t first_tab = line.find('\t');
    const std::size_t second_tab = line.find('\t', first_tab + 1);
    if (second_tab == std::string::npos) continue;
    fuzzing::SymbolInput input;
    input.symbol = line.substr(first_tab + 1, second_tab - first_tab - 1);
    input.describe = n % 7 == 0;
    input.report_errors = true;
    seeds.push_back(fuzzing::encode_symbol_input(input));
  }
  for (const char* refused : {"Q 1", "P 5", "I 41/a c d", "P 2/", "P 4 3"}) {
    seeds.push_back(fuzzing::encode_symbol_input({refused, false, true}));
  }
  return seeds;
}

std::vector<std::string> sampler_seeds(const std::filesystem::path& table) {
  std::vector<std::string> seeds;
  int n = 0;
  for (const std::string& symbol_seed : symbol_seeds(table)) {
    fuzzing::SamplerInput input;
    input.symbol = fuzzing::decode_symbol_input(symbol_seed).symbol;
    input.patterson = n % 5 == 0;
    // Grids that suit the group and grids that do not, whole blocks and blocks starting below 0.
    const int shape = n++ % 4;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      input.divisions[axis] = static_cast<std::uint8_t>(shape % 2 == 0 ? 23 : 11 + 3 * axis);
      input.starts[axis] = static_cast<std::int8_t>(shape < 2 ? 0 : -3 - static_cast<int>(axis));
      input.steps[axis] = static_cast<std::uint8_t>(7 + axis + shape);
    }
    for (int code = 0; code < 64; ++code) {
      input.codes.push_back(static_cast<std::int16_t>(code * 997 - 30000));
    }
    seeds.push_back(fuzzing::encode_sampler_input(input));
  }
  return seeds;
}

std::vector<std::string> store_seeds(const Example& example) {
  std::vector<std::string> files = {example.experiment, ""};
  for (const Records& records : old_experiments())
    files.push_back(support::experiment_file_bytes(records));
  // Deleted records, a blank key and a key held twice.
  files.push_back(support::experiment_file_bytes({{"B", "second"},
                                                  support::deleted_record(),
                                                  {"A", "first"},
                                                  {"", "blank key"},
                                                  {"A", "again"},
                                                  {kLastRecord, ""}}));
  std::vector<std::string> seeds;
  for (const std::string& file : files) {
    seeds.push_back(fuzzing::encode_store_input({file, store_script()}));
  }
  return seeds;
}

std::vector<std::string> map_seeds(const Example& example) {
  constexpr int kFdm3m = 8, kP1 = 0, kP21c = 2, kRm3m = 6, kP63mmc = 7;
  constexpr int kFobs = 0, kPtsn = 3, kDelf = 2;
  std::vector<std::string> seeds = {map_seed(kFdm3m, kFobs, example.record_words, example.map)};
  seeds.push_back(map_seed(kP1, kFobs, 35, pattern_map({4, 4, 4}, {4, 4, 4}, 0, "FOBS", 35)));
  seeds.push_back(map_seed(kP21c, kDelf, 40, pattern_map({8, 6, 10}, {9, 4, 6}, 1, "DELF", 40)));
  seeds.push_back(map_seed(kP1, kPtsn, 64, pattern_map({6, 6, 8}, {7, 7, 5}, 2, "PTSN", 64)));
  seeds.push_back(
      map_seed(kRm3m, kFobs, 130, pattern_map({12, 12, 12}, {7, 7, 13}, 0, "FOBS", 130)));
  seeds.push_back(map_seed(kP63mmc, kFobs, 60, pattern_map({12, 12, 8}, {7, 7, 5}, 0, "FOBS", 60)));
  // Sections of more than one record, in a block larger than the cell's small grid.
  seeds.push_back(map_seed(kP1, kFobs, 8193, pattern_map({4, 4, 4}, {91, 91, 1}, 0, "FOBS", 8193)));
  return seeds;
}

std::vector<std::string> startup_seeds(const Example& example) {
  constexpr int kRunChoices = 9;
  const std::string answers = "Y\nA title for the new experiment\n";
  std::vector<std::string> seeds;
  for (int choice = 0; choice < kRunChoices; ++choice) {
    seeds.push_back(fuzzing::encode_startup_input(
        {choice, choice == 8 ? "silicon\n" : answers, example.experiment}));
  }
  const std::vector<Records> experiments = old_experiments();
  for (std::size_t n = 0; n < experiments.size(); ++n) {
    const std::string file = support::experiment_file_bytes(experiments[n]);
    for (int choice : {0, 1, 2}) {
      seeds.push_back(
          fuzzing::encode_startup_input({choice + 3 * static_cast<int>(n % 3), answers, file}));
    }
  }
  constexpr int kReformatting = 3;
  for (const Records& records : experiments) {
    seeds.push_back(
        fuzzing::encode_startup_input({kReformatting, answers, fixed_record_form(records)}));
    seeds.push_back(
        fuzzing::encode_startup_input({kReformatting, answers, text_line_form(records)}));
  }
  seeds.push_back(fuzzing::encode_startup_input({7, answers, ""}));
  return seeds;
}

}  // namespace seeds

namespace seeds {

namespace {

// A small grid file in mapconv's layout: one Gaussian at (0.25, 0.25, 0.25) and its inversion
// image, with `line_end` after every line.
std::string small_grid(int n, const std::string& map_type, const std::string& line_end) {
  std::string title = "Seed grid";
  title.resize(51, ' ');
  std::string text = title + map_type + line_end +
                     "  10.00000  10.00000  10.00000   90.0000   90.0000   90.0000" + line_end;
  char divisions[16];
  std::snprintf(divisions, sizeof divisions, "%4d%4d%4d", n, n, n);
  text += divisions + line_end;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) {
        double value = 0.0;
        for (const double centre : {0.25, 0.75}) {
          const double dx = double(i) / n - centre, dy = double(j) / n - centre,
                       dz = double(k) / n - centre;
          value += 9.0 * std::exp(-40.0 * (dx * dx + dy * dy + dz * dz));
        }
        char line[32];
        std::snprintf(line, sizeof line, "  %.9g", map_type == "DELF" ? value - 1.0 : value);
        text += line + line_end;
      }
    }
  }
  return text;
}

}  // namespace

std::vector<std::string> peaks_seeds(const Example& example) {
  using namespace std::string_literals;
  const std::string grid = small_grid(8, "FOBS", "\r\n");
  const std::string exp = "\0"s + example.experiment;
  return {
      "\0"s + grid,
      "--holes\x01--count\x01"
      "1\0"s +
          small_grid(6, "DELF", "\n"),
      "--group\x01P -1\0"s + grid,
      "--json\x01-\x01--csv\x01x\0"s + grid + exp,
      "--min-sigma=-1\x01--count=0\0"s + small_grid(5, "PTSN", "\r\n") + exp,
      "--json\x01-\0"s + grid + exp +
          "\0data_si\n_cell_length_a 5.4307\n_cell_length_b 5.4307\n_cell_length_c 5.4307\n"
          "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\nloop_\n"
          "_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
          "Si1 0.125 0.125 0.125\n"s,
      "--csv\x01-\x01--holes\0"s + small_grid(6, "DELF", "\n") + exp +
          "\0data_a\nloop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
          "_atom_site_fract_z\nX 0.1(2) ? 9\n"s,
  };
}

}  // namespace seeds
