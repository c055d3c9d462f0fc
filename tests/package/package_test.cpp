// `make deb` in a build tree of its own, then the package: its files and fields as dpkg-deb
// lists them, lintian's verdict, and the extracted mapconv converting the example experiment
// with no installation variable set.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "os/os.hpp"
#include "support/files.hpp"
#include "support/run_program.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = MAPCONV_SOURCE_DIR;

std::pair<std::string, int> run_command(const std::string& command, bool with_errors = true) {
  return support::run_shell_command(command, with_errors);
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    os::unset_environment_variable("TARN");
    os::unset_environment_variable("tarn");
    work_ = new support::TempDirectory;
    const fs::path build = *work_ / "build";
    // Like the installation test: no job server of an outer make, no package check.
    const auto [log, status] =
        run_command("env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -C " + quoted(kSource) +
                    " deb PACKAGE_CHECK=no DEB_BUILD=" + quoted(build));
    build_log_ = log;
    if (status != 0) return;
    for (const auto& entry : fs::directory_iterator(build)) {
      if (entry.path().extension() == ".deb") package_ = entry.path();
    }
  }
  static void TearDownTestSuite() {
    delete work_;
    work_ = nullptr;
  }
  void SetUp() override { ASSERT_FALSE(package_.empty()) << build_log_; }

  static std::string field(const std::string& name) {
    return run_command("dpkg-deb -f " + quoted(package_) + " " + name, false).first;
  }

  static support::TempDirectory* work_;
  static std::string build_log_;
  static fs::path package_;
};

support::TempDirectory* DebianPackage::work_ = nullptr;
std::string DebianPackage::build_log_;
fs::path DebianPackage::package_;

TEST_F(DebianPackage, HoldsTheProgramsDataManPagesAndDocsOwnedByRoot) {
  const auto [listing, status] = run_command("dpkg-deb -c " + quoted(package_));
  ASSERT_EQ(status, 0) << listing;
  // Each line: mode, owner/group, size, date, time, path.
  std::set<std::string> files;
  std::istringstream lines(listing);
  for (std::string mode, owner, size, date, time, path;
       lines >> mode >> owner >> size >> date >> time >> path;) {
    EXPECT_EQ(owner, "root/root") << path;
    if (mode.starts_with('d')) continue;
    files.insert(mode + " " + path);
  }
  EXPECT_EQ(files, (std::set<std::string>{
                       "-rwxr-xr-x ./usr/bin/grd2ccp4",
                       "-rwxr-xr-x ./usr/bin/grdpeaks",
                       "-rwxr-xr-x ./usr/bin/grdsection",
                       "-rwxr-xr-x ./usr/bin/mapconv",
                       "-rw-r--r-- ./usr/share/doc/mapconv/changelog.gz",
                       "-rw-r--r-- ./usr/share/doc/mapconv/copyright",
                       "-rw-r--r-- ./usr/share/man/man1/grd2ccp4.1.gz",
                       "-rw-r--r-- ./usr/share/man/man1/grdpeaks.1.gz",
                       "-rw-r--r-- ./usr/share/man/man1/grdsection.1.gz",
                       "-rw-r--r-- ./usr/share/man/man1/mapconv.1.gz",
                       "-rw-r--r-- ./usr/share/mapconv/data/atmdata.dat",
                   }));
}

TEST_F(DebianPackage, NamesItselfAndDependsOnTheLibrariesItsProgramsLoad) {
  const auto [info, status] = run_command("dpkg-deb -I " + quoted(package_));
  ASSERT_EQ(status, 0) << info;
  EXPECT_EQ(field("Package"), "mapconv\n");
  EXPECT_EQ(field("Version"), MAPCONV_TEST_VERSION "\n");
  EXPECT_EQ(field("Architecture"), run_command("dpkg --print-architecture").first);
  // The programs carry the C++ runtime in themselves and load the C library alone.
  const std::string depends = field("Depends");
  EXPECT_NE(depends.find("libc6 (>= "), std::string::npos) << depends;
  EXPECT_EQ(depends.find("libstdc++"), std::string::npos) << depends;
  EXPECT_NE(info.find(" Section: science\n"), std::string::npos) << info;
}

TEST_F(DebianPackage, LintianFindsNoError) {
  const auto [report, status] = run_command("lintian --tag-display-limit 0 " + quoted(package_));
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) EXPECT_FALSE(line.starts_with("E: ")) << line;
  EXPECT_NE(status, -1) << report;
}

TEST_F(DebianPackage, ExtractedProgramsConvertTheExampleAndKnowTheirPrefix) {
  const fs::path root = *work_ / "root";
  const auto [output, status] = run_command("dpkg-deb -x " + quoted(package_) + " " + quoted(root));
  ASSERT_EQ(status, 0) << output;
  const fs::path example = *work_ / "example";
  ASSERT_EQ(run_command(std::string(MAKE_EXAMPLE) + " " + quoted(example)).second, 0);
  support::RunRequest request;
  request.arguments = {"SILICON"};
  for (const char* name : {"SILICON.EXP", "SILICON.FOB"}) {
    request.files[name] = support::read_file_bytes(example / name);
  }
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  const support::RunResult packaged = support::run_built_program(root / "usr/bin/mapconv", request);
  const support::RunResult built = support::run_built_program(MAPCONV_PROGRAM, request);
  ASSERT_EQ(packaged.exit_status, 0) << packaged.standard_error;
  EXPECT_EQ(packaged.standard_error, "");
  ASSERT_TRUE(packaged.files.contains("SILICON.grd"));
  EXPECT_EQ(packaged.files.at("SILICON.grd"), built.files.at("SILICON.grd"));

  request = support::RunRequest{};
  request.arguments = {"--help"};
  const support::RunResult usage = support::run_built_program(root / "usr/bin/mapconv", request);
  EXPECT_NE(usage.standard_output.find(" /usr/share/mapconv\n"), std::string::npos)
      << usage.standard_output;
  for (const char* page : {"mapconv.1", "grd2ccp4.1", "grdpeaks.1", "grdsection.1"}) {
    const fs::path compressed = root / "usr/share/man/man1" / (std::string(page) + ".gz");
    EXPECT_EQ(run_command("gzip -dc " + quoted(compressed), false).first,
              support::read_file_bytes(kSource / "man" / page))
        << page;
  }
}

}  // namespace
