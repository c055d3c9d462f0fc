// The items of a small-molecule CIF that a model is read from, as the file writes them, taken
// through gemmi's CIF reader. Only cif_block.cpp includes gemmi's CIF document, and it is built
// as C++17: Clang 14 cannot build that document as C++20 (a vector of a type that is still
// incomplete where a constexpr destructor needs it).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace analysis {

constexpr std::array<const char*, 6> kCellTags = {"_cell_length_a",   "_cell_length_b",
                                                  "_cell_length_c",   "_cell_angle_alpha",
                                                  "_cell_angle_beta", "_cell_angle_gamma"};
constexpr std::array<const char*, 2> kOperationTags = {"_space_group_symop_operation_xyz",
                                                       "_symmetry_equiv_pos_as_xyz"};

struct CifBlock {
  std::string name;  // without "data_"
  // The values of kCellTags as written (with their uncertainties); nothing for a tag missing.
  std::array<std::optional<std::string>, 6> cell;
  // Each atom site's label (its quotes removed) and fractional x, y, z as written.
  std::vector<std::array<std::string, 4>> atom_sites;
  // The operations listed under the first of kOperationTags that the block has, quotes removed.
  const char* operations_tag = nullptr;
  std::optional<std::vector<std::string>> operations;
};

// The first data block of the CIF `text` that has atom sites with fractional positions; nothing
// when none has. Throws std::runtime_error in gemmi's words, "NAME:LINE:COLUMN: reason", for text
// that is not CIF, `name` naming it.
std::optional<CifBlock> first_block_with_atoms(std::string_view text, const std::string& name);

}  // namespace analysis
