#include "conversion/grid_file.hpp"

#include "textio/records.hpp"
#include "textio/units.hpp"

namespace conversion {

int open_grid_file(const std::string& name) {
  int unit = 0;
  textio::NEWUNT(unit);
  textio::OpenOptions options;
  options.status = "unknown";
  options.through_temporary = true;
  textio::open_unit(unit, name, options);
  return unit;
}

void write_grid_header(int unit, const std::string& title_line, const Cell& cell,
                       const Triple& grid_divisions) {
  textio::write_record(unit, "(A)", title_line);
  textio::write_record(unit, "(3f10.5,3f10.4)", cell.lengths, cell.angles);
  textio::write_record(unit, "(3i4)", grid_divisions);
}

void write_grid_values(int unit, const Triple& grid_divisions, MapSampler& sampler) {
  const auto [n1, n2, n3] = grid_divisions;
  for (int i = 1; i <= n1; ++i) {
    float x = static_cast<float>(i - 1) / static_cast<float>(n1);
    for (int j = 1; j <= n2; ++j) {
      float y = static_cast<float>(j - 1) / static_cast<float>(n2);
      for (int k = 1; k <= n3; ++k) {
        float z = static_cast<float>(k - 1) / static_cast<float>(n3);
        textio::write_list_real(unit, sampler.MAPVAL({x, y, z}));
      }
    }
  }
}

}  // namespace conversion
