#include "expfile/atom_data.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "os/os.hpp"
#include "store_fixture.hpp"
#include "support/files.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"

namespace expfile_test {
namespace {

using textio::fit;

constexpr int kUnit = 11;

// One line of an atom data file: the key in columns 1-12, the value after it.
std::string data_line(const std::string& key, const std::string& value) {
  return fit(key, 12) + value + "\n";
}

// A record of the experiment file as the test expects it: key and value.
struct Written {
  std::string key;
  std::string value;
};

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value == nullptr) {
      os::unset_environment_variable(name);
    } else {
      os::set_environment_variable(name, value);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      os::set_environment_variable(name_, *old_);
    } else {
      os::unset_environment_variable(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class AtomDataTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    open_experiment(kUnit, "T.EXP", {});
  }

  // Runs ATMDAT into the empty experiment file and returns its status.
  int run(const std::string& atom_type) {
    int status = -1;
    size_text_ = "unchanged";
    expfile::ATMDAT(kUnit, atom_type, status, size_text_);
    return status;
  }

  std::vector<std::string> written() const { return file_records("T.EXP"); }

  std::vector<std::string> written_keys() const {
    std::vector<std::string> keys;
    for (const std::string& record : written()) keys.push_back(record.substr(0, 12));
    return keys;
  }

  // The value of the written record with this key.
  std::string value_of(const std::string& key) const {
    for (const std::string& record : written()) {
      if (record.substr(0, 12) == key) return record.substr(12);
    }
    ADD_FAILURE() << "no record " << key;
    return {};
  }

  std::string size_text_;
  ScopedVariable lower_case_{"tarn", nullptr};
};

// ---- The shipped atom data file ----

class ShippedAtomDataTest : public AtomDataTest {
 protected:
  ScopedVariable installation_{"TARN", MAPCONV_SOURCE_DIR};
};

struct ShippedCase {
  std::string label;
  std::string atom_type;
  int status;
  std::vector<std::string> keys;
  std::string message;
};

std::vector<std::string> full_keys(const std::string& symbol, const std::string& xray,
                                   const std::string& neutron) {
  return {xray, neutron, " AFAC " + symbol + "_XAB", " AFAC " + symbol + "_XAN",
          " AFAC " + symbol + "_SIZ"};
}

class ShippedKeysTest : public ShippedAtomDataTest,
                        public ::testing::WithParamInterface<ShippedCase> {};

TEST_P(ShippedKeysTest, WritesTheKeysAndMessages) {
  const ShippedCase& c = GetParam();
  EXPECT_EQ(run(c.atom_type), c.status);
  EXPECT_EQ(written_keys(), c.keys);
  EXPECT_EQ(console_text(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    AtomTypes, ShippedKeysTest,
    ::testing::Values(
        ShippedCase{"Iron", "FE", 0, full_keys("FE", " AFAC FE    ", " AFAC FE_   "), ""},
        ShippedCase{"Oxygen", "O", 0, full_keys(" O", " AFAC  O    ", " AFAC  O_   "), ""},
        ShippedCase{
            "OxideIon", "O-2", 1, {}, " **** No X-ray scattering factors available for  O-2****\n"},
        ShippedCase{"Deuterium", "D", 0, full_keys(" D", " AFAC  D    ", " AFAC  D_   "), ""},
        ShippedCase{"TritiumWithLabel", "T_3", 0, full_keys(" T", " AFAC  T    ", " AFAC  T_3  "),
                    ""},
        ShippedCase{"HydrogenTwo", "H_2", 0, full_keys(" H", " AFAC  H    ", " AFAC  H_2  "), ""},
        ShippedCase{"IronFiftySix", "FE_56", 0, full_keys("FE", " AFAC FE    ", " AFAC FE_56 "),
                    ""},
        ShippedCase{"SiliconValence",
                    "SIV",
                    1,
                    {},
                    " **** No X-ray scattering factors available for SIV ****\n"},
        ShippedCase{"UnknownSuffix", "FEX", 1, {}, " **** Atom type FEX  improperly given ****\n"},
        ShippedCase{"NoSuchElement", "XX", 1, {}, " **** Unknown element symbol XX ****\n"},
        ShippedCase{"LeadingDigit", "1FE", 1, {}, " **** Atom type 1FE  improperly given ****\n"},
        ShippedCase{
            "CarbonValenceIsNoSymbol", "CV", 1, {}, " **** Unknown element symbol CV ****\n"},
        ShippedCase{
            "LowerCaseSecondLetter", "Fe", 1, {}, " **** Atom type Fe  improperly given ****\n"},
        ShippedCase{"CaliforniumIsTheLastGroup",
                    "CF",
                    1,
                    {" AFAC CF    "},
                    " **** No neutron data available for isotope CF_    ****\n"}),
    [](const auto& info) { return info.param.label; });

// The figures are the published ones: International Tables' IT92 coefficients for iron, the
// bound coherent scattering lengths of iron and deuterium, iron's atomic weight.
TEST_F(ShippedAtomDataTest, HoldsThePublishedFiguresForIron) {
  ASSERT_EQ(run("FE"), 0);
  std::vector<float> xray(9);
  textio::read_text(value_of(" AFAC FE    "), "(4(F7.3,F8.3),F8.3)", xray[0], xray[1], xray[2],
                    xray[3], xray[4], xray[5], xray[6], xray[7], xray[8]);
  const std::vector<float> it92 = {11.7695F, 4.7611F, 7.3573F,  0.3072F, 3.5222F,
                                   15.3535F, 2.3045F, 76.8805F, 1.0369F};
  for (std::size_t n = 0; n < it92.size(); ++n) EXPECT_NEAR(xray[n], it92[n], 6e-4F) << n;

  float length = 0;
  textio::read_text(value_of(" AFAC FE_   "), "(F10.4)", length);
  EXPECT_NEAR(length, 9.45F, 1e-3F);

  float covalent = 0;
  float van_der_waals = 0;
  float weight = 0;
  textio::read_text(size_text_, "(2F8.3,F10.4)", covalent, van_der_waals, weight);
  EXPECT_NEAR(weight, 55.845F, 1e-3F);
  EXPECT_EQ(size_text_.size(), 53U);
}

TEST_F(ShippedAtomDataTest, DeuteriumTakesTheNeutronLineOfMassTwo) {
  ASSERT_EQ(run("D"), 0);
  float length = 0;
  textio::read_text(value_of(" AFAC  D_   "), "(F10.4)", length);
  EXPECT_NEAR(length, 6.67F, 0.01F);
}

// ---- Atom data files written by the tests ----

const std::string kSmallFile =
    "  Atom data for the tests\n" + data_line(" 1", "Hydrogen") + data_line(" 1  H", "xray H") +
    data_line(" 1  H_", "neutron H") + data_line(" 1  H_2", "neutron D") +
    data_line(" 1  H_3", "neutron T") + data_line(" 1  H_XAB", "xab H") +
    data_line(" 8", "Oxygen") + data_line(" 8  O", "xray O") + data_line(" 8  O-2", "xray O2-") +
    data_line(" 8  O_", "neutron O") + data_line(" 8  O_17", "neutron O17") +
    data_line(" 8  O   M", "magnetic M") + data_line(" 8  O   N", "magnetic N") +
    data_line(" 8  O_XAB", "xab O") + data_line(" 8  O_XAN", "xan O") +
    data_line(" 8  O_SIZ", std::string(30, 's') + std::string(30, 't')) +
    data_line("14", "Silicon") + data_line("14 SI", "xray Si") +
    data_line("14 SIV", "xray Si valence") + data_line("14 SI_", "neutron Si") +
    data_line("29", "Copper") + data_line("29 CU", "xray Cu");

class SmallFileTest : public AtomDataTest {
 protected:
  void SetUp() override {
    AtomDataTest::SetUp();
    support::write_file_bytes(directory_ / "data" / "atmdata.dat", kSmallFile);
  }
  const std::string installation_path_ = directory_.path().string();
  ScopedVariable installation_{"TARN", installation_path_.c_str()};
};

struct SmallCase {
  std::string label;
  std::string atom_type;
  int status;
  std::vector<Written> records;
  std::string message;
};

std::vector<std::string> record_texts(const std::vector<Written>& records) {
  std::vector<std::string> texts;
  for (const Written& record : records) texts.push_back(record_text(record.key, record.value));
  return texts;
}

class SmallFileRecordsTest : public SmallFileTest,
                             public ::testing::WithParamInterface<SmallCase> {};

TEST_P(SmallFileRecordsTest, CopiesTheLinesItsKeysFind) {
  const SmallCase& c = GetParam();
  EXPECT_EQ(run(c.atom_type), c.status);
  EXPECT_EQ(written(), record_texts(c.records));
  EXPECT_EQ(console_text(), c.message);
}

const Written kOxygenTail[] = {{" AFAC  O_XAB", "xab O"},
                               {" AFAC  O_XAN", "xan O"},
                               {" AFAC  O_SIZ", std::string(30, 's') + std::string(30, 't')}};

INSTANTIATE_TEST_SUITE_P(
    AtomTypes, SmallFileRecordsTest,
    ::testing::Values(SmallCase{"Oxygen",
                                "O",
                                0,
                                {{" AFAC  O    ", "xray O"},
                                 {" AFAC  O_   ", "neutron O"},
                                 {" AFAC  O   M", "magnetic M"},
                                 {" AFAC  O   N", "magnetic N"},
                                 kOxygenTail[0],
                                 kOxygenTail[1],
                                 kOxygenTail[2]},
                                ""},
                      SmallCase{"OxideIon",
                                "O-2",
                                0,
                                {{" AFAC  O-2  ", "xray O2-"},
                                 {" AFAC  O_   ", "neutron O"},
                                 kOxygenTail[0],
                                 kOxygenTail[1],
                                 kOxygenTail[2]},
                                ""},
                      SmallCase{"OxygenSeventeen",
                                "O_17",
                                0,
                                {{" AFAC  O    ", "xray O"},
                                 {" AFAC  O_17 ", "neutron O17"},
                                 {" AFAC  O   M", "magnetic M"},
                                 {" AFAC  O   N", "magnetic N"},
                                 kOxygenTail[0],
                                 kOxygenTail[1],
                                 kOxygenTail[2]},
                                ""},
                      SmallCase{"SiliconValence",
                                "SIV",
                                0,
                                {{" AFAC SIV   ", "xray Si valence"},
                                 {" AFAC SI_   ", "neutron Si"},
                                 {" AFAC SI_XAB", ""},
                                 {" AFAC SI_XAN", ""},
                                 {" AFAC SI_SIZ", ""}},
                                ""},
                      SmallCase{"Tritium",
                                "T",
                                0,
                                {{" AFAC  T    ", "xray H"},
                                 {" AFAC  T_   ", "neutron T"},
                                 {" AFAC  T_XAB", "xab H"},
                                 {" AFAC  T_XAN", ""},
                                 {" AFAC  T_SIZ", ""}},
                                ""},
                      SmallCase{"IsotopeWithoutData",
                                "O_18",
                                1,
                                {{" AFAC  O    ", "xray O"}},
                                " **** No neutron data available for isotope  O_18  ****\n"},
                      SmallCase{"ChargeWithoutData",
                                "O+1",
                                1,
                                {},
                                " **** No X-ray scattering factors available for  O+1****\n"},
                      SmallCase{"LastGroupEndsAtTheEndOfTheFile",
                                "CU",
                                1,
                                {{" AFAC CU    ", "xray Cu"}},
                                " **** No neutron data available for isotope CU_    ****\n"}),
    [](const auto& info) { return info.param.label; });

TEST_F(SmallFileTest, SizeTextIsTheFirst53CharactersOfTheSizeLine) {
  ASSERT_EQ(run("O"), 0);
  EXPECT_EQ(size_text_, std::string(30, 's') + std::string(23, 't'));
}

TEST_F(SmallFileTest, RefusedAtomTypeLeavesTheSizeTextAlone) {
  EXPECT_EQ(run("XX"), 1);
  EXPECT_EQ(size_text_, "unchanged");
}

TEST_F(SmallFileTest, ElementMissingFromTheFileEndsTheRunWithTheFailureReport) {
  EXPECT_THROW(run("SN"), textio::IoFailure);
}

// The lines the keys need come after more than 25 others in the group.
TEST_F(AtomDataTest, ReadsALongElementGroupWhole) {
  std::string file = data_line("26", "Iron");
  for (int n = 1; n <= 40; ++n) file += data_line("26 FE_F" + std::to_string(n), "filler");
  file += data_line("26 FE", "xray Fe") + data_line("26 FE_", "neutron Fe") +
          data_line("26 FE_SIZ", "size Fe") + data_line("27", "Cobalt");
  support::write_file_bytes(directory_ / "data" / "atmdata.dat", file);
  const std::string installation = directory_.path().string();
  ScopedVariable variable("TARN", installation.c_str());

  EXPECT_EQ(run("FE"), 0);
  EXPECT_EQ(value_of(" AFAC FE    ").substr(0, 7), "xray Fe");
  EXPECT_EQ(value_of(" AFAC FE_   ").substr(0, 10), "neutron Fe");
  EXPECT_EQ(size_text_, fit("size Fe", 53));
}

TEST_F(AtomDataTest, LowerCaseVariableNamesTheInstallationToo) {
  ScopedVariable upper("TARN", nullptr);
  ScopedVariable lower("tarn", MAPCONV_SOURCE_DIR);
  EXPECT_EQ(run("FE"), 0);
}

TEST_F(AtomDataTest, MissingInstallationDirectoryStopsTheRun) {
  for (const char* value : {static_cast<const char*>(nullptr), "   "}) {
    ScopedVariable upper("TARN", value);
    EXPECT_EQ(stop_text_of([&] { run("FE"); }), "ERROR - Environment variable TARN is undefined");
    EXPECT_TRUE(written().empty());
  }
}

TEST_F(AtomDataTest, MissingAtomDataFileEndsTheRunWithTheFailureReport) {
  const std::string installation = (directory_ / "nowhere").string();
  ScopedVariable variable("TARN", installation.c_str());
  EXPECT_THROW(run("FE"), textio::IoFailure);
}

// ---- The search and the element table ----

TEST(AtomSearch, FindsTheFirstLineWithTheKeyAmongTheCountedOnes) {
  const std::vector<std::string> lines = {"26 FE       xray", "26 FE_      first", "26",
                                          "26 FE_      second"};
  std::string value;
  EXPECT_EQ(expfile::ATMSRCH(lines, 4, "26 FE_      ", value), 0);
  EXPECT_EQ(value, fit("first", 68));
  EXPECT_EQ(expfile::ATMSRCH(lines, 4, "26 FE", value), 0);
  EXPECT_EQ(value, fit("xray", 68));
  EXPECT_EQ(expfile::ATMSRCH(lines, 1, "26 FE_      ", value), 1);
  EXPECT_EQ(value, std::string(68, ' '));
  EXPECT_EQ(expfile::ATMSRCH(lines, 10, "26 FE_XAB   ", value), 1);
  EXPECT_EQ(expfile::ATMSRCH(lines, 10, "26", value), 0);
  EXPECT_EQ(value, std::string(68, ' '));
}

TEST(ElementTable, HoldsHydrogenItsIsotopesAndHeliumToCalifornium) {
  const std::vector<std::tuple<std::string, int, int>> cases = {
      {" H", 1, 1}, {" D", 2, 1},   {" T", 3, 1},   {"HE", 4, 2},
      {" C", 8, 6}, {"FE", 28, 26}, {" U", 94, 92}, {"CF", 100, 98}};
  for (const auto& [symbol, entry, z] : cases) {
    EXPECT_EQ(expfile::element_entry(symbol), entry) << symbol;
    EXPECT_EQ(expfile::element_symbol(entry), symbol);
    EXPECT_EQ(expfile::atomic_number(entry), z) << symbol;
  }
  std::set<std::string_view> symbols;
  for (int entry = 1; entry <= expfile::kElementCount; ++entry) {
    symbols.insert(expfile::element_symbol(entry));
  }
  EXPECT_EQ(symbols.size(), 100U);
  EXPECT_EQ(expfile::element_entry("XX"), 0);
  EXPECT_EQ(expfile::element_entry("C "), 0);
  EXPECT_EQ(expfile::element_symbol(0), "");
  EXPECT_EQ(expfile::element_symbol(101), "");
}

}  // namespace
}  // namespace expfile_test
