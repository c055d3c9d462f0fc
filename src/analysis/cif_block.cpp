#include "analysis/cif_block.hpp"

#include <gemmi/cif.hpp>

namespace analysis {

namespace {

namespace cif = gemmi::cif;

CifBlock block_text(cif::Block& block, cif::Table& sites) {
  CifBlock text;
  text.name = block.name;
  for (std::size_t i = 0; i < kCellTags.size(); ++i) {
    if (const std::string* value = block.find_value(kCellTags[i])) text.cell[i] = *value;
  }
  for (std::size_t row = 0; row < sites.length(); ++row) {
    const cif::Table::Row values = sites[static_cast<int>(row)];
    text.atom_sites.push_back({cif::as_string(values[0]), values[1], values[2], values[3]});
  }
  for (const char* tag : kOperationTags) {
    const cif::Column column = block.find_values(tag);
    if (column.item() == nullptr) continue;
    text.operations_tag = tag;
    text.operations.emplace();
    for (const std::string& value : column) text.operations->push_back(cif::as_string(value));
    break;
  }
  return text;
}

}  // namespace

std::optional<CifBlock> first_block_with_atoms(std::string_view text, const std::string& name) {
  cif::Document document = cif::read_memory(text.data(), text.size(), name.c_str());
  for (cif::Block& block : document.blocks) {
    cif::Table sites = block.find("_atom_site_", {"label", "fract_x", "fract_y", "fract_z"});
    if (sites.ok()) return block_text(block, sites);
  }
  return std::nullopt;
}

}  // namespace analysis
