// The space group a map is analysed under: every operation of the group, centring translations
// and the inversion included, built from the project's operator set (the symbol interpreter
// takes groups with two origin choices at the inversion centre), with the group's number and
// standard name as gemmi's table knows them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "symmetry/operator_set.hpp"

namespace analysis {

// x' = R x + t / 12.
struct Operation {
  std::array<std::array<int, 3>, 3> rotation{};
  std::array<int, 3> translation{};  // twelfths, 0 to 11

  std::array<double, 3> apply(const std::array<double, 3>& x) const;
};

struct SpaceGroup {
  std::string symbol = "P 1";         // as given, trailing blanks removed
  std::vector<Operation> operations;  // the identity first
  int number = 1;                     // 0 when gemmi's table does not know the group
  std::string standard_name = "P 1";  // gemmi's Hermann-Mauguin name, empty when unknown
  std::string table_name = "P 1";     // the same with gemmi's setting (":2" for origin 2, ...)
  bool two_origins = false;           // the group has two origin choices: this is choice 2

  int order() const { return static_cast<int>(operations.size()); }
};

// P 1.
SpaceGroup triclinic_group();

// The group of an interpreted operator set, named `symbol`.
SpaceGroup group_of(const symmetry::OperatorSet& operators);

// Interprets `symbol` through the project's interpreter into the group of a map of `map_type`
// (see map_symmetry); nothing when it cannot be interpreted (a translation conflict still gives
// the completed set, as in the conversion).
std::optional<SpaceGroup> group_of_symbol(std::string_view symbol, std::string_view map_type = "");

// group_of_symbol for a map's group; a symbol that cannot be interpreted throws
// std::runtime_error naming `where` the symbol came from.
SpaceGroup group_for_map(const std::string& symbol, std::string_view map_type,
                         const std::string& where);

// The group of a map of `map_type` (the last word of a grid file's title): a Patterson map's
// (PTSN, DPTS) is centric and has no translations; any other map's is the group itself.
symmetry::OperatorSet map_symmetry(symmetry::OperatorSet operators, std::string_view map_type);

// Whether every operation of the group takes the grid's points to grid points: then the map's
// values at symmetry images are equal, otherwise the conversion interpolated them.
bool grid_carries_group(const SpaceGroup& group, const std::array<int, 3>& divisions);

// Whether the map type names a difference map (DELF, DPTS).
bool is_difference_map(std::string_view map_type);

}  // namespace analysis
