// First stage of reading a space-group symbol: characters to token codes, laid out in fields.
#pragma once

#include <array>
#include <string_view>

namespace symmetry {

// Token codes: the place of a character in the symbol alphabet. Lower-case letters share the
// code of their upper-case letter.
enum Token : int {
  kEmpty = 0,  // no token at this position
  kBlank = 1,
  kTokenC = 2,
  kTokenB = 3,
  kTokenA = 4,
  kTokenP = 5,
  kTokenF = 6,
  kTokenI = 7,
  kTokenR = 8,
  kTokenM = 9,
  kTokenN = 10,
  kTokenD = 11,
  kDigit1 = 12,
  kDigit2 = 13,
  kDigit3 = 14,
  kDigit4 = 15,
  kDigit5 = 16,
  kDigit6 = 17,
  kMinus = 18,
  kSlash = 19,
  kTokenH = 20,
  kDot = 21,
  kTab = 33,
};

inline constexpr int kMaxFields = 4;
inline constexpr int kMaxTokensPerField = 4;

constexpr bool is_letter(int code) {
  return code >= kTokenC && code <= kTokenD;
}
constexpr bool is_digit(int code) {
  return code >= kDigit1 && code <= kDigit6;
}
// The value 1 to 6 of a digit token, 0 for any other token.
constexpr int digit_value(int code) {
  return is_digit(code) ? code - kDigit1 + 1 : 0;
}
constexpr int digit_token(int value) {
  return kDigit1 + value - 1;
}

// Up to four fields of up to four tokens. Field 1 holds the lattice letter, fields 2 to 4 the
// operator fields. Positions and fields are numbered from 1, so that field 2 is the "2nd operator
// field" of the error messages.
struct TokenGrid {
  std::array<std::array<int, kMaxTokensPerField>, kMaxFields> codes{};
  int field_count = 0;

  // The code at `position` of `field`; kEmpty outside the grid.
  int t(int position, int field) const;
  void set(int position, int field, int code);
  bool begins_with(int field, int code) const { return t(1, field) == code; }
  // True when the field opens with the two tokens `first` and `second` ("21", "-4" after the
  // bar has been moved behind its digit, ...).
  bool starts(int field, int first, int second) const {
    return t(1, field) == first && t(2, field) == second;
  }
  void clear_field(int field);
};

struct TokenisedSymbol {
  TokenGrid grid;
  int lattice_type = 0;  // set only when the lattice letter was accepted
  int error = 0;         // 0, kIllegalCharacter, kTooFewFields, kIllegalLattice or kBarWithoutDigit
};

// Splits the symbol (its first 20 characters) into fields, checks the lattice letter and moves
// each leading bar behind its digit.
TokenisedSymbol tokenise(std::string_view symbol);

}  // namespace symmetry
