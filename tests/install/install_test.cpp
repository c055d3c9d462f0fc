// `make install PREFIX=...` into a temporary prefix, then the installed programs at work: an
// installed mapconv upgrades an old experiment file with no setup, through the atom data it
// finds under its own prefix, unless TARN (or tarn) names another installation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "os/os.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = MAPCONV_SOURCE_DIR;
const std::string kUpgradeNotice = "The EXP file was converted to version 6\n";
const std::string kNoInstallationStop =
    "STOP ERROR - Environment variable TARN is undefined statement executed\n";

class InstalledTree : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    os::unset_environment_variable("TARN");
    os::unset_environment_variable("tarn");
    work_ = new support::TempDirectory;
    const fs::path log = *work_ / "make.log";
    // The nested make must not join the job server of a make that may be running the tests, and
    // checks no packages: the tests run with what is installed.
    const std::string command = "env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -C '" +
                                kSource.string() + "' install PACKAGE_CHECK=no PREFIX='" +
                                prefix().string() + "' INSTALL_BUILD='" +
                                (*work_ / "build").string() + "' > '" + log.string() + "' 2>&1";
    install_status_ = std::system(command.c_str());
    if (install_status_ != 0) install_log_ = support::read_file_bytes(log);
  }
  static void TearDownTestSuite() {
    delete work_;
    work_ = nullptr;
  }
  void SetUp() override { ASSERT_EQ(install_status_, 0) << install_log_; }

  static fs::path prefix() { return *work_ / "prefix"; }
  static fs::path installed_atom_data() { return prefix() / "share/mapconv/data/atmdata.dat"; }

  static support::TempDirectory* work_;
  static int install_status_;
  static std::string install_log_;
};

support::TempDirectory* InstalledTree::work_ = nullptr;
int InstalledTree::install_status_ = -1;
std::string InstalledTree::install_log_;

TEST_F(InstalledTree, HoldsTheProgramsTheAtomDataAndTheManPages) {
  EXPECT_TRUE(fs::exists(prefix() / "bin/mapconv"));
  EXPECT_TRUE(fs::exists(prefix() / "bin/grd2ccp4"));
  EXPECT_TRUE(fs::exists(prefix() / "bin/grdpeaks"));
  EXPECT_TRUE(fs::exists(prefix() / "bin/grdsection"));
  EXPECT_EQ(support::read_file_bytes(installed_atom_data()),
            support::read_file_bytes(kSource / "data/atmdata.dat"));
  for (const char* page : {"mapconv.1", "grd2ccp4.1", "grdpeaks.1", "grdsection.1"}) {
    EXPECT_EQ(support::read_file_bytes(prefix() / "share/man/man1" / page),
              support::read_file_bytes(kSource / "man" / page))
        << page;
  }
}

// The columns 13-80 of the atom data line whose key is `key`, as the upgrade copies them.
std::string atom_data_value(const std::string& atom_data, const std::string& key) {
  const std::size_t start = atom_data.find("\n" + key) + 1;
  std::string line = atom_data.substr(start, atom_data.find('\n', start) - start);
  if (line.ends_with('\r')) line.pop_back();
  return line.substr(12);
}

// A version 0 experiment (no version record) of one silicon atom type, with a map of P 1 on a
// 2 x 2 x 2 grid stored with its upper boundary.
support::RunRequest old_silicon_experiment() {
  support::MapFile map;
  map.phase_name = "Silicon";
  map.grid_divisions = {2, 2, 2};
  map.block_steps = {3, 3, 3};
  for (int v = 0; v < 27; ++v) map.values.push_back(static_cast<float>(v % 5));
  map.density_minimum = 0.0f;
  map.density_maximum = 4.0f;
  support::RunRequest request;
  request.arguments = {"OLD"};
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  request.files = {{"OLD.EXP", support::experiment_file_bytes(
                                   {{"      DESCR ", "  Old silicon"},
                                    {"  FOUR CDAT1", "           1"},
                                    {"CRS1  ABC   ", "   5.43070   5.43070   5.43070"},
                                    {"CRS1  ANGLES", "  90.00000  90.00000  90.00000"},
                                    {"CRS1  SG SYM", "P 1"},
                                    {" EXPR FOBSRL", "      8193"},
                                    {" EXPR  NATYP", "    1"},
                                    {" EXPR ATYP 1", "SI  1.0000"},
                                    {"ZZZZZZZZZZZZ", "  Last EXP file record"}})},
                   {"OLD.FOB", support::map_file_bytes(map)}};
  return request;
}

// The value of the record `key` in an experiment file's bytes.
std::optional<std::string> record_value(const std::string& bytes, const std::string& key) {
  for (const std::string& record : support::experiment_records(bytes)) {
    if (record.starts_with(key)) return record.substr(12, record.find_last_not_of(' ') + 1 - 12);
  }
  return std::nullopt;
}

struct UpgradeCase {
  const char* name;
  const char* variable;     // set to another installation, or nullptr
  bool installed_data;      // whether the installed atom data file is there
  const char* xray_source;  // "installed", "other" or nullptr when the run stops
};

void PrintTo(const UpgradeCase& c, std::ostream* os) {
  *os << c.name;
}

class InstalledUpgradeTest : public InstalledTree,
                             public ::testing::WithParamInterface<UpgradeCase> {};

TEST_P(InstalledUpgradeTest, FindsTheAtomData) {
  const UpgradeCase& c = GetParam();
  const std::string installed = support::read_file_bytes(installed_atom_data());
  const std::string other =
      "14          Silicon elsewhere\n14 SI        other factors\n"
      "14 SI_       other neutron\n15          Phosphorus\n";
  support::TempDirectory other_installation;
  support::write_file_bytes(other_installation / "data/atmdata.dat", other);
  const fs::path moved_aside = *work_ / "atmdata.aside";
  if (!c.installed_data) fs::rename(installed_atom_data(), moved_aside);

  support::RunRequest request = old_silicon_experiment();
  if (c.variable != nullptr) request.environment[c.variable] = other_installation.path().string();
  const support::RunResult run = support::run_built_program(prefix() / "bin/mapconv", request);
  if (!c.installed_data) fs::rename(moved_aside, installed_atom_data());

  if (c.xray_source == nullptr) {
    EXPECT_EQ(run.standard_error, kNoInstallationStop);
    EXPECT_EQ(run.files.at("OLD.EXP"), request.files.at("OLD.EXP"));
    EXPECT_EQ(run.files.count("OLD.grd"), 0u);
    return;
  }
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_NE(run.standard_output.find(kUpgradeNotice), std::string::npos) << run.standard_output;
  const std::string& atom_data = std::string(c.xray_source) == "installed" ? installed : other;
  EXPECT_EQ(record_value(run.files.at("OLD.EXP"), " AFAC SI    "),
            atom_data_value(atom_data, "14 SI  "));
  EXPECT_EQ(record_value(run.files.at("OLD.EXP"), "     VERSION"), "    6");
  ASSERT_EQ(run.files.count("OLD.grd"), 1u);
  EXPECT_EQ(run.files.at("OLD.grd").substr(0, 66),
            "Old silicon" + std::string(40, ' ') + "FOBS" + std::string(11, ' '));
}

INSTANTIATE_TEST_SUITE_P(
    Environments, InstalledUpgradeTest,
    ::testing::Values(UpgradeCase{"NothingSetTakesTheInstalledData", nullptr, true, "installed"},
                      UpgradeCase{"TarnWins", "TARN", true, "other"},
                      UpgradeCase{"LowerCaseTarnWins", "tarn", true, "other"},
                      UpgradeCase{"NothingSetNoInstalledDataStops", nullptr, false, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
