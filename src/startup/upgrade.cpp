#include "startup/upgrade.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "expfile/atom_data.hpp"
#include "expfile/index.hpp"
#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "startup/console_input.hpp"
#include "startup/experiment_opening.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace startup {
namespace {

using textio::kTerminal;
constexpr int kPhaseCount = 9;
constexpr std::size_t kAtomTypeWidth = 8;
constexpr std::size_t kSizeTextWidth = 53;
constexpr std::size_t kVersionWidth = 5;
// A field of a one-digit and a three-digit number ("(I1,I3)").
constexpr std::size_t kNumberPairWidth = 4;

// A slice of an old record's value that an upgrade keeps: 0-based first column and length.
struct Columns {
  std::size_t first;
  std::size_t length;
};
// An old atom-type record keeps its first ten columns and the fields after its form factors.
constexpr Columns kAtomTypeLead{0, 10};
constexpr Columns kAtomTypeMiddle{50, 11};
constexpr Columns kAtomTypeTail{61, 7};
// An old preferred-orientation record is split around the inserted second ratio and flag.
constexpr Columns kOrientationLead{0, 10};
constexpr Columns kOrientationMiddle{10, 30};
constexpr std::size_t kOrientationFlagColumn = 44;
constexpr Columns kOrientationTail{45, 5};

std::string slice(const std::string& value, Columns columns) {
  return value.substr(columns.first, columns.length);
}

// Records numbered by one key character: "1" to "9".
constexpr int kLastNumberedRecord = 9;

using expfile::kAtomTypeCountKey;
using expfile::kAtomTypeKey;
using expfile::kHistogramCountKey;
using expfile::kOldFormFactorPrefix;
using expfile::kPhaseFlagsKey;
constexpr std::string_view kUpgradedLastRecordValue = "  Last record in the file";
constexpr std::string_view kDefaultPreferredOrientation =
    "   1.00000   1.00000   0.00000   0.00000   1.00000   NN    0";

using PhaseFlags = std::array<int, kPhaseCount>;

// A record with its own full key and its whole value.
struct Record {
  std::string key;
  std::string value;
};

std::optional<std::string> read_value(int unit, std::string_view key) {
  std::string value(expfile::kValueLength, ' ');
  if (expfile::KEYREAD(unit, key, value) != 0) return std::nullopt;
  return value;
}

// The first record in key order whose key begins with `prefix` (fewer than 12 characters). The
// read position then stands on it.
std::optional<Record> first_with_prefix(int unit, std::string_view prefix) {
  std::string rest(expfile::kValueLength, ' ');
  if (expfile::KEYREAD(unit, prefix, rest) != 0) return std::nullopt;
  Record record;
  record.key = std::string(prefix) + rest.substr(0, expfile::kKeyLength - prefix.size());
  record.value = read_value(unit, record.key).value_or(std::string(expfile::kValueLength, ' '));
  return record;
}

std::optional<Record> next_record(int unit) {
  Record record{std::string(expfile::kKeyLength, ' '), std::string(expfile::kValueLength, ' ')};
  if (expfile::KEYREAD(unit, record.key, record.value) != 0) return std::nullopt;
  return record;
}

void delete_record(int unit, std::string_view key) {
  std::string request(expfile::kDeleteRequest);
  expfile::KEYREAD(unit, key, request);
}

// Visits the first record whose key begins with `first_prefix` and then the records that follow
// it in key order while their keys begin with `following_prefix`. The visitor may rewrite the
// record in place, which leaves the read position where it is.
void for_each_in_key_order(int unit, std::string_view first_prefix,
                           std::string_view following_prefix,
                           const std::function<void(Record&)>& visit) {
  std::optional<Record> record = first_with_prefix(unit, first_prefix);
  while (record) {
    visit(*record);
    record = next_record(unit);
    if (record && !record->key.starts_with(following_prefix)) return;
  }
}

// Deletes every record whose key begins with `prefix`, first in key order first, handing each
// to `rewrite`, which must not write a key that begins with `prefix` again.
void move_each_with_prefix(int unit, std::string_view prefix,
                           const std::function<void(const Record&)>& rewrite) {
  while (std::optional<Record> record = first_with_prefix(unit, prefix)) {
    delete_record(unit, record->key);
    rewrite(*record);
  }
}

PhaseFlags phase_flags(int unit) {
  PhaseFlags flags{};
  if (std::optional<std::string> value = read_value(unit, kPhaseFlagsKey)) {
    textio::read_text(*value, "(9I5)", flags);
  }
  return flags;
}

// Calls `action` with the number of every histogram whose type begins with one of `kinds`.
void for_each_histogram_of(int unit, std::string_view kinds,
                           const std::function<void(int histogram, char kind)>& action) {
  const HistogramList histograms = HSTTYP(unit);
  for (std::size_t index = 0; index < histograms.types.size(); ++index) {
    const char kind = histograms.types[index][0];
    if (kinds.find(kind) != std::string_view::npos) action(static_cast<int>(index) + 1, kind);
  }
}

// A 4-column field holding a one-digit and a three-digit number is rewritten with a "0" for a
// blank first column; fields that do not read, or whose numbers do not add up above 0, stay.
void normalise_field(std::string& value, std::size_t column) {
  int digit = 0;
  int number = 0;
  const std::string field = value.substr(column - 1, kNumberPairWidth);
  if (textio::try_read_text(field, "(I1,I3)", digit, number) != 0) return;
  if (digit + number <= 0) return;
  value.replace(column - 1, kNumberPairWidth,
                textio::write_text(kNumberPairWidth, "(I1,I3)", digit, number));
}

void normalise_fields(int unit, Record& record, std::span<const std::size_t> columns) {
  for (std::size_t column : columns) normalise_field(record.value, column);
  expfile::WRITEXP(unit, record.key, record.value);
}

// The atom type of an old atom-type record: the first token of its first 8 columns.
std::string atom_type_symbol(std::string_view value) {
  int position = 1;
  std::string token(kAtomTypeWidth, ' ');
  int length = 0;
  NXTTOK(value.substr(0, kAtomTypeWidth), position, token, length);
  return textio::fit(token.substr(0, static_cast<std::size_t>(length)), kAtomTypeWidth);
}

// The atom-type records " EXPR ATYP 1" to "9" that exist, up to `count` of them.
std::vector<Record> old_atom_types(int unit, int count) {
  std::vector<Record> atom_types;
  for (int n = 1; n <= kLastNumberedRecord && static_cast<int>(atom_types.size()) < count; ++n) {
    const std::string key = textio::write_text(expfile::kKeyLength, "(A,I1)", kAtomTypeKey, n);
    if (std::optional<std::string> value = read_value(unit, key)) {
      atom_types.push_back({key, std::move(*value)});
    }
  }
  return atom_types;
}

// Version 0 to 1: atom-type records lose their form factors, which now come from the atom data
// file, one set of records per atom type. The atom data is fetched before any old record
// changes, so that a run stopped for want of it leaves a file that can still be upgraded.
void upgrade_atom_types(int unit) {
  const std::optional<std::string> count_value = read_value(unit, kAtomTypeCountKey);
  if (!count_value) return;
  int count = 0;
  textio::read_text(*count_value, "(I5)", count);
  const std::vector<Record> atom_types = old_atom_types(unit, count);
  for (const Record& atom_type : atom_types) {
    int status = 0;
    std::string size_text(kSizeTextWidth, ' ');
    expfile::ATMDAT(unit, atom_type_symbol(atom_type.value), status, size_text);
  }
  for (const auto& [key, value] : atom_types) {
    expfile::WRITEXP(unit, key,
                     slice(value, kAtomTypeLead) + slice(value, kAtomTypeMiddle) + "    " +
                         slice(value, kAtomTypeTail));
  }
  move_each_with_prefix(unit, kOldFormFactorPrefix, [](const Record&) {});
}

// The background of the old layout holds three coefficients in "BAKGD1" ahead of its other
// fields and three in each following numbered record; the new layout has its fields in
// "BAKGD " and four coefficients in each numbered record. A background of more than eight
// coefficients goes on into "BAKGD3" and further, four to a record, so that none is dropped.
struct Background {
  std::vector<float> coefficients;
  int count = 0;
  std::string flag = std::string(1, ' ');
  int integer = 0;
  std::string code = std::string(1, ' ');
};

constexpr int kOldPerRecord = 3;
constexpr int kNewPerRecord = 4;

std::string background_key(std::string_view prefix, int record) {
  return textio::write_text(expfile::kKeyLength, "(A,I1)", prefix, record);
}

Background read_old_background(int unit, std::string_view prefix, const std::string& first) {
  Background background;
  std::array<float, kOldPerRecord> coefficients{};
  textio::read_text(first, "(3E15.6,I3,2X,A1,4X,I1,4X,A)", coefficients, background.count,
                    background.flag, background.integer, background.code);
  background.coefficients.assign(coefficients.begin(), coefficients.end());
  const int held =
      std::clamp(background.count, 2 * kOldPerRecord, kLastNumberedRecord * kOldPerRecord);
  for (int record = 2; kOldPerRecord * (record - 1) < held; ++record) {
    std::string value(expfile::kValueLength, ' ');
    expfile::KEYREAD(unit, background_key(prefix, record), value);
    coefficients = {};
    textio::read_text(value, "(3E15.4)", coefficients);
    background.coefficients.insert(background.coefficients.end(), coefficients.begin(),
                                   coefficients.end());
  }
  return background;
}

void write_new_background(int unit, std::string_view prefix, Background background) {
  expfile::WRITEXP(
      unit, std::string(prefix) + " ",
      textio::write_text(expfile::kValueLength, "(2I5,4X,A1,I5,4X,A)", 1, background.count,
                         background.flag, background.integer, background.code));
  const int written =
      std::clamp(background.count, kNewPerRecord, kLastNumberedRecord * kNewPerRecord);
  background.coefficients.resize(static_cast<std::size_t>(written), 0.0f);
  const std::span<const float> coefficients(background.coefficients);
  for (int record = 1; kNewPerRecord * (record - 1) < written; ++record) {
    const std::size_t first = static_cast<std::size_t>(kNewPerRecord * (record - 1));
    const std::size_t count = std::min<std::size_t>(kNewPerRecord, coefficients.size() - first);
    expfile::WRITEXP(
        unit, background_key(prefix, record),
        textio::write_text(expfile::kValueLength, "(4E15.6)", coefficients.subspan(first, count)));
  }
}

// Version 1 to 2: the background of every powder histogram.
void upgrade_background(int unit) {
  for_each_histogram_of(unit, "P", [unit](int histogram, char) {
    const std::string prefix = expfile::HSTKEY(histogram) + std::string(expfile::kBackgroundItem);
    const std::optional<std::string> first = read_value(unit, background_key(prefix, 1));
    if (!first) return;
    write_new_background(unit, prefix, read_old_background(unit, prefix, *first));
  });
}

// Version 2 to 3: extinction moves from the powder histogram to each phase in it.
void upgrade_extinction(int unit) {
  const PhaseFlags flags = phase_flags(unit);
  for_each_histogram_of(unit, "P", [unit, &flags](int histogram, char) {
    const std::string value =
        read_value(unit, expfile::HSTKEY(histogram) + std::string(expfile::kExtinctionItem))
            .value_or(std::string(expfile::kValueLength, ' '));
    for (int phase = 1; phase <= kPhaseCount; ++phase) {
      if (flags[phase - 1] > 0) {
        expfile::WRITEXP(
            unit, expfile::HAPKEY(phase, histogram) + std::string(expfile::kExtinctionPhaseItem),
            value);
      }
    }
  });
}

// Version 3 to 4.
void upgrade_last_record(int unit) {
  expfile::WRITEXP(unit, expfile::kLastRecordKey, kUpgradedLastRecordValue);
}

// Version 4 to 5: numeric fields of constraint records get their leading zero.
void upgrade_constraint_fields(int unit) {
  static constexpr std::array<std::size_t, 4> kConstraintColumns = {3, 19, 35, 51};
  static constexpr std::array<std::size_t, 8> kHoldColumns = {3, 11, 19, 27, 35, 43, 51, 59};
  for_each_in_key_order(
      unit, expfile::kConstraintPrefix, expfile::kConstraintPrefix,
      [unit](Record& record) { normalise_fields(unit, record, kConstraintColumns); });
  for_each_in_key_order(unit, expfile::kHoldConstraintPrefix, expfile::kHoldConstraintEnd,
                        [unit](Record& record) {
                          const char kind = record.key[expfile::kHoldConstraintPrefix.size()];
                          if (kind != 'L' && kind != 'B')
                            normalise_fields(unit, record, kHoldColumns);
                        });
}

// The first record of the phase's scale in the histogram becomes its phase fraction (powder)
// or element fraction (single crystal).
void move_scale(int unit, int phase, int histogram, char kind) {
  const std::string prefix = expfile::HAPKEY(phase, histogram);
  const std::optional<Record> scale =
      first_with_prefix(unit, prefix + std::string(expfile::kScaleItem));
  if (!scale) return;
  delete_record(unit, scale->key);
  const std::string key = kind == 'P' ? prefix + std::string(expfile::kPhaseFractionItem)
                                      : prefix + std::string(expfile::kElementFractionItem) +
                                            scale->key[prefix.size() + expfile::kScaleItem.size()];
  expfile::WRITEXP(unit, key, scale->value);
}

void upgrade_preferred_orientation(int unit, int phase, int histogram) {
  const std::string prefix = expfile::HAPKEY(phase, histogram);
  std::string value(kDefaultPreferredOrientation);
  if (const std::optional<std::string> old =
          read_value(unit, prefix + std::string(expfile::kOldPreferredOrientationItem))) {
    delete_record(unit, prefix + std::string(expfile::kOldPreferredOrientationItem));
    value = slice(*old, kOrientationLead) + "   1.00000" + slice(*old, kOrientationMiddle) + "   " +
            (*old)[kOrientationFlagColumn] + "N" + slice(*old, kOrientationTail);
  }
  expfile::WRITEXP(unit, prefix + std::string(expfile::kPreferredOrientationItem), value);
  expfile::WRITEXP(unit, prefix + std::string(expfile::kOrientationAxesItem), "    1");
}

void upgrade_histogram_phases(int unit, const PhaseFlags& flags, int histogram, char kind) {
  for (int phase = 1; phase <= kPhaseCount; ++phase) {
    if (flags[phase - 1] != 0) move_scale(unit, phase, histogram, kind);
  }
  if (kind == 'S') {
    expfile::WRITEXP(unit, expfile::HSTKEY(histogram) + std::string(expfile::kInstrumentItem),
                     "    1");
    return;
  }
  for (int phase = 1; phase <= kPhaseCount; ++phase) {
    if (flags[phase - 1] > 0) upgrade_preferred_orientation(unit, phase, histogram);
  }
}

void move_constraint_records(int unit) {
  using namespace expfile;
  if (read_value(unit, kOldOrientationConstraintKey)) {
    move_each_with_prefix(unit, kOldOrientationConstraintPrefix, [unit](const Record& record) {
      WRITEXP(unit,
              std::string(kOrientationConstraintPrefix) +
                  record.key.substr(kOldOrientationConstraintPrefix.size()),
              record.value);
    });
  }
  move_each_with_prefix(unit, kScaleConstraintPrefix, [unit](const Record& record) {
    const std::size_t phase_column = kScaleConstraintPrefix.size();
    if (record.key[phase_column] == ' ' || record.key[phase_column] == '1') {
      WRITEXP(unit,
              std::string(kPhaseFractionConstraintPrefix) + record.key.substr(phase_column + 1),
              record.value);
      return;
    }
    textio::write_record(kTerminal, "(A,/,A,/,A)", " ***** Record: ", record.key + record.value,
                         " deleted *****");
  });
  move_each_with_prefix(unit, kOldInstrumentPrefix, [unit](const Record& record) {
    WRITEXP(unit, std::string(kInstrumentPrefix) + record.key.substr(kOldInstrumentPrefix.size()),
            record.value);
  });
}

// Version 5 to 6: phase fractions, preferred orientation with several axes, numbered
// instrument records.
void upgrade_phase_fractions(int unit) {
  const PhaseFlags flags = phase_flags(unit);
  if (!read_value(unit, kHistogramCountKey)) return;
  for_each_histogram_of(unit, "PS", [unit, &flags](int histogram, char kind) {
    upgrade_histogram_phases(unit, flags, histogram, kind);
  });
  move_constraint_records(unit);
}

}  // namespace

void UPGEXP(int unit, int& version) {
  using Step = void (*)(int);
  static constexpr std::array<Step, kCurrentExperimentVersion> kSteps = {
      upgrade_atom_types,  upgrade_background,        upgrade_extinction,
      upgrade_last_record, upgrade_constraint_fields, upgrade_phase_fractions};
  for (int start = 0; start < kCurrentExperimentVersion; ++start) {
    if (version != start) continue;
    kSteps[static_cast<std::size_t>(start)](unit);
    version = start + 1;
  }
  textio::write_record(kTerminal, "(A,I2)", "The EXP file was converted to version", version);
}

void upgrade_records(int unit, int version) {
  UPGEXP(unit, version);
  expfile::WRITEXP(unit, expfile::kVersionKey,
                   textio::write_text(kVersionWidth, "(I5)", kCurrentExperimentVersion));
}

void upgrade_experiment_file(ExperimentHold& hold, int version) {
  textio::OpenOptions options{.status = "OLD",
                              .access = textio::Access::direct,
                              .form = textio::Form::formatted,
                              .record_length = textio::unit_record_length(hold.unit())};
  // The upgrade writes through a temporary copy of the file, which starts as the file itself: the
  // file's index serves the copy when the file is still what the index was built from.
  const int unit = hold.unit();
  hold.close();
  options.through_temporary = true;
  hold.open(options, unit);
  upgrade_records(hold.unit(), version);
  hold.close();
  options.through_temporary = false;
  hold.open(options, unit);
}

}  // namespace startup
