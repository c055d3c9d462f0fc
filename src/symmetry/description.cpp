#include "symmetry/description.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "symmetry/classification.hpp"
#include "symmetry/errors.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"

namespace symmetry {
namespace {

// Each text table holds its entries at their stored width, blank-padded.
constexpr std::array<std::string_view, 7> kLatticeNames = {
    "  primitive ", " A-centered ", " B-centered ", " C-centered ",
    " I-centered ", " F-centered ", " R-centered ",
};

constexpr std::array<std::string_view, 8> kCrystalSystems = {
    "triclinic   ", "monoclinic  ", "orthorhombic", "tetragonal  ",
    "trigonal    ", "trigonal    ", "hexagonal   ", "cubic       ",
};

// The crystal system of each Laue class 1 to 14, as an entry number of kCrystalSystems.
constexpr std::array<int, 14> kSystemOfLaueClass = {1, 2, 3, 4, 4, 5, 5, 6, 6, 6, 7, 7, 8, 8};

constexpr std::array<std::string_view, 14> kLaueClassTexts = {
    "1bar  ", "2/m   ", "mmm   ", "4/m   ", "4/mmm ", "3bar  ", "3bar m",
    "3bar  ", "3barm1", "3bar1m", "6/m   ", "6/mmm ", "m 3   ", "m3m   ",
};

constexpr std::array<std::string_view, 8> kPolarDirections = {"x  ", "y  ", "x y", "z  ",
                                                              "x z", "y z", "xyz", "111"};

constexpr std::array<std::string_view, 3> kUniqueAxisLetters = {"a", "b", "c"};

// By the translation in twelfths, 0 to 11; 4 characters stored, 3 printed.
constexpr std::array<std::string_view, 12> kTranslationTexts = {
    "    ", "ERR ", "1/6 ", "1/4 ", "1/3 ", "ERR ", "1/2 ", "ERR ", "2/3 ", "3/4 ", "5/6 ", "ERR ",
};

// Coordinate terms 1 to 12: a row code r of -4 to 4 selects term r + 5, or r + 8 for a single
// positive coordinate after a translation; 4 characters stored, 3 printed.
constexpr std::array<std::string_view, 12> kCoordinateTerms = {
    "-Z  ", "-Y  ", "-X  ", "X-Y ", "ERR ", "Y-X ", "X   ", "Y   ", "Z   ", "+X  ", "+Y  ", "+Z  ",
};
constexpr int kErrorTerm = 5;

// Entry `number` (counted from 1) of a text table, blank when there is none.
template <std::size_t N>
std::string_view entry(const std::array<std::string_view, N>& table, int number) {
  if (number < 1 || number > static_cast<int>(N)) return {};
  return table[number - 1];
}

int polar_axis_code(const OperatorArray& operators, int operator_count, int centric) {
  bool x = true;
  bool y = true;
  bool z = true;
  bool some_positive_r13 = false;
  bool some_negative_r13 = false;
  for (int k = 0; k < operator_count; ++k) {
    const auto& r = operators[k].rotation;
    x = x && r[0][0] == 1;
    y = y && r[1][1] == 1;
    z = z && r[2][2] == 1;
    some_positive_r13 = some_positive_r13 || r[0][2] > 0;
    some_negative_r13 = some_negative_r13 || r[0][2] < 0;
  }
  const bool diagonal = some_positive_r13 && !some_negative_r13;
  const int code = (x ? 1 : 0) + (y ? 2 : 0) + (z ? 4 : 0) + (diagonal ? 8 : 0);
  return code * (1 - centric);
}

std::string_view coordinate_term(const SymmetryOperator& op, int row) {
  const auto& r = op.rotation[row];
  const int code = 2 * r[0] + 3 * r[1] + 4 * r[2];
  if (code < -4 || code > 4) return entry(kCoordinateTerms, kErrorTerm);
  const bool signed_term = op.translation[row] != 0 && code >= 2;
  return entry(kCoordinateTerms, code + (signed_term ? 8 : 5));
}

std::string_view translation_text(int twelfths) {
  return entry(kTranslationTexts, twelfths + 1);
}

void write_heading(int unit, std::string_view symbol, int laue_class, int unique_axis, int centric,
                   int lattice_type, int multiplicity, int polar_axis) {
  textio::write_record(unit, "(/' Space group ',A)", textio::fit(symbol, kSymbolWidth));
  const int system = laue_class >= 1 && laue_class <= 14 ? kSystemOfLaueClass[laue_class - 1] : 0;
  textio::write_record(unit, "(' The lattice is',A,'centric ',A12,A12,'  Laue symmetry ',A6)",
                       centric == 1 ? " " : " a", entry(kLatticeNames, lattice_type),
                       entry(kCrystalSystems, system), entry(kLaueClassTexts, laue_class));
  textio::write_record(unit, "('  Multiplicity of a general site is',I4)", multiplicity);
  if (unique_axis >= 1 && unique_axis <= 3) {
    textio::write_record(unit, "('  The unique axis is ',A)",
                         entry(kUniqueAxisLetters, unique_axis));
  }
  if (centric == 1) {
    textio::write_record(unit, "('  The symmetry of the point 0,0,0 contains 1bar')");
  }
  if (polar_axis > 0) {
    textio::write_record(unit, "('  The location of the origin is arbitrary in ',A3)",
                         entry(kPolarDirections, polar_axis));
  }
}

// One line of the list: `count` operators from operator `first` (counted from 0).
void write_operator_line(int unit, const OperatorArray& operators, int first, int count) {
  std::vector<textio::OutItem> items;
  for (int k = first; k < first + count; ++k) {
    items.push_back({textio::OutItem::Kind::integer, k + 1, 0.0, {}});
    for (int row = 0; row < 3; ++row) {
      items.push_back(
          {textio::OutItem::Kind::text, 0, 0.0, translation_text(operators[k].translation[row])});
      items.push_back({textio::OutItem::Kind::text, 0, 0.0, coordinate_term(operators[k], row)});
    }
  }
  const std::string format = "(" + std::to_string(count) + "(1X,'(',I2,')',3(1X,A3,A3)))";
  if (const int status = textio::try_write_record_items(unit, format, items)) {
    textio::raise_io_failure(status);
  }
}

void write_operators(int unit, const OperatorArray& operators, int operator_count, int laue_class) {
  textio::write_record(unit, "(/' The equivalent positions are:'/)");
  const int per_line = laue_class <= kLaue4mmm ? 2 : 3;
  for (int first = 0; first < operator_count; first += per_line) {
    const int count = std::min(per_line, operator_count - first);
    write_operator_line(unit, operators, first, count);
  }
  textio::write_record(unit, "(1X)");
}

}  // namespace

void SYMLST(std::string_view symbol, const OperatorArray& operators, int laue_class,
            int unique_axis, int centric, int lattice_type, int operator_count, int centring_count,
            int description_unit, int& polar_axis) {
  polar_axis = polar_axis_code(operators, operator_count, centric);
  if (!reports_to(description_unit)) return;
  const int multiplicity = operator_count * centring_count * (1 + centric);
  write_heading(description_unit, symbol, laue_class, unique_axis, centric, lattice_type,
                multiplicity, polar_axis);
  write_operators(description_unit, operators, operator_count, laue_class);
}

}  // namespace symmetry
