// Random symbols: every one ends either with an operator set that forms a group or with a
// numbered error, reported once, and never with a crash, a hang or a stray access (run it under
// the sanitizers).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "symmetry/interpreter.hpp"
#include "symmetry_test_support.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace {

constexpr std::string_view kTokenAlphabet = " CBAPFIRMND123456-/H.cbapfirmndh\t";
constexpr std::string_view kOtherCharacters = std::string_view("Qe7x0*~\xff\0", 9);
constexpr std::string_view kLatticeLetters = "PABCIFRpabcifr";

class RandomSymbols {
 public:
  explicit RandomSymbols(unsigned seed) : engine_(seed) {}

  // Any 20 characters, mostly from the token alphabet.
  std::string any() {
    std::string symbol;
    for (int i = 0; i < 20; ++i) {
      symbol += chance(10) ? pick(kOtherCharacters) : pick(kTokenAlphabet);
    }
    return symbol;
  }

  // A lattice letter, then tokens and blanks: symbols that get past the first checks.
  std::string plausible() {
    std::string symbol(1, pick(kLatticeLetters));
    while (symbol.size() < 20) symbol += chance(3) ? ' ' : pick(kTokenAlphabet);
    return symbol;
  }

 private:
  bool chance(int one_in) { return std::uniform_int_distribution<int>(1, one_in)(engine_) == 1; }
  char pick(std::string_view from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(engine_)];
  }
  std::mt19937 engine_;
};

int expected_centrings(int lattice_type) {
  static constexpr std::array<int, 8> kCounts = {0, 1, 2, 2, 2, 2, 4, 3};
  return kCounts.at(static_cast<std::size_t>(lattice_type));
}

// A complete set, as far as it can be judged without knowing which group the symbol meant.
void expect_complete_set(const symmetry::OperatorSet& set) {
  ASSERT_GE(set.operator_count, 1) << set.symbol;
  ASSERT_LE(set.operator_count, symmetry::kMaxOperators) << set.symbol;
  EXPECT_GE(set.laue_class, 1) << set.symbol;
  EXPECT_LE(set.laue_class, 14) << set.symbol;
  EXPECT_EQ(set.centring_count, expected_centrings(set.lattice_type)) << set.symbol;
  EXPECT_EQ(symmetry_test::stored(set.operators[0]), symmetry_test::op("x,y,z")) << set.symbol;
  for (int k = 0; k < set.operator_count; ++k) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_GE(set.operators[k].translation[i], 0) << set.symbol;
      EXPECT_LT(set.operators[k].translation[i], 12) << set.symbol;
      for (int j = 0; j < 3; ++j) {
        EXPECT_LE(std::abs(set.operators[k].rotation[i][j]), 1) << set.symbol;
      }
    }
  }
  EXPECT_EQ(symmetry_test::group_fault(set), "") << set.symbol;
}

TEST(RandomSymbols, EndInAGroupOrANumberedError) {
  // Rotations outside the operation-flag table are reported on the terminal.
  std::FILE* terminal = std::tmpfile();
  textio::set_console_streams(nullptr, terminal, nullptr);
  symmetry_test::CapturedUnit report;
  RandomSymbols symbols(20240611);
  int errors = 0;
  int complete_sets = 0;
  constexpr int kSymbols = 20000;
  for (int n = 0; n < kSymbols; ++n) {
    const std::string symbol = n % 2 == 0 ? symbols.any() : symbols.plausible();
    const int description_unit = n % 8 == 1 ? report.unit() : 0;
    const symmetry::OperatorSet set =
        symmetry_test::interpret(symbol, description_unit, report.unit());
    if (set.unique_axis == symmetry::kUniqueAxisAfterError) {
      ++errors;
      if (set.operator_count > 0) expect_complete_set(set);  // a deferred conflict
    } else {
      ++complete_sets;
      expect_complete_set(set);
    }
    if (testing::Test::HasFailure()) break;
  }
  int reports = 0;
  for (const std::string& line : report.lines()) {
    if (line.starts_with(" ****** Error processing symbol ")) ++reports;
  }
  textio::reset_program_state();
  std::fclose(terminal);
  EXPECT_EQ(reports, errors);
  // The plausible half must reach the closure often enough to be worth its time.
  EXPECT_GT(complete_sets, kSymbols / 100);
}

}  // namespace
