// Rotation/translation matrices as the interpreter builds and multiplies them. Translations are
// exact twelfths of a cell edge, so products need no rounding.
#pragma once

#include <array>
#include <compare>

#include "symmetry/operator_set.hpp"

namespace symmetry {

using Row = std::array<int, 3>;
using Rotation = std::array<Row, 3>;
using Translation = std::array<int, 3>;  // twelfths

// A translation reduced into the cell: 0 to 11 twelfths.
constexpr int modulo_cell(int twelfths) {
  return ((twelfths % kTwelfths) + kTwelfths) % kTwelfths;
}

// A Seitz operator x' = R x + t, t in twelfths: the one form in which operators are combined.
struct SeitzOperator {
  Rotation rotation{};
  Translation translation{};

  auto operator<=>(const SeitzOperator&) const = default;
};

// a * b, b applied first; the translation is reduced into the cell.
constexpr SeitzOperator operator*(const SeitzOperator& a, const SeitzOperator& b) {
  SeitzOperator product;
  for (std::size_t row = 0; row < 3; ++row) {
    int shift = a.translation[row];
    for (std::size_t column = 0; column < 3; ++column) {
      for (std::size_t k = 0; k < 3; ++k) {
        product.rotation[row][column] += a.rotation[row][k] * b.rotation[k][column];
      }
      shift += a.rotation[row][column] * b.translation[column];
    }
    product.translation[row] = modulo_cell(shift);
  }
  return product;
}

// A working matrix of the group closure, with its two identifying codes.
struct WorkingMatrix : SeitzOperator {
  int rotation_code = 0;
  int translation_code = 0;
};

// The caller's work area: room for every operator of one group.
using WorkArea = std::array<WorkingMatrix, kMaxOperators>;

// Rows of rotations written as the images of x, y and z: (-y, x-y, z) is {-kY, kX - kY, kZ}.
inline constexpr Row kX = {1, 0, 0};
inline constexpr Row kY = {0, 1, 0};
inline constexpr Row kZ = {0, 0, 1};

constexpr Row operator-(const Row& r) {
  return {-r[0], -r[1], -r[2]};
}
constexpr Row operator-(const Row& a, const Row& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
constexpr Row operator+(const Row& a, const Row& b) {
  return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

// The row code 2 R(i,1) + 3 R(i,2) + 4 R(i,3): x 2, y 3, z 4, x-y -1, -x+y 1, negatives negated.
constexpr int row_code(const Row& r) {
  return 2 * r[0] + 3 * r[1] + 4 * r[2];
}

// 81 r(1) + 9 r(2) + r(3): unique for each rotation, negated for the negated rotation.
constexpr int rotation_code(const Rotation& m) {
  return 81 * row_code(m[0]) + 9 * row_code(m[1]) + row_code(m[2]);
}

// 144 T(1) + 12 T(2) + T(3) for a translation reduced to 0..11 twelfths.
constexpr int translation_code(const Translation& t) {
  return 144 * t[0] + 12 * t[1] + t[2];
}

inline constexpr int kIdentityCode = rotation_code({kX, kY, kZ});

// The centring vectors of a lattice type in twelfths, (0, 0, 0) first.
struct CentringTable {
  int count = 1;
  std::array<Translation, kMaxCentringVectors> vectors{};
};

constexpr CentringTable centring_table(int lattice_type) {
  switch (lattice_type) {
    case kLatticeA:
      return {2, {{{0, 0, 0}, {0, 6, 6}}}};
    case kLatticeB:
      return {2, {{{0, 0, 0}, {6, 0, 6}}}};
    case kLatticeC:
      return {2, {{{0, 0, 0}, {6, 6, 0}}}};
    case kLatticeI:
      return {2, {{{0, 0, 0}, {6, 6, 6}}}};
    case kLatticeF:
      return {4, {{{0, 0, 0}, {0, 6, 6}, {6, 0, 6}, {6, 6, 0}}}};
    case kLatticeR:
      return {3, {{{0, 0, 0}, {4, 8, 8}, {8, 4, 4}}}};
    default:
      return {};
  }
}

}  // namespace symmetry
