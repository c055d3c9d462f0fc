// The upgrade of old experiment files, from each older version to the current one.
#include "startup/upgrade.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "experiment_fixture.hpp"
#include "os/os.hpp"
#include "support/files.hpp"
#include "textio/status.hpp"

namespace startup_test {
namespace {

using Records = std::vector<support::ExperimentRecord>;

const std::string kConverted = "The EXP file was converted to version 6\n";
const std::string kUpgradedMarker = "  Last record in the file";
const std::string kOriginalMarker = "  Last EXP file record";
const std::string kDefaultOrientation =
    "   1.00000   1.00000   0.00000   0.00000   1.00000   NN    0";

// A line of the atom data file: a 12-character key, then the value.
std::string atom_line(const std::string& key, const std::string& value) {
  return key + std::string(12 - key.size(), ' ') + value + "\n";
}

// A small atom data file: oxygen and iron, each group opened by a line of its atomic number.
const std::string kAtomData = atom_line(" 1 HYDROGEN", "") + atom_line(" 1  H", "xray H") +
                              atom_line(" 8 OXYGEN", "") + atom_line(" 8  O", "xray O") +
                              atom_line(" 8  O_", "neutron O") + atom_line(" 8  O_XAB", "xab O") +
                              atom_line(" 8  O_XAN", "xan O") + atom_line(" 8  O_SIZ", "size O") +
                              atom_line("26 IRON", "") + atom_line("26 FE", "xray FE") +
                              atom_line("26 FE_", "neutron FE") + atom_line("26 FE_XAB", "xab FE") +
                              atom_line("26 FE_XAN", "xan FE") + atom_line("26 FE_SIZ", "size FE") +
                              atom_line("27 COBALT", "");

class UpgradeTest : public ExperimentTest {
 protected:
  void SetUp() override {
    ExperimentTest::SetUp();
    support::write_file_bytes(directory_ / "tarn/data/atmdata.dat", kAtomData);
    os::unset_environment_variable("tarn");
    os::set_environment_variable("TARN", (directory_ / "tarn").string());
  }
  void TearDown() override {
    os::unset_environment_variable("TARN");
    ExperimentTest::TearDown();
  }

  LiveRecords upgrade(const Records& records, int version) {
    open_experiment(records);
    startup::UPGEXP(kExperimentUnit, version);
    EXPECT_EQ(version, 6);
    return close_experiment();
  }
};

TEST_F(UpgradeTest, VersionZeroTakesAtomTypesFromTheAtomData) {
  const std::string iron = "FE  1.0000" + std::string(40, 'x') + "ABCDEFGHIJKLMNOPQR";
  const std::string oxygen = "O,  2.0000" + std::string(40, 'y') + "abcdefghijklmnopqr";
  const std::string carbon = "C   3.0000";
  const LiveRecords upgraded = upgrade({{" EXPR  NATYP", "    2"},
                                        {" EXPR ATYP 1", iron},
                                        {" EXPR FFAC1A", "old factors"},
                                        {" EXPR ATYP 3", oxygen},
                                        {" EXPR ATYP 4", carbon},
                                        {" EXPR FFAC3B", "old factors"},
                                        {"ZZZZZZZZZZZZ", kOriginalMarker}},
                                       0);
  EXPECT_EQ(upgraded, (LiveRecords{{" EXPR  NATYP", "    2"},
                                   {" EXPR ATYP 1", "FE  1.0000ABCDEFGHIJK    LMNOPQR"},
                                   {" EXPR ATYP 3", "O,  2.0000abcdefghijk    lmnopqr"},
                                   {" EXPR ATYP 4", carbon},
                                   {" AFAC FE    ", "xray FE"},
                                   {" AFAC FE_   ", "neutron FE"},
                                   {" AFAC FE_XAB", "xab FE"},
                                   {" AFAC FE_XAN", "xan FE"},
                                   {" AFAC FE_SIZ", "size FE"},
                                   {" AFAC  O    ", "xray O"},
                                   {" AFAC  O_   ", "neutron O"},
                                   {" AFAC  O_XAB", "xab O"},
                                   {" AFAC  O_XAN", "xan O"},
                                   {" AFAC  O_SIZ", "size O"},
                                   {"ZZZZZZZZZZZZ", kUpgradedMarker}}));
  EXPECT_EQ(terminal_text(), kConverted);
}

// Without the atom data the run stops before any old record has changed, so the file can be
// upgraded once the installation is set up.
TEST_F(UpgradeTest, VersionZeroWithoutInstallationStopsWithTheFileUnchanged) {
  os::unset_environment_variable("TARN");
  const Records records = {{" EXPR  NATYP", "    2"},
                           {" EXPR ATYP 1", "FE  1.0000" + std::string(40, 'x') + "ABCDEFGHIJK"},
                           {" EXPR ATYP 2", "O   2.0000" + std::string(40, 'y') + "abcdefghijk"},
                           {" EXPR FFAC1A", "old factors"},
                           {"ZZZZZZZZZZZZ", kOriginalMarker}};
  open_experiment(records);
  int version = 0;
  try {
    startup::UPGEXP(kExperimentUnit, version);
    ADD_FAILURE() << "the run did not stop";
  } catch (const textio::StopRun& stop) {
    EXPECT_EQ(stop.text, "ERROR - Environment variable TARN is undefined");
  }
  close_experiment();
  EXPECT_EQ(support::read_file_bytes(directory_ / "EXP.EXP"),
            support::experiment_file_bytes(records));
}

TEST_F(UpgradeTest, VersionZeroWithoutAtomTypesOnlyGetsTheLaterSteps) {
  const LiveRecords upgraded =
      upgrade({{" EXPR FFAC1A", "kept"}, {"ZZZZZZZZZZZZ", kOriginalMarker}}, 0);
  EXPECT_EQ(upgraded, (LiveRecords{{" EXPR FFAC1A", "kept"}, {"ZZZZZZZZZZZZ", kUpgradedMarker}}));
  EXPECT_EQ(terminal_text(), kConverted);
}

// Old background: three coefficients (E15.6), their count (I3), a flag, a digit and a code.
std::string old_background(const std::string& coefficients, const std::string& count, char flag,
                           char digit, char code) {
  return coefficients + count + "  " + flag + "    " + digit + "    " + code;
}

TEST_F(UpgradeTest, VersionOneRewritesPowderBackgrounds) {
  const LiveRecords upgraded = upgrade(
      {{" EXPR  NHST ", "    3"},
       {" EXPR  HTYP1", "  PXC  PNT  SNC "},
       {"HST  1BAKGD1",
        old_background("   0.150000E+01  -0.225000E+01   0.125000E+00", "  6", 'Y', '3', 'T')},
       {"HST  1BAKGD2", "     0.4000E+01     0.5000E+01     0.6000E+01"},
       {"HST  2BAKGD1",
        old_background("   0.100000E+01   0.200000E+01   0.300000E+01", "  3", 'N', '0', 'C')},
       {"HST  2BAKGD2", "     0.7000E+01"},
       {"HST  3BAKGD1", "single crystal: untouched"},
       {"ZZZZZZZZZZZZ", kOriginalMarker}},
      1);
  EXPECT_EQ(
      upgraded,
      (LiveRecords{{" EXPR  NHST ", "    3"},
                   {" EXPR  HTYP1", "  PXC  PNT  SNC"},
                   {"HST  1BAKGD ", "    1    6    Y    3    T"},
                   {"HST  1BAKGD1", "   0.150000E+01  -0.225000E+01   0.125000E+00   0.400000E+01"},
                   {"HST  1BAKGD2", "   0.500000E+01   0.600000E+01"},
                   {"HST  2BAKGD ", "    1    3    N    0    C"},
                   {"HST  2BAKGD1", "   0.100000E+01   0.200000E+01   0.300000E+01   0.700000E+01"},
                   {"HST  2BAKGD2", "     0.7000E+01"},
                   {"HST  3BAKGD1", "single crystal: untouched"},
                   {"HST  3  INST", "    1"},
                   {"ZZZZZZZZZZZZ", kUpgradedMarker}}));
  EXPECT_EQ(terminal_text(), kConverted);
}

// More than eight coefficients do not fit the two records of four: they go on into the
// following numbered records, so that none is dropped.
TEST_F(UpgradeTest, VersionOneKeepsEveryBackgroundCoefficient) {
  const LiveRecords upgraded = upgrade(
      {{" EXPR  NHST ", "    2"},
       {" EXPR  HTYP1", "  PXC  PNT "},
       {"HST  1BAKGD1",
        old_background("   0.100000E+01   0.200000E+01   0.300000E+01", " 10", 'Y', '1', 'A')},
       {"HST  1BAKGD2", "     0.4000E+01     0.5000E+01     0.6000E+01"},
       {"HST  1BAKGD3", "     0.7000E+01     0.8000E+01     0.9000E+01"},
       {"HST  2BAKGD1",
        old_background("   0.100000E+01   0.200000E+01   0.300000E+01", "  8", 'Y', '1', 'A')},
       {"HST  2BAKGD2", "     0.4000E+01     0.5000E+01     0.6000E+01"}},
      1);
  EXPECT_EQ(upgraded.at("HST  1BAKGD "), "    1   10    Y    1    A");
  EXPECT_EQ(upgraded.at("HST  1BAKGD1"),
            "   0.100000E+01   0.200000E+01   0.300000E+01   0.400000E+01");
  EXPECT_EQ(upgraded.at("HST  1BAKGD2"),
            "   0.500000E+01   0.600000E+01   0.700000E+01   0.800000E+01");
  EXPECT_EQ(upgraded.at("HST  1BAKGD3"), "   0.900000E+01   0.000000E+00");
  EXPECT_EQ(upgraded.at("HST  2BAKGD2"),
            "   0.500000E+01   0.600000E+01   0.000000E+00   0.000000E+00");
  EXPECT_EQ(upgraded.count("HST  2BAKGD3"), 0u);
}

TEST_F(UpgradeTest, VersionTwoGivesEachPhaseInAPowderHistogramItsExtinction) {
  const LiveRecords upgraded = upgrade({{" EXPR  NHST ", "    3"},
                                        {" EXPR  HTYP1", "  PXC  SNC  PNT "},
                                        {" EXPR NPHAS ", "    1    2    0   -1"},
                                        {"HST  1EXTPOW", "  0.5"},
                                        {"HST  2EXTPOW", "  0.7"},
                                        {"ZZZZZZZZZZZZ", kOriginalMarker}},
                                       2);
  EXPECT_EQ(upgraded, (LiveRecords{{" EXPR  NHST ", "    3"},
                                   {" EXPR  HTYP1", "  PXC  SNC  PNT"},
                                   {" EXPR NPHAS ", "    1    2    0   -1"},
                                   {"HST  1EXTPOW", "  0.5"},
                                   {"HST  2EXTPOW", "  0.7"},
                                   {"HAP1 1EXTPOW", "  0.5"},
                                   {"HAP2 1EXTPOW", "  0.5"},
                                   {"HAP1 3EXTPOW", ""},
                                   {"HAP2 3EXTPOW", ""},
                                   {"HAP1 1PREFO1", kDefaultOrientation},
                                   {"HAP1 1NAXIS ", "    1"},
                                   {"HAP2 1PREFO1", kDefaultOrientation},
                                   {"HAP2 1NAXIS ", "    1"},
                                   {"HST  2  INST", "    1"},
                                   {"HAP1 3PREFO1", kDefaultOrientation},
                                   {"HAP1 3NAXIS ", "    1"},
                                   {"HAP2 3PREFO1", kDefaultOrientation},
                                   {"HAP2 3NAXIS ", "    1"},
                                   {"ZZZZZZZZZZZZ", kUpgradedMarker}}));
}

TEST_F(UpgradeTest, VersionThreeGetsTheNewMarkerAndTheLaterSteps) {
  const LiveRecords upgraded =
      upgrade({{"LNCN   1    ", value_with({{3, " 1 2"}})}, {"ZZZZZZZZZZZZ", kOriginalMarker}}, 3);
  EXPECT_EQ(upgraded, (LiveRecords{{"LNCN   1    ", "  0 12"}, {"ZZZZZZZZZZZZ", kUpgradedMarker}}));
  EXPECT_EQ(terminal_text(), kConverted);
}

TEST_F(UpgradeTest, VersionFourNormalisesConstraintFields) {
  const LiveRecords upgraded =
      upgrade({{"LNCN   1    ",
                value_with({{1, "A1"}, {3, " 123"}, {7, "rest"}, {35, "  45"}, {51, "  -1"}})},
               {"LNCN   2    ", value_with({{3, "ab12"}, {19, "   7"}})},
               {"LNCP   1    ", value_with({{3, " 123"}})},
               {"LEQV HOLD  1", value_with({{3, " 123"},
                                            {11, "   4"},
                                            {19, "    "},
                                            {27, "  56"},
                                            {35, "1  1"},
                                            {43, "   0"},
                                            {51, " 9 9"},
                                            {59, "  12"}})},
               {"LEQV HOLDB 1", value_with({{3, " 123"}})},
               {"LEQV HOLDL 1", value_with({{3, " 123"}})},
               {"ZZZZZZZZZZZZ", kOriginalMarker}},
              4);
  EXPECT_EQ(
      upgraded,
      (LiveRecords{{"LNCN   1    ",
                    value_with({{1, "A1"}, {3, "0123"}, {7, "rest"}, {35, "0 45"}, {51, "  -1"}})
                        .substr(0, 54)},
                   {"LNCN   2    ", value_with({{3, "ab12"}, {19, "0  7"}}).substr(0, 22)},
                   {"LNCP   1    ", "   123"},
                   {"LEQV HOLD  1", value_with({{3, "0123"},
                                                {11, "0  4"},
                                                {27, "0 56"},
                                                {35, "1  1"},
                                                {43, "   0"},
                                                {51, "0 99"},
                                                {59, "0 12"}})
                                        .substr(0, 62)},
                   {"LEQV HOLDB 1", "   123"},
                   {"LEQV HOLDL 1", "   123"},
                   {"ZZZZZZZZZZZZ", kOriginalMarker}}));
  EXPECT_EQ(terminal_text(), kConverted);
}

struct HoldCase {
  const char* name;
  Records records;
  LiveRecords expected;
};

class HoldWalkTest : public UpgradeTest, public ::testing::WithParamInterface<HoldCase> {};

// The walk starts at the first key that begins with "LEQV HOLD" and goes on only while keys
// begin with "LEQV HOLD " (tenth character blank).
TEST_P(HoldWalkTest, NormalisesTheRecordsOfTheWalk) {
  EXPECT_EQ(upgrade(GetParam().records, 4), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HoldWalkTest,
    ::testing::Values(
        HoldCase{"FirstWithOtherTenthCharacter",
                 {{"LEQV HOLDX 1", "   123"}, {"LEQV HOLDY 2", "   123"}},
                 {{"LEQV HOLDX 1", "  0123"}, {"LEQV HOLDY 2", "   123"}}},
        HoldCase{"FirstLeftAloneEndsTheWalk",
                 {{"LEQV HOLDB 1", "   123"}, {"LEQV HOLDX 2", "   123"}},
                 {{"LEQV HOLDB 1", "   123"}, {"LEQV HOLDX 2", "   123"}}},
        HoldCase{
            "BlankTenthCharactersAllNormalised",
            {{"LEQV HOLD  2", "   123"}, {"LEQV HOLD  1", "   123"}, {"LEQV HOLDL 1", "   123"}},
            {{"LEQV HOLD  1", "  0123"}, {"LEQV HOLD  2", "  0123"}, {"LEQV HOLDL 1", "   123"}}}),
    [](const auto& info) { return info.param.name; });

TEST_F(UpgradeTest, VersionFiveMovesScalesOrientationConstraintsAndInstruments) {
  const std::string old_orientation = "0123456789abcdefghijklmnopqrstuvwxyz0123WXYZPQRSTU";
  const LiveRecords upgraded = upgrade({{" EXPR  NHST ", "    3"},
                                        {" EXPR  HTYP1", "  PXC  SNC  PNT "},
                                        {" EXPR NPHAS ", "    1   -1"},
                                        {"HAP1 1SCALE ", "   1.00000"},
                                        {"HAP2 1SCALE ", "   2.00000"},
                                        {"HAP1 2SCALE1", "   3.00000"},
                                        {"HAP1 2SCALE2", "   4.00000"},
                                        {"HAP1 1PREFOR", old_orientation},
                                        {"HAP2 1PREFOR", "kept"},
                                        {"LEQV PRFO   ", "  por a"},
                                        {"LEQV PRFO  2", "  por b"},
                                        {"LEQV SCAL   ", "  scale"},
                                        {"LEQV SCAL1 3", "  scale 13"},
                                        {"LEQV SCAL2 1", "  scale 21"},
                                        {"INST  ABCDEF", "  inst"},
                                        {"ZZZZZZZZZZZZ", kUpgradedMarker}},
                                       5);
  EXPECT_EQ(
      upgraded,
      (LiveRecords{{" EXPR  NHST ", "    3"},
                   {" EXPR  HTYP1", "  PXC  SNC  PNT"},
                   {" EXPR NPHAS ", "    1   -1"},
                   {"HAP1 1PHSFR ", "   1.00000"},
                   {"HAP2 1PHSFR ", "   2.00000"},
                   {"HAP1 2ELMFR1", "   3.00000"},
                   {"HAP1 2SCALE2", "   4.00000"},
                   {"HAP1 1PREFO1", "0123456789   1.00000abcdefghijklmnopqrstuvwxyz0123   PNQRSTU"},
                   {"HAP1 1NAXIS ", "    1"},
                   {"HAP2 1PREFOR", "kept"},
                   {"HST  2  INST", "    1"},
                   {"HAP1 3PREFO1", kDefaultOrientation},
                   {"HAP1 3NAXIS ", "    1"},
                   {"LEQV POR1   ", "  por a"},
                   {"LEQV POR1  2", "  por b"},
                   {"LEQV PHSFR  ", "  scale"},
                   {"LEQV PHSFR 3", "  scale 13"},
                   {"INST 1ABCDEF", "  inst"},
                   {"ZZZZZZZZZZZZ", kUpgradedMarker}}));
  EXPECT_EQ(terminal_text(), " ***** Record: \n" + std::string("LEQV SCAL2 1  scale 21") +
                                 std::string(58, ' ') + "\n deleted *****\n" + kConverted);
}

TEST_F(UpgradeTest, VersionFiveWithoutHistogramsIsLeftAsItWas) {
  const Records records = {{" EXPR NPHAS ", "    1"},
                           {"HAP1 1SCALE ", "   1.00000"},
                           {"LEQV SCAL2 1", "  scale 21"},
                           {"INST  ABCDEF", "  inst"}};
  open_experiment(records);
  int version = 5;
  startup::UPGEXP(kExperimentUnit, version);
  close_experiment();
  EXPECT_EQ(support::read_file_bytes(directory_ / "EXP.EXP"),
            support::experiment_file_bytes(records));
  EXPECT_EQ(terminal_text(), kConverted);
}

TEST_F(UpgradeTest, PrefixedOrientationConstraintsStayWithoutTheFirstOne) {
  const LiveRecords upgraded = upgrade({{" EXPR  NHST ", "    0"}, {"LEQV PRFO  2", "  por b"}}, 5);
  EXPECT_EQ(upgraded, (LiveRecords{{" EXPR  NHST ", "    0"}, {"LEQV PRFO  2", "  por b"}}));
}

}  // namespace
}  // namespace startup_test
