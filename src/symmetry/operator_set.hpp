// The symmetry operator set of a space group: what the symbol interpreter fills and the map
// sampler reads. The full group is every centring vector added to every stored operator, and,
// when the group is centric, every stored operator negated as well.
#pragma once

#include <array>
#include <string>

namespace symmetry {

inline constexpr int kMaxOperators = 24;
inline constexpr int kTwelfths = 12;  // translations are whole twelfths of a cell edge
inline constexpr int kMaxCentringVectors = 4;
inline constexpr int kSymbolWidth = 20;

// Lattice types as the operator set stores them. A rhombohedral lattice on rhombohedral axes is
// stored as primitive.
enum LatticeType : int {
  kLatticeP = 1,
  kLatticeA = 2,
  kLatticeB = 3,
  kLatticeC = 4,
  kLatticeI = 5,
  kLatticeF = 6,
  kLatticeR = 7,
};

// Unique-axis values besides 1 (a), 2 (b) and 3 (c).
inline constexpr int kNoUniqueAxis = 0;
inline constexpr int kRhombohedralUniqueAxis = -1;
inline constexpr int kUniqueAxisAfterError = 4;

// One operator x' = R x + T / 12, with its codes.
struct SymmetryOperator {
  std::array<std::array<int, 3>, 3> rotation{};  // rotation[i][j]: row i, column j; -1, 0 or 1
  std::array<int, 3> translation{};              // twelfths of a cell edge, 0 to 11
  int rotation_code = 0;
  int translation_code = 0;
  int operation_flag = 0;
};

using OperatorArray = std::array<SymmetryOperator, kMaxOperators>;
using CentringVectors = std::array<std::array<float, 3>, kMaxCentringVectors>;

struct OperatorSet {
  std::string symbol = std::string(kSymbolWidth, ' ');
  int centric = 0;         // 1: the inversion through the origin belongs to the group
  int operator_count = 0;  // stored operators; 0 until a symbol has been interpreted
  int lattice_type = 0;    // LatticeType
  int centring_count = 0;  // centring vectors, the first always (0, 0, 0)
  int laue_class = 0;      // 1 to 14
  int polar_axis = 0;      // directions along which the origin is arbitrary
  int unique_axis = 0;     // 0 none, 1 a, 2 b, 3 c; -1 lattice R; 4 after an error
  OperatorArray operators{};
  CentringVectors centring{};
};

}  // namespace symmetry
