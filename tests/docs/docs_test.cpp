// The man pages render without a warning; the make commands of the README exist.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "support/files.hpp"
#include "support/run_program.hpp"

namespace {

const std::filesystem::path kSource = MAPCONV_SOURCE_DIR;

// Standard output and error of a shell command, and its exit status.
std::pair<std::string, int> run_command(const std::string& command) {
  return support::run_shell_command(command);
}

class ManPageTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ManPageTest, RendersWithoutWarnings) {
  const std::filesystem::path page = kSource / "man" / GetParam();
  const auto [output, status] = run_command("groff -man -ww -z '" + page.string() + "'");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, "");
}

// The page's name without its section: mapconv.1 gives mapconv.
std::string page_case_name(std::string page) {
  return page.substr(0, page.find('.'));
}

INSTANTIATE_TEST_SUITE_P(Pages, ManPageTest,
                         ::testing::Values("mapconv.1", "grd2ccp4.1", "grdpeaks.1", "grdsection.1"),
                         [](const auto& info) { return page_case_name(info.param); });

// The make targets that the README's commands name: "make run", `make test-asan`, ...
std::set<std::string> readme_make_targets() {
  const std::string text = support::read_file_bytes(kSource / "README.md");
  const std::regex command("(^|[`\\n])make ([a-z][a-z-]*)");
  std::set<std::string> targets;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), command);
       m != std::sregex_iterator(); ++m) {
    targets.insert((*m)[2]);
  }
  return targets;
}

// Every command the README shows works: the Makefile has the target (make -n only prints what it
// would do).
TEST(ReadmeTest, EveryMakeCommandNamesATargetOfTheMakefile) {
  const std::set<std::string> targets = readme_make_targets();
  EXPECT_TRUE(targets.count("run") && targets.count("test"));
  for (const std::string& target : targets) {
    const auto [output, status] =
        run_command("make -n -C '" + kSource.string() + "' " + target + " > /dev/null");
    EXPECT_EQ(status, 0) << "make " << target << ": " << output;
  }
}

}  // namespace
