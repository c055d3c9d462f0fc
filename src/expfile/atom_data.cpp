#include "expfile/atom_data.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <vector>

#include "expfile/store.hpp"
#include "expfile/terminal.hpp"
#include "os/os.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace expfile {
namespace {

// Hydrogen and its two isotopes first, then helium to californium by atomic number.
constexpr std::array<std::string_view, kElementCount> kElementSymbols = {
    " H", " D", " T", "HE", "LI", "BE", " B", " C", " N", " O", " F", "NE", "NA", "MG", "AL",
    "SI", " P", " S", "CL", "AR", " K", "CA", "SC", "TI", " V", "CR", "MN", "FE", "CO", "NI",
    "CU", "ZN", "GA", "GE", "AS", "SE", "BR", "KR", "RB", "SR", " Y", "ZR", "NB", "MO", "TC",
    "RU", "RH", "PD", "AG", "CD", "IN", "SN", "SB", "TE", " I", "XE", "CS", "BA", "LA", "CE",
    "PR", "ND", "PM", "SM", "EU", "GD", "TB", "DY", "HO", "ER", "TM", "YB", "LU", "HF", "TA",
    " W", "RE", "OS", "IR", "PT", "AU", "HG", "TL", "PB", "BI", "PO", "AT", "RN", "FR", "RA",
    "AC", "TH", "PA", " U", "NP", "PU", "AM", "CM", "BK", "CF"};

constexpr int kDeuteriumEntry = 2;
constexpr int kTritiumEntry = 3;
constexpr std::size_t kAtomTypeLength = 8;
constexpr std::size_t kLineLength = 80;
constexpr std::size_t kSizeTextLength = 53;
constexpr std::string_view kRecordPrefix = " AFAC ";
// Columns of an element or atom key: the atomic number, a blank, the symbol from column 3, the
// element's suffix from column 5 (in an atom key "_" and the isotope label from column 6), and in
// a data line's key the kind of line from column 8.
constexpr std::size_t kKeySymbolColumn = 3;
constexpr std::size_t kKeySuffixColumn = 5;
constexpr std::size_t kIsotopeLabelColumn = 6;
constexpr std::size_t kLineKindColumn = 8;
// Symbol and suffix as record names carry them, and the neutron record's name before the mass.
constexpr std::size_t kNamedSuffixLength = 4;
// The isotope as messages show it: symbol, "_" and the label.
constexpr std::size_t kIsotopeNameLength = 6;
constexpr std::size_t kNeutronNameWithoutMass = kRecordPrefix.size() + 3;

// The keys of one atom type: the element's X-ray line and the atom's neutron line.
struct AtomKeys {
  std::string symbol;       // two characters, as in the element table
  std::string element_key;  // atomic number, symbol, then a charge or valence suffix
  std::string atom_key;     // atomic number, symbol, "_", then an isotope label
  bool has_isotope_label = false;
};

bool is_capital(char c) {
  return c >= 'A' && c <= 'Z';
}

void report_improper(const std::string& type) {
  const std::size_t blank = type.find(' ');
  const std::string shown = blank == std::string::npos ? type : type.substr(0, blank + 1);
  write_line(" **** Atom type " + shown + " improperly given ****");
}

// "H", "D" and "T" share hydrogen's lines; the isotopes are told apart by their mass numbers.
std::string atom_key_of(int entry, const std::string& element_key) {
  std::string key = element_key.substr(0, kKeySuffixColumn) + "_";
  if (entry == kDeuteriumEntry) key += "2";
  if (entry == kTritiumEntry) key += "3";
  return textio::fit(key, kKeyLength);
}

// Applies what follows the symbol before the first blank; false when it is not a valid suffix.
bool apply_suffix(const std::string& type, std::size_t symbol_length, AtomKeys& keys) {
  const std::size_t end = std::min(type.find(' '), kAtomTypeLength);
  if (symbol_length >= end) return true;
  const char first = type[symbol_length];
  const std::string head = keys.element_key.substr(0, kKeySuffixColumn);
  if (first == 'V' && keys.symbol == "SI") {
    keys.element_key = textio::fit(head + "V", kKeyLength);
  } else if (first == '+' || first == '-') {
    keys.element_key = textio::fit(head + type.substr(symbol_length, 2), kKeyLength);
  } else if (first != '_') {
    return false;
  }
  return true;
}

std::optional<AtomKeys> parse_atom_type(const std::string& type) {
  if (!is_capital(type[0])) {
    report_improper(type);
    return std::nullopt;
  }
  const std::size_t symbol_length = is_capital(type[1]) ? 2 : 1;
  AtomKeys keys;
  keys.symbol = symbol_length == 2 ? type.substr(0, 2) : " " + type.substr(0, 1);
  const int entry = element_entry(keys.symbol);
  if (entry == 0) {
    write_line(" **** Unknown element symbol " + keys.symbol + " ****");
    return std::nullopt;
  }
  const std::string_view table_symbol = entry <= kTritiumEntry ? element_symbol(1) : keys.symbol;
  keys.element_key =
      textio::write_text(kKeyLength, "(I2,1X,A)", atomic_number(entry), std::string(table_symbol));
  keys.atom_key = atom_key_of(entry, keys.element_key);
  const std::size_t underscore = type.find('_');
  keys.has_isotope_label = underscore != std::string::npos;
  if (keys.has_isotope_label) {
    keys.atom_key = textio::fit(
        keys.atom_key.substr(0, kIsotopeLabelColumn) + type.substr(underscore + 1), kKeyLength);
  }
  if (!apply_suffix(type, symbol_length, keys)) {
    report_improper(type);
    return std::nullopt;
  }
  return keys;
}

struct InstalledDirectory {
  std::string path;
};

std::string& installed_directory() {
  return textio::program_state<InstalledDirectory>().path;
}

std::string installation_directory() {
  for (const char* name : {"TARN", "tarn"}) {
    const std::optional<std::string> value = os::environment_variable(name);
    if (!value) continue;
    const std::string_view directory = textio::trim_right(*value);
    if (!directory.empty()) return std::string(directory);
  }
  const std::string& installed = installed_directory();
  if (!installed.empty() && textio::file_exists(installed + std::string(kAtomDataFile))) {
    return installed;
  }
  textio::stop_run("ERROR - Environment variable TARN is undefined");
}

int line_number(const std::string& line) {
  int number = 0;
  textio::read_text(line, "(I2)", number);
  return number;
}

// The lines after the first line numbered `z`, up to and including the first line with another
// number (or the end of the file). The group is kept whole, however long it is.
std::vector<std::string> read_element_group(int z) {
  textio::OpenOptions options;
  options.status = "OLD";
  int unit = textio::kFirstFreeUnit;
  textio::NEWUNT(unit);
  textio::open_unit(unit, installation_directory() + std::string(kAtomDataFile), options);
  std::string line(kLineLength, ' ');
  do {
    textio::read_record(unit, "(A)", line);
  } while (line_number(line) != z);

  std::vector<std::string> group;
  for (int status; (status = textio::try_read_record(unit, "(A)", line)) != textio::kEndOfFile;) {
    if (status != textio::kOk) textio::raise_io_failure(status);
    group.push_back(line);
    if (line_number(line) != z) break;
  }
  textio::close_unit(unit);
  return group;
}

// The value of the line with `key`, when the group holds one.
std::optional<std::string> find_line(const std::vector<std::string>& group, std::string_view key) {
  std::string value;
  if (ATMSRCH(group, static_cast<int>(group.size()), key, value) != 0) return std::nullopt;
  return value;
}

// The neutron record of deuterium, and of tritium named without a label, does not carry the
// isotope's mass number.
std::string neutron_record_key(const AtomKeys& keys) {
  const std::string key = std::string(kRecordPrefix) + keys.symbol +
                          keys.atom_key.substr(kKeySuffixColumn, kNamedSuffixLength);
  const bool drop_mass = keys.symbol == " D" || (keys.symbol == " T" && !keys.has_isotope_label);
  return drop_mass ? textio::fit(key.substr(0, kNeutronNameWithoutMass), kKeyLength) : key;
}

// The X-ray record of the element and the neutron record of the atom; false, with the message,
// when the group lacks either line.
bool write_scattering_records(int unit, const std::vector<std::string>& group,
                              const AtomKeys& keys) {
  const std::optional<std::string> xray = find_line(group, keys.element_key);
  if (!xray) {
    write_line(" **** No X-ray scattering factors available for " +
               keys.element_key.substr(kKeySymbolColumn, kNamedSuffixLength) + "****");
    return false;
  }
  WRITEXP(unit,
          std::string(kRecordPrefix) + keys.symbol +
              keys.element_key.substr(kKeySuffixColumn, kNamedSuffixLength),
          *xray);
  const std::optional<std::string> neutron = find_line(group, keys.atom_key);
  if (!neutron) {
    write_line(" **** No neutron data available for isotope " +
               keys.atom_key.substr(kKeySymbolColumn, kIsotopeNameLength) + " ****");
    return false;
  }
  WRITEXP(unit, neutron_record_key(keys), *neutron);
  return true;
}

// The element's "M" and "N" lines, copied only when the group holds them.
void write_magnetic_records(int unit, const std::vector<std::string>& group, const AtomKeys& keys) {
  for (const char kind : {'M', 'N'}) {
    const std::string line_key = keys.element_key.substr(0, kLineKindColumn) + kind + "   ";
    if (const std::optional<std::string> value = find_line(group, line_key)) {
      WRITEXP(unit,
              std::string(kRecordPrefix) +
                  keys.element_key.substr(kKeySymbolColumn, kNamedSuffixLength) + " " + kind,
              *value);
    }
  }
}

// Copies the atom's line of this kind ("XAB", "XAN", "SIZ"), written with a blank value when the
// group lacks it, and returns the value.
std::string copy_atom_line(int unit, const std::vector<std::string>& group, const AtomKeys& keys,
                           std::string_view kind) {
  const std::string line_key =
      keys.atom_key.substr(0, kIsotopeLabelColumn) + std::string(kind) + "   ";
  const std::string value = find_line(group, line_key).value_or(std::string(kValueLength, ' '));
  WRITEXP(unit, std::string(kRecordPrefix) + keys.symbol + "_" + std::string(kind), value);
  return value;
}

}  // namespace

void set_installed_directory(std::string_view directory) {
  installed_directory() = std::string(directory);
}

std::string_view element_symbol(int entry) {
  if (entry < 1 || entry > kElementCount) return {};
  return kElementSymbols[static_cast<std::size_t>(entry - 1)];
}

int element_entry(std::string_view symbol) {
  const auto found = std::find(kElementSymbols.begin(), kElementSymbols.end(), symbol);
  return found == kElementSymbols.end() ? 0 : static_cast<int>(found - kElementSymbols.begin()) + 1;
}

int atomic_number(int entry) {
  return entry <= kTritiumEntry ? 1 : entry - 2;
}

void ATMDAT(int unit, std::string_view atom_type, int& status, std::string& size_text) {
  status = 1;
  const std::optional<AtomKeys> keys = parse_atom_type(textio::fit(atom_type, kAtomTypeLength));
  if (!keys) return;
  const std::vector<std::string> group =
      read_element_group(atomic_number(element_entry(keys->symbol)));
  if (!write_scattering_records(unit, group, *keys)) return;
  write_magnetic_records(unit, group, *keys);
  copy_atom_line(unit, group, *keys, "XAB");
  copy_atom_line(unit, group, *keys, "XAN");
  size_text = textio::fit(copy_atom_line(unit, group, *keys, "SIZ"), kSizeTextLength);
  status = 0;
}

int ATMSRCH(std::span<const std::string> lines, int count, std::string_view key,
            std::string& value) {
  const std::string wanted = textio::fit(key, kKeyLength);
  const std::size_t searched = std::min(lines.size(), static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t n = 0; n < searched; ++n) {
    const std::string line = textio::fit(lines[n], kLineLength);
    if (line.compare(0, kKeyLength, wanted) == 0) {
      value = line.substr(kKeyLength, kValueLength);
      return 0;
    }
  }
  value.assign(kValueLength, ' ');
  return 1;
}

}  // namespace expfile
