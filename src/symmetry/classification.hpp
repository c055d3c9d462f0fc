// Second stage of reading a space-group symbol: the symbol taken as a whole decides the Laue
// class, the unique axis and where the generators are placed relative to the origin.
#pragma once

#include <array>

#include "symmetry/operator_set.hpp"
#include "symmetry/tokens.hpp"

namespace symmetry {

// Fractions of a cell edge as whole twelfths.
inline constexpr int kSixth = 2;
inline constexpr int kQuarter = 3;
inline constexpr int kThird = 4;
inline constexpr int kHalf = 6;
inline constexpr int kTwoThirds = 8;
inline constexpr int kThreeQuarters = 9;

// Origin shifts S(i, j), i, j = 1..3, in twelfths: column j belongs to the symmetry direction
// along axis j. The values are kept as classification builds them (a sum may reach a whole cell
// edge or go negative); the generators reduce them modulo a cell edge.
struct OriginShifts {
  std::array<std::array<int, 3>, 3> twelfths{};

  int& operator()(int i, int j) { return twelfths.at(i - 1).at(j - 1); }
  int operator()(int i, int j) const { return twelfths.at(i - 1).at(j - 1); }
};

// Laue classes 1 to 14, named after their point-group symbols. Classes 6 and 7 are the trigonal
// classes on rhombohedral axes, 8 to 10 those on hexagonal axes.
enum LaueClass : int {
  kLaue1bar = 1,
  kLaue2m = 2,
  kLaueMmm = 3,
  kLaue4m = 4,
  kLaue4mmm = 5,
  kLaue3barRhombohedral = 6,
  kLaue3barMRhombohedral = 7,
  kLaue3bar = 8,
  kLaue3barM1 = 9,
  kLaue3bar1M = 10,
  kLaue6m = 11,
  kLaue6mmm = 12,
  kLaueM3 = 13,
  kLaueM3m = 14,
};

struct Classification {
  LaueClass laue_class{};  // 0 until classified
  int unique_axis = 0;
  OriginShifts shifts;
  int d_glide_count = 0;            // orthorhombic symbols only
  bool rhombohedral_cubic = false;  // the group starts with the three-fold axis along [111]
  // 0, kRhombohedralWithoutThreeFold, kThreeFieldsNotCubic, kExpectedIbar43d or
  // kCentredTetragonal
  int error = 0;
};

// Classifies a symbol of lattice P, A, B, C, I or F.
Classification classify(const TokenGrid& grid, int lattice_type);

// Classifies a symbol of lattice R by its axes suffix. On rhombohedral axes the lattice becomes
// primitive; a suffix field is dropped from the grid's field count.
Classification classify_rhombohedral(TokenGrid& grid, int& lattice_type);

}  // namespace symmetry
