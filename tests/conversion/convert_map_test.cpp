// The conversion's entry point refuses a thread count below one before it touches any unit or
// file; the driver takes the count from MAPCONV_THREADS when it is a whole number from 1.
#include "conversion/convert_map.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "conversion/driver.hpp"
#include "textio/units.hpp"

namespace conversion {
namespace {

TEST(ConvertMap, NeedsAtLeastOneThread) {
  const ConversionRequest request{{}, 1, {}, "never_written.grd"};
  for (int thread_count : {0, -1, -64}) {
    EXPECT_THROW(convert_map(11, textio::kConsoleOutput, request, thread_count),
                 std::invalid_argument)
        << thread_count;
    EXPECT_FALSE(textio::unit_connected(11)) << thread_count;
    EXPECT_FALSE(textio::file_exists(request.grid_file)) << thread_count;
  }
}

TEST(ConversionThreads, ComeFromTheEnvironmentOrTheProcessors) {
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
    setenv("MAPCONV_THREADS", c.setting, 1);
    EXPECT_EQ(conversion_threads(), c.threads) << '"' << c.setting << '"';
  }
  unsetenv("MAPCONV_THREADS");
  EXPECT_EQ(conversion_threads(), by_default);
}

}  // namespace
}  // namespace conversion
