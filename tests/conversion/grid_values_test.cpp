// The grid values written on several threads are those that one thread writes, byte for byte,
// also when most guesses of where a share's search begins are wrong and shares are sampled again.
#include "conversion/grid_values.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "random_block.hpp"
#include "support/files.hpp"
#include "symmetry/interpreter.hpp"
#include "textio/units.hpp"

namespace conversion {
namespace {

MapBlock random_block(std::mt19937& random) {
  return random_block(random, RandomBlockRanges{40, -3, 3, 2});
}

std::string written_values(const MapBlock& block, const symmetry::OperatorSet& operators,
                           int threads, std::int64_t guess_points) {
  const support::TempDirectory directory;
  const std::string name = (directory / "values.grd").string();
  constexpr int kUnit = 21;
  textio::open_unit(kUnit, name);
  write_grid_values(kUnit, block, operators, threads, guess_points);
  textio::close_unit(kUnit);
  return support::read_file_bytes(name);
}

TEST(GridValues, EveryThreadCountWritesWhatOneThreadWrites) {
  std::mt19937 random(8128);
  for (const char* symbol :
       {"P 21/c", "F d -3 m", "R -3 m", "P 63/m m c", "C 2/c", "P 1", "I 41/a", "P -1"}) {
    symmetry::OperatorSet operators;
    operators.symbol = symbol;
    operators.symbol.resize(symmetry::kSymbolWidth, ' ');
    ASSERT_EQ(symmetry::interpret_symbol(operators, 0, 0), 0) << symbol;
    const MapBlock block = random_block(random);
    const std::string one_thread = written_values(block, operators, 1, kGuessPoints);
    for (int threads : {2, 3}) {
      // Without points to guess from, a thread starts where its previous share ended.
      for (std::int64_t guess_points : {std::int64_t{0}, std::int64_t{1}, kGuessPoints}) {
        EXPECT_TRUE(written_values(block, operators, threads, guess_points) == one_thread)
            << symbol << " on " << threads << " threads guessing from " << guess_points;
      }
    }
  }
}

}  // namespace
}  // namespace conversion
