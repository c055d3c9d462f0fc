// The README's picture is the one its command makes: the example of `make run` converted by
// mapconv and drawn by grdsection, byte for byte the file committed in docs/.
#include <gtest/gtest.h>

#include <string>

#include "support/files.hpp"
#include "support/run_program.hpp"

namespace {

TEST(ReadmePictureTest, IsTheSectionOfTheBundledExample) {
  const support::TempDirectory work;
  const auto [output, status] = support::run_shell_command(std::string("'") + MAKE_EXAMPLE_PROGRAM +
                                                           "' '" + work.path().string() + "'");
  ASSERT_EQ(status, 0) << output;
  support::RunRequest request;
  request.files = support::files_in(work.path());
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.arguments = {"SILICON"};
  const support::RunResult converted = support::run_built_program(MAPCONV_PROGRAM, request);
  ASSERT_EQ(converted.exit_status, 0) << converted.standard_error;
  request.files = converted.files;
  const support::RunResult drawn = support::run_built_program(GRDSECTION_PROGRAM, request);
  ASSERT_EQ(drawn.exit_status, 0) << drawn.standard_error;
  EXPECT_EQ(drawn.standard_output,
            "Wrote SILICON-z0.125.svg: section z = 0.125, 7 of 7 contour levels drawn, 2 marks\n");
  ASSERT_TRUE(drawn.files.contains("SILICON-z0.125.svg"));
  EXPECT_EQ(drawn.files.at("SILICON-z0.125.svg"),
            support::read_file_bytes(MAPCONV_SOURCE_DIR "/docs/SILICON-z0.125.svg"));
}

}  // namespace
