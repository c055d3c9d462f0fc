// The record keys of the experiment file. Keys of phases, histograms and phases in histograms
// are a 6-character prefix naming the class and its numbers, followed by a 6-character item
// name; because the prefix comes first, the records of one phase or histogram stand together in
// key order.
#pragma once

#include <string>
#include <string_view>

namespace expfile {

// ---- Whole keys ----
inline constexpr std::string_view kDescriptionKey = "      DESCR ";
inline constexpr std::string_view kVersionKey = "     VERSION";
inline constexpr std::string_view kLastRecordKey = "ZZZZZZZZZZZZ";
inline constexpr std::string_view kDeletedKey = "~~~~~~~~~~~~";
inline constexpr std::string_view kHistogramCountKey = " EXPR  NHST ";
inline constexpr std::string_view kAtomTypeCountKey = " EXPR  NATYP";
inline constexpr std::string_view kPhaseFlagsKey = " EXPR NPHAS ";
// The Fourier map computed last: its phase in columns 12-13 of the value.
inline constexpr std::string_view kFourierControlKey = "  FOUR CDAT1";

// ---- Keys completed by a number: the prefix, then the record's number 1-9 ----
inline constexpr std::string_view kHistogramTypesKey = " EXPR  HTYP";
inline constexpr std::string_view kAtomTypeKey = " EXPR ATYP ";
// The form-factor records of files before version 6; any number follows the prefix.
inline constexpr std::string_view kOldFormFactorPrefix = " EXPR FFAC";

// ---- Keys of version-5 files that the upgrade renames, and their new prefixes ----
inline constexpr std::string_view kOldOrientationConstraintKey = "LEQV PRFO   ";
inline constexpr std::string_view kOldOrientationConstraintPrefix = "LEQV PRFO";
inline constexpr std::string_view kOrientationConstraintPrefix = "LEQV POR1";
// A scale constraint: the prefix, then the phase's column (blank or "1" for the first phase).
inline constexpr std::string_view kScaleConstraintPrefix = "LEQV SCAL";
inline constexpr std::string_view kPhaseFractionConstraintPrefix = "LEQV PHSFR";
inline constexpr std::string_view kOldInstrumentPrefix = "INST  ";
inline constexpr std::string_view kInstrumentPrefix = "INST 1";
// The instrument item of a single-crystal histogram, after HSTKEY.
inline constexpr std::string_view kInstrumentItem = "  INST";
// Constraint records whose numeric fields the upgrade normalises.
inline constexpr std::string_view kConstraintPrefix = "LNCN";
inline constexpr std::string_view kHoldConstraintPrefix = "LEQV HOLD";
// The last key of the hold constraints in key order starts with this.
inline constexpr std::string_view kHoldConstraintEnd = "LEQV HOLD ";

// ---- Item names of a histogram, after HSTKEY ----
// Followed by the background record's number.
inline constexpr std::string_view kBackgroundItem = "BAKGD";
inline constexpr std::string_view kExtinctionItem = "EXTPOW";

// ---- Item names of a phase in a histogram, after HAPKEY ----
inline constexpr std::string_view kExtinctionPhaseItem = "EXTPOW";
// Followed by the record's number.
inline constexpr std::string_view kScaleItem = "SCALE";
inline constexpr std::string_view kPhaseFractionItem = "PHSFR ";
// Followed by the scale record's number.
inline constexpr std::string_view kElementFractionItem = "ELMFR";
inline constexpr std::string_view kOldPreferredOrientationItem = "PREFOR";
inline constexpr std::string_view kPreferredOrientationItem = "PREFO1";
inline constexpr std::string_view kOrientationAxesItem = "NAXIS ";

// ---- Item names of a phase, after CRSKEY ----
inline constexpr std::string_view kCellLengthsItem = "ABC   ";
inline constexpr std::string_view kCellAnglesItem = "ANGLES";
inline constexpr std::string_view kSpaceGroupItem = "SG SYM";

// " EXPR ", the 4-character map type and "RL": the record length of that map file in words.
std::string map_record_length_key(std::string_view map_type);

// "CRS", the phase as one digit, two blanks.
std::string CRSKEY(int phase);

// "HST ", the histogram as two digits right-justified.
std::string HSTKEY(int histogram);

// "HAP", the phase as one digit, the histogram as two digits right-justified.
std::string HAPKEY(int phase, int histogram);

// Reports that the record with `key` is missing and stops the run without a stop text.
// The unit and the status are accepted for the callers' convenience and not used.
[[noreturn]] void ISAMERR(int unit, std::string_view key, int status);

}  // namespace expfile
