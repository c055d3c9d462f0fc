// The conversion's entry point refuses a thread count below one before it touches any unit or
// file.
#include "conversion/convert_map.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "textio/units.hpp"

namespace conversion {
namespace {

TEST(ConvertMap, NeedsAtLeastOneThread) {
  const ConversionRequest request{1, {}, "never_written.grd"};
  for (int thread_count : {0, -1, -64}) {
    EXPECT_THROW(convert_map(11, textio::kConsoleOutput, request, thread_count),
                 std::invalid_argument)
        << thread_count;
    EXPECT_FALSE(textio::unit_connected(11)) << thread_count;
    EXPECT_FALSE(textio::file_exists(request.grid_file)) << thread_count;
  }
}

}  // namespace
}  // namespace conversion
