// The Windows zip as a user gets it: unpacked into a fresh folder and run under wine with neither
// TARN nor tarn set, it converts the example and upgrades an old experiment file that lists atom
// types, finding the atom data beside the programs. Its files are the Linux program's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "experiment.hpp"
#include "support/files.hpp"
#include "support/run_program.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

std::string shell_quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// The folder the zip unpacks to.
fs::path unpack(const std::string& zip, const fs::path& into) {
  const auto [output, status] = support::run_shell_command(
      "cd " + shell_quoted(into) + " && cmake -E tar xf " + shell_quoted(fs::path(zip)));
  EXPECT_EQ(status, 0) << output;
  for (const auto& entry : fs::directory_iterator(into)) return entry.path();
  return into;
}

Files example_files() {
  support::TempDirectory directory;
  const auto [output, status] = support::run_shell_command(
      shell_quoted(MAKE_EXAMPLE_PROGRAM) + " " + shell_quoted(directory / "example"));
  EXPECT_EQ(status, 0) << output;
  return support::files_in(directory / "example");
}

Files old_experiment_with_atom_types() {
  Crystal crystal;
  crystal.lengths = {10, 10, 10};
  crystal.angles = {90, 90, 90};
  return {{"ALPHA.EXP", support::experiment_file_bytes(
                            with_an_atom_type(old_experiment_records(0, "Zip", "P 1", crystal)))},
          {"ALPHA.FOB", support::map_file_bytes(two_point_map())}};
}

support::RunRequest request_for(const Files& files, const std::string& name) {
  support::RunRequest request;
  request.arguments = {name};
  request.files = files;
  request.environment = {{"TARN", ""}, {"tarn", ""}, {"TZ", "UTC"}};
  return request;
}

TEST(WindowsZip, RunsUnpackedWithTheAtomDataBesideThePrograms) {
  const char* zip = std::getenv("MAPCONV_TEST_WINDOWS_ZIP");
  if (zip == nullptr || *zip == '\0') GTEST_SKIP() << "needs the Windows zip (make test-windows)";
  const support::TempDirectory unpacked;
  const fs::path folder = unpack(zip, unpacked.path());
  for (const char* part : {"mapconv.exe", "grd2ccp4.exe", "grdpeaks.exe", "grdsection.exe",
                           "data/atmdata.dat", "README.txt", "COPYRIGHT.txt"}) {
    EXPECT_TRUE(fs::is_regular_file(folder / part)) << part;
  }
  const struct {
    Files files;
    std::string name;
    std::string written;
  } cases[] = {{example_files(), "SILICON", "SILICON.grd"},
               {old_experiment_with_atom_types(), "ALPHA", "ALPHA.EXP"}};
  for (const auto& c : cases) {
    support::RunRequest request = request_for(c.files, c.name);
    request.arguments.insert(request.arguments.begin(), (folder / "mapconv.exe").string());
    const support::RunResult windows = support::run_built_program(support::wine_program(), request);
    EXPECT_EQ(windows.exit_status, 0) << windows.standard_output << windows.standard_error;

    support::RunRequest on_linux = request_for(c.files, c.name);
    on_linux.environment["TARN"] = MAPCONV_SOURCE_DIR;
    const support::RunResult linux_run = support::run_built_program(MAPCONV_PROGRAM, on_linux);
    ASSERT_EQ(linux_run.exit_status, 0) << linux_run.standard_output;
    EXPECT_EQ(windows.files.at(c.written), linux_run.files.at(c.written)) << c.written;
  }
}

// The first command of README.txt, as written, in the zip's own example folder: the example's
// grid file is the Linux program's; /? is answered like --help.
TEST(WindowsZip, FirstCommandOfTheReadmeConvertsTheExample) {
  const char* zip = std::getenv("MAPCONV_TEST_WINDOWS_ZIP");
  if (zip == nullptr || *zip == '\0') GTEST_SKIP() << "needs the Windows zip (make test-windows)";
  const support::TempDirectory unpacked;
  const fs::path folder = unpack(zip, unpacked.path());
  const std::string readme = support::read_file_bytes(folder / "README.txt");
  const std::size_t command = readme.find("  ..\\mapconv.exe ");
  ASSERT_NE(command, std::string::npos) << readme;
  const std::string line = readme.substr(command + 2, readme.find('\r', command) - command - 2);
  EXPECT_EQ(line, "..\\mapconv.exe SILICON");
  const std::string wine = "WINEDEBUG=-all " + support::wine_program();
  const std::string program = line.substr(0, line.find(' '));  // quoted for its backslash
  const std::string arguments = line.substr(program.size());
  const auto [output, status] = support::run_shell_command(
      "cd " + shell_quoted(folder / "example") + " && TARN= tarn= TZ=UTC " + wine + " '" + program +
      "'" + arguments + " < /dev/null");
  EXPECT_EQ(status, 0) << output;
  const Files example = example_files();
  support::RunRequest on_linux = request_for(example, "SILICON");
  const support::RunResult linux_run = support::run_built_program(MAPCONV_PROGRAM, on_linux);
  EXPECT_EQ(support::read_file_bytes(folder / "example" / "SILICON.grd"),
            linux_run.files.at("SILICON.grd"));
  const auto [help, help_status] =
      support::run_shell_command(wine + " " + shell_quoted(folder / "mapconv.exe") + " /?", false);
  EXPECT_EQ(help_status, 0);
  EXPECT_TRUE(help.starts_with("Usage: mapconv [--ccp4] [NAME [ANSWER...]]")) << help;
}

}  // namespace
}  // namespace e2e
