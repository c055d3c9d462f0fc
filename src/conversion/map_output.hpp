// The CCP4/MRC map that mapconv --ccp4 writes beside the grid file: made of the values written to
// the grid file, with the header that grd2ccp4 gives the map of that grid file (the cell as the
// grid file's text holds it, the experiment's space group), the same bytes.
//
// Threads: the main thread, but for take(), which the grid's worker threads call in turn.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ccp4/map_file.hpp"
#include "conversion/conversion_run.hpp"
#include "conversion/convert_map.hpp"
#include "conversion/grid_values.hpp"
#include "conversion/map_reader.hpp"
#include "gridfile/plane_gatherer.hpp"

namespace conversion {

class MapOutput final : public GridValueSink {
 public:
  // Makes the map's header description and starts the map file beside the request's grid file;
  // the map's bytes go to `memory`, the caller's, which map_room made ready for them (with room for
  // the largest header in front of the values) or which is empty. A map that cannot be written
  // (a grid whose header grd2ccp4 would refuse, a name that cannot take the file) stops the run
  // before anything is written.
  MapOutput(const ConversionRun& run, const ConversionRequest& request, const LoadedMap& map,
            gridfile::MapValues& memory);

  // Takes the next values of the grid file, in its order, to their places in the map.
  void take(const float* values, std::size_t count) override;

  // Writes the map of the values taken, with their figures; a failure stops the run.
  void write();

  // Puts the written map in its place; a failure stops the run.
  void commit();

  // Names the map written on standard error, as grd2ccp4 reports it.
  void report() const;

 private:
  [[noreturn]] void stop(const std::string& problem) const;

  const ConversionRun& run_;
  ccp4::MapDescription description_;
  ccp4::HeaderGroup group_;
  std::optional<ccp4::MapFile> file_;
  // The map file's bytes: the header's, then the values in the map's order.
  gridfile::MapValues& file_bytes_;
  std::size_t header_size_ = 0;
  std::optional<gridfile::PlaneGatherer> gatherer_;
  ccp4::MapStatistics statistics_;
};

}  // namespace conversion
