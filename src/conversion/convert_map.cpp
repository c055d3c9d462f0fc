#include "conversion/convert_map.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "conversion/map_file.hpp"
#include "conversion/map_output.hpp"
#include "conversion/map_reader.hpp"
#include "conversion/symmetry_loader.hpp"

namespace conversion {

int ThreadCount::for_grid(std::int64_t points) const {
  if (!fitted_to_grid) return most;
  return static_cast<int>(std::clamp<std::int64_t>(points / kPointsPerThread, 1, most));
}

void convert_map(const ConversionRun& run, const ConversionRequest& request, ThreadCount threads) {
  if (threads.most < 1) {
    throw std::invalid_argument("convert_map needs at least one thread, not " +
                                std::to_string(threads.most));
  }
  const OpenedMap map_file = open_map_file(run);
  const symmetry::OperatorSet phase_operators = phase_symmetry(run, request.phase);
  const LoadedMap map = read_map(run, map_file.unit);
  std::optional<MapOutput> map_output;
  if (request.ccp4_map) map_output.emplace(run, request, map);
  write_grid_file(run, request.grid, map, map_symmetry(phase_operators, map.title.map_type),
                  threads.for_grid(grid_point_count(map.block)),
                  map_output ? &*map_output : nullptr);
}

}  // namespace conversion
