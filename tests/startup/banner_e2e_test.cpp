// The banner written by a real process: run from a copy of the driver whose modification time
// the test sets, with the time zone fixed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "os/os.hpp"
#include "support/files.hpp"
#include "support/mapconv_banner.hpp"
#include "support/run_program.hpp"

namespace startup {
namespace {

using support::kMapconvBanner;
constexpr std::time_t kProgramTime = support::kBannerProgramTime;
const std::string kTitle = "Fourier map to grid convertion program";

class BannerRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(CONSOLE_DRIVER, program);
    const timespec times[2] = {{kProgramTime, 0}, {kProgramTime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, program.c_str(), times, 0), 0);
    if (const char* lenpage = std::getenv("LENPAGE")) inherited_lenpage = lenpage;
    os::unset_environment_variable("LENPAGE");
  }
  void TearDown() override {
    if (inherited_lenpage) os::set_environment_variable("LENPAGE", *inherited_lenpage);
  }

  // LENPAGE is left unset when `lenpage` holds no value.
  support::RunResult banner(const std::string& name, const std::string& title,
                            const std::optional<std::string>& lenpage) {
    support::RunRequest request;
    request.arguments = {"banner", name, title};
    request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
    if (lenpage) request.environment.emplace("LENPAGE", *lenpage);
    return support::run_built_program(program, request);
  }

  support::TempDirectory directory;
  const std::filesystem::path program = directory / "driver";
  std::optional<std::string> inherited_lenpage;
};

TEST_F(BannerRunTest, MapconvBannerLineForLine) {
  const support::RunResult run = banner("MAPCONV", kTitle, std::nullopt);
  EXPECT_EQ(run.standard_output, kMapconvBanner + " page length  60 line count  15\n");
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.exit_status, 0);
}

// Started by a name relative to its directory, through a link, under another name in its
// arguments: the date is still the program's.
TEST_F(BannerRunTest, ProgramStartedByARelativeNameIsDatedByItsFile) {
  // Where the system does not say where a program lies, only its arguments can.
  if (os::executable_path().empty()) GTEST_SKIP();
  support::RunRequest request;
  // A shell would start it by its full name: perl passes the name on as it stands.
  request.arguments = {"-e",
                       "exec {'./started'} 'elsewhere', 'banner', 'MAPCONV', '" + kTitle + "'"};
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.symbolic_links = {{"started", program.string()}};
  const support::RunResult run = support::run_built_program("/usr/bin/perl", request);
  EXPECT_EQ(run.standard_output, kMapconvBanner + " page length  60 line count  15\n");
}

struct PageLengthCase {
  const char* name;
  std::optional<std::string> lenpage;
  const char* counts;
};

class PageLengthTest : public BannerRunTest,
                       public ::testing::WithParamInterface<PageLengthCase> {};

TEST_P(PageLengthTest, OnlyTheFirstTwoCharactersCount) {
  const support::RunResult run = banner("MAPCONV", kTitle, GetParam().lenpage);
  EXPECT_TRUE(run.standard_output.ends_with(GetParam().counts)) << run.standard_output;
  EXPECT_EQ(run.exit_status, 0);
}

// The banner counts 1 + 6 + 8 lines; a page header starts a new count of 2 after the block
// that overflowed the page.
INSTANTIATE_TEST_SUITE_P(
    Lenpage, PageLengthTest,
    ::testing::Values(PageLengthCase{"Unset", std::nullopt, " page length  60 line count  15\n"},
                      PageLengthCase{"Blank", "   ", " page length  60 line count  15\n"},
                      PageLengthCase{"Ten", "10", " page length  10 line count  10\n"},
                      PageLengthCase{"Hundred", "100", " page length  10 line count  10\n"},
                      PageLengthCase{"Twenty", "20", " page length  20 line count  15\n"},
                      PageLengthCase{"Five", "5", " page length   5 line count  10\n"}),
    [](const auto& info) { return info.param.name; });

// With a page of 10 lines the credit box fills the page: the header follows it and the count of
// the new page holds the header's two lines and the box's eight.
TEST_F(BannerRunTest, PageHeaderFollowsTheCreditBoxOnAShortPage) {
  const support::RunResult run = banner("MAPCONV", kTitle, "10");
  ASSERT_EQ(run.standard_output.substr(0, kMapconvBanner.size()), kMapconvBanner);
  const std::string rest = run.standard_output.substr(kMapconvBanner.size());
  const std::string header = rest.substr(0, rest.find('\n'));
  ASSERT_EQ(header.size(), 121u) << header;
  EXPECT_EQ(header.substr(0, 92), "1" + std::string(66, ' ') + " MAPCONV  Version Win32  ");
  EXPECT_EQ(header.substr(112), " Page   1");
  EXPECT_EQ(rest.substr(header.size()), "\n\n page length  10 line count  10\n");
}

TEST_F(BannerRunTest, NonNumericPageLengthEndsWithTheFailureReport) {
  const support::RunResult run = banner("MAPCONV", kTitle, "ab");
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_EQ(run.standard_output, "");
  EXPECT_NE(run.standard_error.find("apparent state: internal I/O"), std::string::npos)
      << run.standard_error;
  EXPECT_NE(run.standard_error.find("last format: (I2)"), std::string::npos) << run.standard_error;
}

TEST_F(BannerRunTest, TwoLineTitleKeepsTheMinimumWidth) {
  const support::RunResult run = banner("GRIDDER", "First line|Second", std::nullopt);
  const std::string expected =
      "\n"
      "                   |-----------------------------------------|\n"
      "                   |      Program GRIDDER Version Win32      |\n"
      "                   |                First line               |\n"
      "                   |                  Second                 |\n"
      "                   | Distributed on Sun Sep  9 01:46:40 2001 |\n";
  EXPECT_EQ(run.standard_output.substr(0, expected.size()), expected);
}

TEST_F(BannerRunTest, LongTitleLineWidensTheBoxToItsLimit) {
  const std::string title = std::string(70, 't') + "0123456789";
  const support::RunResult run = banner("MAPCONV", title, std::nullopt);
  const std::string expected =
      "\n"
      " |" +
      std::string(77, '-') + "|\n" + " |" + std::string(24, ' ') +
      "Program MAPCONV Version Win32 " + std::string(23, ' ') + "|\n" + " | " +
      std::string(70, 't') + "012345|\n" + " |" + std::string(19, ' ') +
      "Distributed on Sun Sep  9 01:46:40 2001" + std::string(19, ' ') + "|\n" + " |" +
      std::string(77, '-') + "|\n";
  EXPECT_EQ(run.standard_output.substr(0, expected.size()), expected);
}

}  // namespace
}  // namespace startup
