#include "symmetry/generators.hpp"

#include <cstdlib>

#include "symmetry/errors.hpp"

namespace symmetry {
namespace {

// What a token builds, chosen by the distance of its code from the code of P. The letters F, I
// and R lie at the distances of a, b and c and build those glides.
enum Rule : int {
  kRuleGlideA = 1,
  kRuleGlideB = 2,
  kRuleGlideC = 3,
  kRuleMirror = 4,
  kRuleGlideN = 5,
  kRuleGlideD = 6,
  kRuleOneFold = 7,
  kRuleTwoFold = 8,
  kRuleThreeFold = 9,
  kRuleFourFold = 10,
  kRuleFiveFold = 11,
  kRuleSixFold = 12,
};

GeneratorRule built(const Rotation& rotation, int t1, int t2, int t3) {
  GeneratorRule rule;
  rule.generator = WorkingMatrix{{rotation, {t1, t2, t3}}, 0, 0};
  return rule;
}

GeneratorRule failed(int error) {
  GeneratorRule rule;
  rule.error = error;
  return rule;
}

GeneratorRule none_built(bool makes_centric) {
  GeneratorRule rule;
  rule.makes_centric = makes_centric;
  return rule;
}

// The rules for one operator token, with the facts about its field that they ask.
class TokenRules {
 public:
  TokenRules(const SymbolContext& symbol, int field)
      : grid_(symbol.grid),
        lattice_type_(symbol.lattice_type),
        laue_(symbol.classification.laue_class),
        d_glides_(symbol.classification.d_glide_count),
        S_(symbol.classification.shifts),
        field_(field) {}

  GeneratorRule plane(int g) const;
  GeneratorRule d_glide() const;
  GeneratorRule one_fold() const { return none_built(barred()); }
  GeneratorRule two_fold() const;
  GeneratorRule three_fold() const;
  GeneratorRule four_fold() const;
  GeneratorRule six_fold() const;

 private:
  bool begins(int field, int code) const { return grid_.begins_with(field, code); }
  bool begins_digit(int field, int digit) const { return begins(field, digit_token(digit)); }
  bool barred() const { return grid_.t(2, field_) == kMinus; }
  int screw() const { return digit_value(grid_.t(2, field_)); }
  int half_if_21() const { return grid_.starts(field_, kDigit2, kDigit1) ? kHalf : 0; }
  bool low_symmetry_field2() const { return field_ == 2 && laue_ <= kLaueMmm; }
  bool hexagonal_field2() const { return begins_digit(2, 3) || begins_digit(2, 6); }

  GeneratorRule plane_normal_to_a(int g) const;
  GeneratorRule plane_normal_to_b(int g) const;
  GeneratorRule plane_normal_to_c(int g) const;
  GeneratorRule diagonal_plane(int g) const;

  const TokenGrid& grid_;
  int lattice_type_;
  int laue_;
  int d_glides_;
  const OriginShifts& S_;  // S(i, j) of the classification
  int field_;
};

int half_if(bool condition) {
  return condition ? kHalf : 0;
}

GeneratorRule TokenRules::plane_normal_to_a(int g) const {
  if (g == kRuleGlideA) return failed(kAGlideNormalToA);
  return built({-kX, kY, kZ}, S_(1, 1), half_if(g == kRuleGlideB || g == kRuleGlideN),
               half_if(g == kRuleGlideC || g == kRuleGlideN));
}

GeneratorRule TokenRules::plane_normal_to_b(int g) const {
  if (g == kRuleGlideB) return failed(kBGlideNormalToB);
  return built({kX, -kY, kZ}, half_if(g == kRuleGlideA || g == kRuleGlideN), S_(2, 2),
               half_if(g == kRuleGlideC || g == kRuleGlideN));
}

GeneratorRule TokenRules::plane_normal_to_c(int g) const {
  if (g == kRuleGlideC) return failed(kCGlideNormalToC);
  const int t3 = grid_.starts(field_, kDigit6, kDigit3) ? kHalf : S_(3, 3);
  return built({kX, kY, -kZ}, half_if(g == kRuleGlideA || g == kRuleGlideN),
               half_if(g == kRuleGlideB || g == kRuleGlideN), t3);
}

GeneratorRule TokenRules::diagonal_plane(int g) const {
  int t1 = S_(2, 2);
  int t2 = -S_(2, 2);
  const int t3 = half_if(g == kRuleGlideC || g == kRuleGlideN);
  const bool glides_along_diagonal = g == kRuleGlideA || g == kRuleGlideB || g == kRuleGlideN ||
                                     (g == kRuleGlideC && laue_ == kLaue3barMRhombohedral);
  if (glides_along_diagonal) {
    const bool face_or_c = lattice_type_ == kLatticeF || lattice_type_ == kLatticeC;
    const int gain = face_or_c ? kQuarter : kHalf;
    t1 += gain;
    t2 += gain;
  }
  return built({kY, kX, kZ}, t1, t2, t3);
}

// Mirrors and the glides a, b, c and n; g is the Rule of the letter.
GeneratorRule TokenRules::plane(int g) const {
  const int fields = grid_.field_count;
  if (low_symmetry_field2()) return fields == 2 ? plane_normal_to_b(g) : plane_normal_to_a(g);
  if (field_ == 3 && laue_ != kLaue3barMRhombohedral) {
    if (hexagonal_field2()) return built({-kX + kY, kY, kZ}, 0, 0, half_if(g == kRuleGlideC));
    if (begins_digit(2, 4)) return plane_normal_to_a(g);
    return plane_normal_to_b(g);
  }
  const bool diagonal_field = field_ == 4 || laue_ == kLaue3barMRhombohedral;
  const bool diagonal_symmetry = begins_digit(3, 3) || begins_digit(2, 4) || hexagonal_field2();
  if (diagonal_field && diagonal_symmetry) return diagonal_plane(g);
  return plane_normal_to_c(g);
}

GeneratorRule TokenRules::d_glide() const {
  if (lattice_type_ == kLatticeP) return failed(kDGlidePrimitive);
  const CentringTable centring = centring_table(lattice_type_);
  const bool face_centred = centring.count == 4;
  const Translation& v2 = centring.vectors[1];
  const Translation& v3 = face_centred ? centring.vectors[2] : v2;
  const Translation& v4 = face_centred ? centring.vectors[3] : v2;
  const int quarter_if_two_d = d_glides_ == 2 ? kQuarter : 0;
  if (low_symmetry_field2()) {
    if (grid_.field_count == 2) return built({kX, -kY, kZ}, v3[0] / 2, 0, v3[2] / 2);
    return built({-kX, kY, kZ}, quarter_if_two_d, v2[1] / 2, v2[2] / 2);
  }
  if (field_ == 3) {
    const int t2 = laue_ == kLaue4mmm ? S_(2, 1) : quarter_if_two_d;
    return built({kX, -kY, kZ}, v3[0] / 2, t2, v3[2] / 2);
  }
  if (field_ == 4 && (begins_digit(2, 4) || begins_digit(3, 3))) {
    if (begins_digit(3, 2)) return built({kY, kX, kZ}, 0, kHalf, kQuarter);
    return built({kY, kX, kZ}, kQuarter, kQuarter, kQuarter);
  }
  return built({kX, kY, -kZ}, v4[0] / 2, v4[1] / 2, quarter_if_two_d);
}

GeneratorRule TokenRules::two_fold() const {
  if (barred()) return failed(kTwoBar);
  const int half = half_if_21();
  if (field_ == 2) {
    if (grid_.field_count == 2) return built({-kX, kY, -kZ}, S_(1, 2), half, S_(3, 2));
    return built({kX, -kY, -kZ}, half, S_(2, 1), S_(3, 1));
  }
  if (field_ == 3) {
    if (laue_ == kLaue3barMRhombohedral) return built({-kY, -kX, -kZ}, 0, 0, 0);
    if (begins_digit(2, 6) && !begins_digit(4, 1)) return built({kX - kY, -kY, -kZ}, 0, 0, 0);
    if (begins_digit(2, 3)) return built({kY, kX, -kZ}, S_(2, 1) + half, -S_(2, 1), S_(3, 1));
    const bool mirror_and_n = begins(2, kTokenM) && begins(4, kTokenN);
    return built({-kX, kY, -kZ}, mirror_and_n ? kHalf : S_(1, 2), half, S_(3, 2));
  }
  const int first = grid_.t(1, 2);
  const bool letter_one_or_two = first >= kTokenC && first <= kDigit2;
  if (letter_one_or_two && !begins_digit(3, 3)) {
    return built({-kX, -kY, kZ}, S_(1, 3), S_(2, 3), half);
  }
  if (begins_digit(2, 4)) return built({kY, kX, -kZ}, S_(2, 1) + half, -S_(2, 1), S_(3, 1));
  return built({kX, kX - kY, -kZ}, 0, 0, 0);
}

GeneratorRule TokenRules::three_fold() const {
  if (field_ == 2 && laue_ >= kLaue3bar) {
    GeneratorRule rule = built({-kY, kX - kY, kZ}, 0, 0, screw() * kThird);
    rule.makes_centric = barred();
    return rule;
  }
  if (field_ == 4 && laue_ >= kLaue3bar) return failed(kFiveOrThreeInField4);
  // The three-fold axis of cubic and rhombohedral groups is there from the start.
  return none_built(barred());
}

GeneratorRule TokenRules::four_fold() const {
  if (field_ != 2) return failed(kFourFoldOutsideField2);
  if (barred()) return built({kY, -kX, -kZ}, S_(1, 3), S_(2, 3), S_(3, 3));
  return built({-kY, kX, kZ}, S_(1, 3), S_(2, 3), screw() * kQuarter);
}

GeneratorRule TokenRules::six_fold() const {
  if (field_ != 2) return failed(kSixFoldOutsideField2);
  if (barred()) {
    const bool c_glide = begins(3, kTokenC) || begins(4, kTokenC);
    return built({-kX + kY, -kX, -kZ}, 0, 0, half_if(c_glide));
  }
  return built({kX - kY, kX, kZ}, 0, 0, screw() * kSixth);
}

}  // namespace

GeneratorRule make_generator(const SymbolContext& symbol, int field, int position) {
  const int code = symbol.grid.t(position, field);
  const TokenRules rules(symbol, field);
  const int rule = std::abs(code - kTokenP);
  switch (rule) {
    case kRuleGlideA:
    case kRuleGlideB:
    case kRuleGlideC:
    case kRuleMirror:
    case kRuleGlideN:
      return rules.plane(rule);
    case kRuleGlideD:
      return rules.d_glide();
    case kRuleOneFold:
      return rules.one_fold();
    case kRuleTwoFold:
      return rules.two_fold();
    case kRuleThreeFold:
      return rules.three_fold();
    case kRuleFourFold:
      return rules.four_fold();
    case kRuleFiveFold:
      return failed(kFiveOrThreeInField4);
    case kRuleSixFold:
      return rules.six_fold();
    default:
      return failed(kNoRule);  // the letter P, "-", "/", "H" or "."
  }
}

NextOperator next_operator_position(const TokenGrid& grid, int field, int from) {
  for (int position = from; position <= kMaxTokensPerField; ++position) {
    const int code = grid.t(position, field);
    if (code == kEmpty) return {};
    if (code < kDigit1) return {0, kRotationConstruction};
    if (code != kSlash) continue;
    if (position == kMaxTokensPerField) return {};
    if (grid.t(position + 1, field) == kEmpty) return {0, kNothingAfterSlash};
    return {position + 1, 0};
  }
  return {};
}

}  // namespace symmetry
