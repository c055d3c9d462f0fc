#include "symmetry/classification.hpp"

#include <array>
#include <cstddef>

#include "symmetry/errors.hpp"
#include "symmetry/operator_set.hpp"

namespace symmetry {
namespace {

// An F-centred tetragonal symbol is told by the sum of the codes of the third token of field 2
// and the first token of field 3. The sum is 11 for a bare four-fold axis before a d glide
// ("F 4 d 2") and for the planes c and m in either order ("F 4/c m ...", "F 4/m c ..."), and the
// classification compares the sum, not the pair: these symbols must be told apart the same way.
constexpr int kGlidePairCodeSum = kEmpty + kTokenD;
static_assert(kTokenC + kTokenM == kGlidePairCodeSum && kTokenM + kTokenC == kGlidePairCodeSum);

// The trigonal Laue classes of a symbol of lattice R by its operator fields (one, two or three):
// on rhombohedral axes ("R 3 R", "R 3 m R") and on hexagonal axes ("R 3", "R 3 m", "R 3 m 1").
constexpr std::array<LaueClass, 2> kRhombohedralAxesClasses = {kLaue3barRhombohedral,
                                                               kLaue3barMRhombohedral};
constexpr std::array<LaueClass, 3> kHexagonalAxesClasses = {kLaue3bar, kLaue3barM1, kLaue3bar1M};

// The questions classification asks of a token grid.
class SymbolView {
 public:
  explicit SymbolView(const TokenGrid& grid) : grid_(grid) {}

  int t(int position, int field) const { return grid_.t(position, field); }
  bool begins(int field, int code) const { return grid_.begins_with(field, code); }
  bool begins_digit(int field, int digit) const { return begins(field, digit_token(digit)); }
  bool begins_either(int field, int code1, int code2) const {
    return begins(field, code1) || begins(field, code2);
  }
  // "21" in the field: a two-fold screw axis.
  bool screw_21(int field) const { return grid_.starts(field, kDigit2, kDigit1); }
  // The screw digit n of a field "4n" with n 1 to 3, else 0.
  int four_fold_screw(int field) const {
    if (!begins_digit(field, 4)) return 0;
    const int n = digit_value(t(2, field));
    return n <= 3 ? n : 0;
  }
  bool barred(int field) const { return t(2, field) == kMinus; }
  // Either of the tokens after a field-2 rotation ("4/n", "42/n") is the code.
  bool field2_glide_is(int code) const { return t(3, 2) == code || t(4, 2) == code; }
  // A token with code 1 to 15 after the digit of field 2: in practice a screw digit.
  bool field2_has_screw_token() const { return t(2, 2) >= 1 && t(2, 2) <= kDigit4; }

 private:
  const TokenGrid& grid_;
};

// The four-fold axis of an I or F lattice, placed so that the origin lies where the
// conventional setting puts it. Beside an a or d glide after the "/" of field 2 the axis stands
// off the origin by `glide_shift` (along x, and on an I lattice also along y), which differs
// between 4/m and 4/mmm symbols; a 41 screw axis without such a glide is moved off the c axis
// instead, on an I lattice together with the two-fold axes along b.
void place_centred_four_fold(const SymbolView& s, int lattice_type,
                             const std::array<int, 2>& glide_shift, OriginShifts& S) {
  if (s.t(4, 2) == kTokenA || s.t(4, 2) == kTokenD) {
    S(1, 3) = glide_shift[0];
    if (lattice_type == kLatticeI) S(2, 3) = glide_shift[1];
  } else if (s.four_fold_screw(2) == 1) {
    if (lattice_type == kLatticeI) {
      S(2, 3) = S(1, 2) = kHalf;
      S(3, 2) = kThreeQuarters;
    } else {
      S(1, 3) = kQuarter;
      S(2, 3) = kThreeQuarters;
    }
  }
}

// Four-fold symbols with a single operator field.
void classify_tetragonal_low(const SymbolView& s, int lattice_type, OriginShifts& S) {
  switch (lattice_type) {
    case kLatticeP:
    case kLatticeA:
    case kLatticeB:
      if (s.t(3, 2) == kTokenN) {
        S(1, 3) = kHalf;
      } else if (s.t(4, 2) == kTokenN) {
        S(2, 3) = kHalf;
      }
      break;
    case kLatticeC:
      if (s.field2_glide_is(kTokenA)) {
        S(1, 3) = S(2, 3) = kQuarter;
        if (s.t(4, 2) == kTokenA) S(2, 3) = kThreeQuarters;
      }
      break;
    default:  // I and F
      place_centred_four_fold(s, lattice_type, {kThreeQuarters, kQuarter}, S);
      break;
  }
}

// Monoclinic symbols: unique axis u, whose rotation and plane stand in `field`.
void classify_monoclinic(const SymbolView& s, int u, int field, Classification& c) {
  struct GlideDirections {
    int first_letter, first_axis, second_letter, second_axis;
  };
  static constexpr std::array<GlideDirections, 3> kGlides = {{
      {kTokenB, 2, kTokenC, 3},
      {kTokenA, 1, kTokenC, 3},
      {kTokenA, 1, kTokenB, 2},
  }};
  const GlideDirections& glide = kGlides.at(u - 1);
  c.laue_class = kLaue2m;
  c.unique_axis = u;
  OriginShifts& S = c.shifts;
  if (s.t(2, field) == kDigit1) S(u, u) = kHalf;
  for (int position : {3, 4}) {
    const int token = s.t(position, field);
    if (token == glide.first_letter || token == kTokenN) S(glide.first_axis, u) = kHalf;
    if (token == glide.second_letter || token == kTokenN) S(glide.second_axis, u) = kHalf;
  }
}

// What classify_orthorhombic learns from the three operator fields.
struct OrthorhombicFields {
  int screw_mask = 0;
  int mirror_mask = 0;
  int mirror_type_fields = 0;
  int a_glides = 0;
  int b_glides = 0;
  int c_glides = 0;
};

// The bit of an operator field's axis in a mask of axes: field 2 is a, 3 is b, 4 is c.
constexpr int axis_bit(int field) {
  return 1 << (4 - field);
}
constexpr int kAxisA = axis_bit(2);
constexpr int kAxisB = axis_bit(3);
constexpr int kAxisC = axis_bit(4);
constexpr int kAxesAB = kAxisA | kAxisB;
constexpr int kAxesAC = kAxisA | kAxisC;
constexpr int kAxesBC = kAxisB | kAxisC;
constexpr int kAxesABC = kAxisA | kAxisB | kAxisC;

void note_screw_axis(int field, OrthorhombicFields& o, OriginShifts& S) {
  const int axis = field - 1;
  for (int other = 1; other <= 3; ++other) {
    if (other != axis) S(axis, other) = kHalf;
  }
  o.screw_mask += axis_bit(field);
}

// A plane moves off the origin by half a cell along each direction in which the planes of the
// other two fields glide.
void place_plane(const SymbolView& s, int field, OriginShifts& S) {
  struct Placement {
    int glide_letter, other_field1, other_field2;
  };
  static constexpr std::array<Placement, 3> kPlacements = {{
      {kTokenA, 3, 4},
      {kTokenB, 2, 4},
      {kTokenC, 2, 3},
  }};
  const Placement& p = kPlacements.at(field - 2);
  const int axis = field - 1;
  S(axis, axis) = s.begins_either(p.other_field1, p.glide_letter, kTokenN) ? kHalf : 0;
  if (s.begins_either(p.other_field2, p.glide_letter, kTokenN)) S(axis, axis) += kHalf;
}

void note_plane(const SymbolView& s, int field, OrthorhombicFields& o, Classification& c) {
  ++o.mirror_type_fields;
  if (s.begins(field, kTokenM)) o.mirror_mask += axis_bit(field);
  if (s.begins(field, kTokenB) && field != 3) ++o.b_glides;
  if (s.begins(field, kTokenC) && field != 4) ++o.c_glides;
  if (s.begins(field, kTokenA) && field != 2) ++o.a_glides;
  if (s.begins(field, kTokenD)) ++c.d_glide_count;
  place_plane(s, field, c.shifts);
}

// `screws` is the mask of the axes that carry a 21 screw axis.
void clear_by_screw_mask(int screws, OriginShifts& S) {
  if (screws == kAxisA || screws == kAxesAC || screws == kAxesABC) S(1, 2) = 0;
  if (screws == kAxesAB || screws == kAxesABC) S(1, 3) = 0;
  if (screws == kAxesBC) S(2, 1) = 0;
  if (screws == kAxisB || screws == kAxesAB || screws == kAxesABC) S(2, 3) = 0;
  if (screws == kAxisC || screws == kAxesBC || screws == kAxesABC) S(3, 1) = 0;
  if (screws == kAxesAC) S(3, 2) = 0;
}

void move_single_mirror(const OrthorhombicFields& o, OriginShifts& S) {
  const int screws = o.screw_mask;
  if (o.mirror_mask == kAxisC && (screws == kAxisA || screws == kAxisB) && S(3, 3) != 0) {
    S(3, 3) = 0;
    S(3, 2) += kHalf;
  } else if (o.mirror_mask == kAxisB && (screws == kAxisA || screws == kAxisC) && S(2, 2) != 0) {
    S(2, 2) = 0;
    S(2, 1) += kHalf;
  } else if (o.mirror_mask == kAxisA && (screws == kAxisC || screws == kAxisB) && S(1, 1) != 0) {
    S(1, 1) = 0;
    S(1, 3) += kHalf;
  }
}

// Centric orthorhombic groups of a centred lattice: one glide among the planes moves the
// inversion off the origin unless the planes are shifted by half a cell.
void centre_inversion(const OrthorhombicFields& o, int lattice_type, OriginShifts& S) {
  auto shift = [&S](int axis1, int axis2) {
    S(axis1, axis1) += kHalf;
    S(axis2, axis2) += kHalf;
  };
  switch (lattice_type) {
    case kLatticeA:
      if (o.c_glides + o.b_glides == 1 && o.a_glides != 2) shift(2, 3);
      break;
    case kLatticeB:
      if (o.c_glides + o.a_glides == 1 && o.b_glides != 2) shift(1, 3);
      break;
    case kLatticeC:
      if (o.b_glides + o.a_glides == 1 && o.c_glides != 2) shift(1, 2);
      break;
    case kLatticeI:
      if (o.a_glides + o.b_glides + o.c_glides == 1) {
        shift(1, 2);
        S(3, 3) += kHalf;
      }
      break;
    default:
      break;
  }
}

void classify_orthorhombic(const SymbolView& s, int lattice_type, Classification& c) {
  c.laue_class = kLaueMmm;
  OrthorhombicFields o;
  for (int field = 2; field <= 4; ++field) {
    if (s.begins_digit(field, 2)) {
      if (s.screw_21(field)) note_screw_axis(field, o, c.shifts);
    } else {
      note_plane(s, field, o, c);
    }
  }
  if (o.mirror_type_fields < 3) {
    clear_by_screw_mask(o.screw_mask, c.shifts);
    move_single_mirror(o, c.shifts);
  } else {
    centre_inversion(o, lattice_type, c.shifts);
  }
}

// The shifts that every four-field tetragonal symbol goes through before those of its lattice:
// the planes of fields 2 to 4, the two-fold axes beside a 4n screw axis, the corrections of a
// face-centred lattice and, for a "-4" symbol, the planes and axes of fields 3 and 4. Returns
// true for a "-4" symbol, which needs nothing more.
bool shift_tetragonal_planes(const SymbolView& s, int lattice_type, OriginShifts& S) {
  if (s.field2_glide_is(kTokenN)) S(1, 1) = kHalf;
  if (s.field2_glide_is(kTokenA)) S(2, 2) = kQuarter;
  if (s.screw_21(3)) S(1, 2) = kHalf;
  if (s.begins_either(3, kTokenB, kTokenN)) S(1, 1) += kHalf;
  if (s.begins_either(4, kTokenB, kTokenN)) S(2, 2) += kQuarter;
  if (const int n = s.four_fold_screw(2); n > 0) {
    if (lattice_type == kLatticeP && s.t(2, 3) != kDigit1) S(3, 1) = -n * kQuarter;
    if (s.screw_21(4)) S(3, 1) = n * kQuarter;
    if (s.screw_21(3)) S(3, 2) = n * kQuarter;
  }
  if (lattice_type == kLatticeF) {
    if (s.t(3, 2) + s.t(1, 3) == kGlidePairCodeSum) S(2, 1) = kThreeQuarters;
    if (s.begins(4, kTokenC)) S(1, 1) = kHalf;
  }
  if (!s.barred(2)) return false;
  if (s.begins(3, kTokenD) && lattice_type == kLatticeF) S(3, 1) = kQuarter;
  if (s.screw_21(4)) S(1, 1) = kHalf;
  if (s.begins_either(4, kTokenC, kTokenN)) S(3, 2) = kHalf;
  if (s.begins_either(4, kTokenB, kTokenN)) S(1, 2) = kHalf;
  if (s.begins(4, kTokenD)) {
    S(3, 2) = kThreeQuarters;
    if (lattice_type == kLatticeI) S(1, 2) = kHalf;
  }
  return true;
}

void shift_tetragonal_primitive(const SymbolView& s, OriginShifts& S) {
  if (s.field2_glide_is(kTokenN)) {
    S(1, 3) = kHalf;
  } else if (s.screw_21(3) || (s.begins(3, kTokenN) && s.field2_has_screw_token())) {
    S(1, 3) = S(2, 3) = kHalf;
  }
}

void shift_tetragonal_c_centred(const SymbolView& s, OriginShifts& S) {
  if (s.field2_glide_is(kTokenA)) {
    S(1, 3) = S(2, 3) = kQuarter;
    if (s.begins_either(4, kTokenB, kTokenN)) S(1, 1) = kHalf;
    return;
  }
  if (S(1, 1) == 0) S(1, 1) = 2 * S(2, 2);
  if (s.screw_21(4)) {
    S(1, 3) = kHalf;
  } else if (s.field2_has_screw_token() && s.begins(4, kTokenN)) {
    S(1, 1) -= 2 * S(2, 2);
    S(1, 3) = kHalf;
  }
}

void shift_tetragonal_body_or_face_centred(const SymbolView& s, int lattice_type, OriginShifts& S) {
  if (s.begins(4, kTokenC)) S(2, 1) += kHalf;
  place_centred_four_fold(s, lattice_type, {kQuarter, kThreeQuarters}, S);
}

void classify_tetragonal(const SymbolView& s, int lattice_type, Classification& c) {
  c.laue_class = kLaue4mmm;
  if (shift_tetragonal_planes(s, lattice_type, c.shifts)) return;
  switch (lattice_type) {
    case kLatticeP:
      shift_tetragonal_primitive(s, c.shifts);
      break;
    case kLatticeA:
    case kLatticeB:
      c.error = kCentredTetragonal;
      break;
    case kLatticeC:
      shift_tetragonal_c_centred(s, c.shifts);
      break;
    default:
      shift_tetragonal_body_or_face_centred(s, lattice_type, c.shifts);
      break;
  }
}

void classify_cubic(const SymbolView& s, int lattice_type, Classification& c) {
  c.laue_class = kLaueM3m;
  c.rhombohedral_cubic = true;
  OriginShifts& S = c.shifts;
  auto set_shifts = [&S](int x, int y, int z) {
    S(1, 3) = x;
    S(2, 3) = y;
    S(3, 3) = z;
  };
  if (s.begins_either(2, kTokenB, kTokenA)) {
    S(3, 3) = kHalf;
  } else if (s.barred(2) && s.begins_digit(2, 4)) {
    if (s.begins(4, kTokenM)) return;
    if (!s.begins(4, kTokenD)) {
      set_shifts(kHalf, kHalf, kHalf);
    } else if (lattice_type == kLatticeI) {
      set_shifts(kThreeQuarters, kQuarter, kThreeQuarters);
    } else {
      c.error = kExpectedIbar43d;
    }
  } else if (const int n = s.four_fold_screw(2); n == 1) {
    if (lattice_type == kLatticeF) {
      set_shifts(kThreeQuarters, kThreeQuarters, kQuarter);
    } else {
      set_shifts(kQuarter, kThreeQuarters, kQuarter);
    }
  } else if (n == 2) {
    set_shifts(kHalf, kHalf, kHalf);
  } else if (n == 3) {
    set_shifts(kThreeQuarters, kQuarter, kThreeQuarters);
  }
}

void classify_single_field(const SymbolView& s, int lattice_type, Classification& c) {
  if (s.begins_digit(2, 6)) {
    c.laue_class = kLaue6m;
  } else if (s.begins_digit(2, 3)) {
    c.laue_class = kLaue3bar;
  } else if (s.begins_digit(2, 1)) {
    c.laue_class = kLaue1bar;
  } else if (s.begins_digit(2, 4)) {
    c.laue_class = kLaue4m;
    classify_tetragonal_low(s, lattice_type, c.shifts);
  } else {
    classify_monoclinic(s, 2, 2, c);
  }
}

void classify_three_fields(const SymbolView& s, Classification& c) {
  if (!s.begins_digit(3, 3)) {
    c.error = kThreeFieldsNotCubic;
    return;
  }
  c.laue_class = kLaueM3;
  if (s.screw_21(2)) c.shifts(2, 1) = kHalf;
  if (s.begins_either(2, kTokenB, kTokenA)) c.shifts(3, 3) = kHalf;
  c.rhombohedral_cubic = true;
}

// Field 2 begins with 1: the other two fields say which axis is unique, if any.
void classify_leading_one(const SymbolView& s, int lattice_type, Classification& c) {
  const bool one3 = s.begins_digit(3, 1);
  const bool one4 = s.begins_digit(4, 1);
  if (one3 && one4) {
    c.laue_class = kLaue1bar;
  } else if (one3) {
    classify_monoclinic(s, 3, 4, c);
  } else if (one4) {
    classify_monoclinic(s, 2, 3, c);
  } else {
    classify_orthorhombic(s, lattice_type, c);
  }
}

void classify_four_fields(const SymbolView& s, int lattice_type, Classification& c) {
  const bool one3 = s.begins_digit(3, 1);
  const bool one4 = s.begins_digit(4, 1);
  if (s.begins_digit(3, 3)) {
    classify_cubic(s, lattice_type, c);
  } else if (s.begins_digit(2, 6)) {
    c.laue_class = one3 && one4 ? kLaue6m : kLaue6mmm;
  } else if (s.begins_digit(2, 3)) {
    if (one3) {
      c.laue_class = one4 ? kLaue3bar : kLaue3bar1M;
    } else {
      c.laue_class = one4 ? kLaue3barM1 : kLaue6mmm;
    }
  } else if (s.begins_digit(2, 1)) {
    classify_leading_one(s, lattice_type, c);
  } else if (s.begins_digit(2, 4)) {
    classify_tetragonal(s, lattice_type, c);
  } else if (one3 && one4) {
    classify_monoclinic(s, 1, 2, c);
  } else {
    classify_orthorhombic(s, lattice_type, c);
  }
}

}  // namespace

Classification classify(const TokenGrid& grid, int lattice_type) {
  const SymbolView view(grid);
  Classification c;
  switch (grid.field_count) {
    case 2:
      classify_single_field(view, lattice_type, c);
      break;
    case 3:
      classify_three_fields(view, c);
      break;
    default:
      classify_four_fields(view, lattice_type, c);
      break;
  }
  return c;
}

Classification classify_rhombohedral(TokenGrid& grid, int& lattice_type) {
  Classification c;
  if (!grid.begins_with(2, kDigit3)) {
    c.error = kRhombohedralWithoutThreeFold;
    return c;
  }
  const int last = grid.field_count;
  if (grid.begins_with(last, kTokenR)) {
    lattice_type = kLatticeP;
    // The fields: the lattice, the operator fields and the axes suffix.
    c.laue_class = kRhombohedralAxesClasses.at(static_cast<std::size_t>(last - 3));
    grid.field_count = last - 1;
    c.rhombohedral_cubic = true;
    return c;
  }
  if (grid.begins_with(last, kTokenH)) grid.field_count = last - 1;
  c.laue_class = kHexagonalAxesClasses.at(static_cast<std::size_t>(grid.field_count - 2));
  return c;
}

}  // namespace symmetry
