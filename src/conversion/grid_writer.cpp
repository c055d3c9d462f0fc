#include "conversion/grid_writer.hpp"

#include "textio/records.hpp"
#include "textio/units.hpp"

namespace conversion {

int open_grid_file(const std::string& name) {
  int unit = 0;
  textio::NEWUNT(unit);
  textio::OpenOptions options;
  options.status = "unknown";
  options.through_temporary = true;
  // A run that ends early still leaves the old grid file as it was. The disk is not waited for:
  // only a crash of the system itself could then cut the new file short, and any run makes it
  // again from the map.
  options.durable = false;
  textio::open_unit(unit, name, options);
  return unit;
}

void write_grid_header(int unit, const std::string& title_line, const Cell& cell,
                       const Triple& grid_divisions) {
  textio::write_record(unit, "(A)", title_line);
  textio::write_record(unit, "(3f10.5,3f10.4)", cell.lengths, cell.angles);
  textio::write_record(unit, "(3i4)", grid_divisions);
}

}  // namespace conversion
