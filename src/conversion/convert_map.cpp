#include "conversion/convert_map.hpp"

#include <algorithm>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "ccp4/map_file.hpp"
#include "conversion/map_file.hpp"
#include "conversion/map_output.hpp"
#include "conversion/map_reader.hpp"
#include "conversion/symmetry_loader.hpp"
#include "gridfile/plane_gatherer.hpp"
#include "os/os.hpp"

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
  // Fresh memory costs more to make than the block costs to read, on a core that the reading
  // leaves idle: the pages of the CCP4 map's memory are made meanwhile, and go on being made while
  // the grid file is written. The thread ends (the future's end waits for it) before the memory.
  gridfile::MapValues map_memory;
  std::future<void> map_pages;
  const auto make_map_memory = [&](const Triple& divisions) {
    if (!request.ccp4_map) return;
    map_memory = gridfile::map_room(divisions, ccp4::kLargestHeaderSize / sizeof(float));
    try {
      map_pages = std::async(std::launch::async, os::make_pages, map_memory.data(),
                             map_memory.size() * sizeof(float));
    } catch (const std::system_error&) {
      // Without a thread to spare, the pages are made as the values come.
    }
  };
  const LoadedMap map = read_map(run, map_file.unit, make_map_memory);
  std::optional<MapOutput> map_output;
  if (request.ccp4_map) map_output.emplace(run, request, map, map_memory);
  write_grid_file(run, request.grid, map, map_symmetry(phase_operators, map.title.map_type),
                  threads.for_grid(grid_point_count(map.block)),
                  map_output ? &*map_output : nullptr);
}

}  // namespace conversion
