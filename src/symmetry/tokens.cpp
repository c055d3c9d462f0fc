#include "symmetry/tokens.hpp"

#include <utility>

#include "symmetry/errors.hpp"
#include "symmetry/operator_set.hpp"

namespace symmetry {
namespace {

// The symbol alphabet; a character's code is its place in it, counted from 1.
constexpr std::string_view kAlphabet = " CBAPFIRMND123456-/H.cbapfirmndh\t";
constexpr int kFirstLowerCase = 22;
// The codes of the lower-case letters "cbapfirmndh", in alphabet order.
constexpr std::array<int, 11> kLowerCaseCodes = {kTokenC, kTokenB, kTokenA, kTokenP,
                                                 kTokenF, kTokenI, kTokenR, kTokenM,
                                                 kTokenN, kTokenD, kTokenH};

// The token code of a character, kEmpty when it is not in the alphabet.
int token_code(char c) {
  const auto place = kAlphabet.find(c);
  if (place == std::string_view::npos) return kEmpty;
  const int code = static_cast<int>(place) + 1;
  if (code >= kFirstLowerCase && code < kTab) return kLowerCaseCodes[code - kFirstLowerCase];
  return code;
}

int lattice_type_of(int letter) {
  switch (letter) {
    case kTokenC:
      return kLatticeC;
    case kTokenB:
      return kLatticeB;
    case kTokenA:
      return kLatticeA;
    case kTokenP:
      return kLatticeP;
    case kTokenF:
      return kLatticeF;
    case kTokenI:
      return kLatticeI;
    case kTokenR:
      return kLatticeR;
    default:
      return 0;
  }
}

// Fills the grid from the characters; returns 0 or the illegal-character error. Only closed
// fields count: a field still open when the characters run out is dropped.
int scan_fields(std::string_view symbol, TokenGrid& grid) {
  int field = 1;
  int tokens_in_field = 0;
  auto close_field = [&] {
    ++grid.field_count;
    ++field;
    tokens_in_field = 0;
  };
  for (std::size_t i = 0; i < kSymbolWidth; ++i) {
    const char c = i < symbol.size() ? symbol[i] : ' ';
    const int code = token_code(c);
    if (code == kEmpty) return kIllegalCharacter;
    if (code == kBlank || code == kTab) {
      if (tokens_in_field > 0) close_field();
      continue;
    }
    if (field > kMaxFields) break;
    grid.set(++tokens_in_field, field, code);
    if (is_letter(code) || tokens_in_field == kMaxTokensPerField) close_field();
  }
  if (field <= kMaxFields) grid.clear_field(field);
  return 0;
}

// A leading bar is moved behind its digit, so that a bar is always the token after the digit.
int move_bars_behind_digits(TokenGrid& grid) {
  for (int field = 2; field <= grid.field_count; ++field) {
    if (grid.t(1, field) != kMinus) continue;
    grid.set(1, field, grid.t(2, field));
    grid.set(2, field, kMinus);
    if (!is_digit(grid.t(1, field))) return kBarWithoutDigit;
  }
  return 0;
}

}  // namespace

int TokenGrid::t(int position, int field) const {
  if (position < 1 || position > kMaxTokensPerField || field < 1 || field > kMaxFields) {
    return kEmpty;
  }
  return codes[field - 1][position - 1];
}

void TokenGrid::set(int position, int field, int code) {
  codes.at(field - 1).at(position - 1) = code;
}

void TokenGrid::clear_field(int field) {
  codes.at(field - 1).fill(kEmpty);
}

TokenisedSymbol tokenise(std::string_view symbol) {
  TokenisedSymbol result;
  result.error = scan_fields(symbol, result.grid);
  if (result.error != 0) return result;
  if (result.grid.field_count < 2) {
    result.error = kTooFewFields;
    return result;
  }
  const int lattice_type = lattice_type_of(result.grid.t(1, 1));
  if (lattice_type == 0) {
    result.error = kIllegalLattice;
    return result;
  }
  result.lattice_type = lattice_type;
  result.error = move_bars_behind_digits(result.grid);
  return result;
}

}  // namespace symmetry
