// The conversion's entry point refuses a thread count below one before it touches any unit or
// file; the driver takes the count from MAPCONV_THREADS when it is a whole number from 1.
#include "conversion/convert_map.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "conversion/driver.hpp"
#include "os/os.hpp"
#include "textio/units.hpp"

namespace conversion {
namespace {

TEST(ConvertMap, NeedsAtLeastOneThread) {
  const ConversionRun run{{}, 11, textio::kConsoleOutput};
  const ConversionRequest request{1, {"never_written.grd", {}}};
  for (int thread_count : {0, -1, -64}) {
    EXPECT_THROW(convert_map(run, request, ThreadCount{thread_count}), std::invalid_argument)
        << thread_count;
    EXPECT_FALSE(textio::unit_connected(11)) << thread_count;
    EXPECT_FALSE(textio::file_exists(request.grid.name)) << thread_count;
  }
}

TEST(ConversionThreads, ComeFromTheEnvironmentOrTheProcessorsAndTheGrid) {
  const int by_default = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
  const struct {
    const char* setting;
    int threads;
  } cases[] = {{"1", 1},
               {"3", 3},
               {"16", 16},
               {"17", 16},
               {"99999999999999999999", by_default},
               {"0", by_default},
               {"-2", by_default},
               {"2x", by_default},
               {"", by_default},
               {" ", by_default}};
  for (const auto& c : cases) {
    os::set_environment_variable("MAPCONV_THREADS", c.setting);
    const ThreadCount threads = conversion_threads();
    EXPECT_EQ(threads.most, c.threads) << '"' << c.setting << '"';
    // A count asked for holds for the smallest grid too.
    EXPECT_EQ(threads.for_grid(1), threads.fitted_to_grid ? 1 : c.threads) << c.setting;
  }
  os::unset_environment_variable("MAPCONV_THREADS");
  const ThreadCount fitted = conversion_threads();
  EXPECT_EQ(fitted.most, by_default);
  const struct {
    std::int64_t points;
    int threads;
  } grids[] = {{0, 1}, {2 * kPointsPerThread - 1, 1}, {2 * kPointsPerThread, 2}, {1 << 30, 4}};
  for (const auto& g : grids) {
    EXPECT_EQ(ThreadCount({4, true}).for_grid(g.points), g.threads) << g.points;
    EXPECT_EQ(fitted.for_grid(g.points), std::min(g.threads, by_default)) << g.points;
  }
}

}  // namespace
}  // namespace conversion
