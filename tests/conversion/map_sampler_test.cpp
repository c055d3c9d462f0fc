// The map sampler's search and interpolation on small hand-made blocks.
#include "conversion/map_sampler.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "conversion/map_block.hpp"
#include "conversion/map_file.hpp"
#include "symmetry/interpreter.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {
namespace {

symmetry::SymmetryOperator operation(std::array<std::array<int, 3>, 3> rotation,
                                     std::array<int, 3> twelfths) {
  symmetry::SymmetryOperator op;
  op.rotation = rotation;
  op.translation = twelfths;
  return op;
}

constexpr std::array<std::array<int, 3>, 3> kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

symmetry::OperatorSet identity_only(int centric) {
  symmetry::OperatorSet set;
  set.operator_count = 1;
  set.centring_count = 1;
  set.centric = centric;
  set.operators[0] = operation(kIdentity, {0, 0, 0});
  return set;
}

// A block along x only (y and z have one stored point) whose code at offset u is `codes[u]`,
// decoding to densities with minimum 0 and range 2: code c gives c / 32767 + 1.
MapBlock line_block(int divisions, int start, std::vector<std::int16_t> codes) {
  MapBlock block;
  block.density_minimum = 0.0f;
  block.density_maximum = 2.0f;
  block.density_range = 2.0f;
  block.grid_divisions = {divisions, 1, 1};
  block.block_start = {start, 0, 0};
  block.block_steps = {static_cast<int>(codes.size()), 1, 1};
  block.values = std::move(codes);
  return block;
}

std::vector<std::int16_t> ramp(int count) {
  std::vector<std::int16_t> codes;
  for (int u = 0; u < count; ++u) codes.push_back(static_cast<std::int16_t>(1000 * u - 12000));
  return codes;
}

float decoded(int code) {
  return (static_cast<float>(code) / 32767.0f + 1.0f) * 2.0f * 0.5f;
}

TEST(MapSampler, InverseTestFindsThePointBeyondTheHalfCell) {
  MapBlock block = line_block(48, 0, ramp(25));
  symmetry::OperatorSet set = identity_only(1);
  MapSampler sampler(block, set);
  // x = 3/4 wraps to 36, outside 0..24; its inverse is 12.
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.75f, 0.0f, 0.0f}), decoded(1000 * 12 - 12000));
  symmetry::OperatorSet acentric = identity_only(0);
  MapSampler without_inversion(block, acentric);
  EXPECT_EQ(without_inversion.MAPVAL({0.75f, 0.0f, 0.0f}), 0.0f);
}

TEST(MapSampler, BlockMayStartAtANegativeIndex) {
  MapBlock block = line_block(48, -12, ramp(25));
  symmetry::OperatorSet set = identity_only(0);
  MapSampler sampler(block, set);
  // x = 7/8 is grid index 42, six steps after the block start -12 + 48.
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.875f, 0.0f, 0.0f}), decoded(1000 * 6 - 12000));
}

TEST(MapSampler, ABlockStartFarOutsideTheCellNeverReadsOutsideTheBlock) {
  // Beyond 100 periods the shifted coordinate can wrap to a negative value; such a point must
  // fail its test rather than index before the block (the sanitizer build checks the reads).
  // At x = 1/4, 1/2 and 3/4 the wrapped block coordinates of the direct and the inverse test
  // are -3/-1, -2/-2 and -1/-3: both tests fail, so the point reads as 0.
  MapBlock block = line_block(4, 1000, ramp(3));
  symmetry::OperatorSet set = identity_only(1);
  MapSampler sampler(block, set);
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.0f, 0.0f, 0.0f}), decoded(-12000));
  for (float x : {0.25f, 0.5f, 0.75f}) {
    EXPECT_EQ(sampler.MAPVAL({x, 0.0f, 0.0f}), 0.0f) << x;
  }
}

TEST(MapSampler, UpperBoundaryIsAcceptedWithoutReadingBeyondIt) {
  MapBlock block = line_block(48, 0, ramp(25));
  symmetry::OperatorSet set = identity_only(0);
  MapSampler sampler(block, set);
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.5f, 0.0f, 0.0f}), decoded(1000 * 24 - 12000));
  EXPECT_EQ(sampler.MAPVAL({0.52f, 0.0f, 0.0f}), 0.0f);
}

TEST(MapSampler, InterpolatesBetweenStoredPoints) {
  MapBlock block = line_block(4, 0, {0, 10000, 20000, 30000});
  symmetry::OperatorSet set = identity_only(0);
  MapSampler sampler(block, set);
  EXPECT_NEAR(sampler.MAPVAL({0.125f, 0.0f, 0.0f}), decoded(5000), 1e-6);
  EXPECT_NEAR(sampler.MAPVAL({0.6875f, 0.0f, 0.0f}), decoded(27500), 1e-6);
}

TEST(MapSampler, KeepsTheSuccessfulOperatorForTheNextPoint) {
  MapBlock block = line_block(48, 0, ramp(25));
  symmetry::OperatorSet set = identity_only(0);
  set.operator_count = 2;
  set.operators[1] = operation({{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0});
  MapSampler sampler(block, set);
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.75f, 0.0f, 0.0f}), decoded(12000 - 12000));
  EXPECT_EQ(sampler.search_start().op, 1);
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.8125f, 0.0f, 0.0f}), decoded(9000 - 12000));
  EXPECT_EQ(sampler.search_start().op, 1);
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.25f, 0.0f, 0.0f}), decoded(12000 - 12000));
}

TEST(MapSampler, CentringVectorsAreTriedInTurnAndKept) {
  MapBlock block = line_block(48, 0, ramp(25));
  symmetry::OperatorSet set = identity_only(0);
  set.centring_count = 2;
  set.centring[1] = {0.5f, 0.0f, 0.0f};
  MapSampler sampler(block, set);
  EXPECT_FLOAT_EQ(sampler.MAPVAL({0.75f, 0.0f, 0.0f}), decoded(12000 - 12000));
  EXPECT_EQ(sampler.search_start().centring, 1);
}

TEST(MapSampler, WithoutOperatorsEveryValueIsZero) {
  MapBlock block = line_block(48, 0, ramp(25));
  symmetry::OperatorSet set;
  MapSampler sampler(block, set);
  EXPECT_EQ(sampler.MAPVAL({0.1f, 0.0f, 0.0f}), 0.0f);
}

// The search and interpolation written out point by point, every quantity recomputed on every
// call, as the reference for the sampler's hoisted constants.
struct ReferenceSampler {
  const MapBlock& block;
  const symmetry::OperatorSet& set;
  int op = 0;
  int centring = 0;

  static float wrap(float a, float b) { return a - b * std::trunc(a / b); }
  bool inside(const Point& g) const {
    for (int i = 0; i < 3; ++i) {
      if (!(g[i] >= 0.0f && g[i] <= static_cast<float>(block.block_steps[i] - 1))) return false;
    }
    return true;
  }
  bool test(const Point& q, Point& g) const {
    for (int i = 0; i < 3; ++i) {
      float n = static_cast<float>(block.grid_divisions[i]);
      float s = static_cast<float>(block.block_start[i]);
      g[i] = wrap((q[i] + set.centring[centring][i]) * n - s + 100.0f * n, n);
    }
    if (inside(g) || set.centric == 0) return inside(g);
    for (int i = 0; i < 3; ++i) {
      float n = static_cast<float>(block.grid_divisions[i]);
      float s = static_cast<float>(block.block_start[i]);
      g[i] = wrap(-g[i] - 2.0f * s + 100.0f * n, n);
    }
    return inside(g);
  }
  float stored(int u, int v, int w) const {
    const auto [lx, ly, lz] = block.block_steps;
    if (u >= lx || v >= ly || w >= lz) return 0.0f;
    return block.values[static_cast<std::size_t>(u + lx * (v + ly * w))];
  }
  float interpolate(const Point& g) const {
    int i = static_cast<int>(g[0]), j = static_cast<int>(g[1]), k = static_cast<int>(g[2]);
    float f1 = g[0] - static_cast<float>(i), f2 = g[1] - static_cast<float>(j),
          f3 = g[2] - static_cast<float>(k);
    float a = f1 * f2, b = f1 * f3, c = f2 * f3, d = a * f3;
    float t = (1.0f - f1 - f2 - f3 + a + b + c - d) * stored(i, j, k) +
              (f1 - a - b + d) * stored(i + 1, j, k) + (f2 - a - c + d) * stored(i, j + 1, k) +
              (f3 - b - c + d) * stored(i, j, k + 1) + (a - d) * stored(i + 1, j + 1, k) +
              (b - d) * stored(i + 1, j, k + 1) + (c - d) * stored(i, j + 1, k + 1) +
              d * stored(i + 1, j + 1, k + 1);
    return (t / 32767.0f + 1.0f) * block.density_range * 0.5f + block.density_minimum;
  }
  float value(const Point& p) {
    for (int tried = 0; tried < set.operator_count; ++tried) {
      const symmetry::SymmetryOperator& o = set.operators[static_cast<std::size_t>(op)];
      Point q;
      for (std::size_t i = 0; i < 3; ++i) {
        q[i] = static_cast<float>(o.rotation[i][0]) * p[0] +
               static_cast<float>(o.rotation[i][1]) * p[1] +
               static_cast<float>(o.rotation[i][2]) * p[2] +
               static_cast<float>(o.translation[i]) / 12.0f;
      }
      for (int trial = 0; trial < set.centring_count; ++trial) {
        Point g;
        if (test(q, g)) return interpolate(g);
        centring = (centring + 1) % set.centring_count;
      }
      op = (op + 1) % set.operator_count;
    }
    return 0.0f;
  }
};

TEST(MapSampler, MatchesThePointByPointSearchBitForBit) {
  const char* symbols[] = {"P 1",    "P -1",     "P 21/c",     "C 2/c",    "P n m a",
                           "I 41/a", "R -3 m",   "P 63/m m c", "F d -3 m", "I a -3 d",
                           "P 4/n",  "F m -3 m", "P 31 2 1",   "I 4 3 2",  "P 21 21 21"};
  std::mt19937 random(2024);
  auto uniform = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int trial = 0; trial < 60; ++trial) {
    symmetry::OperatorSet set;
    set.symbol = symbols[trial % std::size(symbols)];
    set.symbol.resize(symmetry::kSymbolWidth, ' ');
    ASSERT_EQ(symmetry::interpret_symbol(set, 0, 0), 0) << set.symbol;
    MapBlock block;
    block.density_minimum = static_cast<float>(uniform(-500, 0)) / 7.0f;
    block.density_range = static_cast<float>(uniform(1, 900)) / 3.0f;
    for (int i = 0; i < 3; ++i) {
      block.grid_divisions[i] = uniform(1, 14);
      block.block_start[i] = uniform(-block.grid_divisions[i], block.grid_divisions[i]);
      block.block_steps[i] = uniform(1, block.grid_divisions[i] + 2);
    }
    const auto [lx, ly, lz] = block.block_steps;
    for (int e = 0; e < lx * ly * lz; ++e)
      block.values.push_back(static_cast<std::int16_t>(uniform(-32767, 32767)));
    MapSampler sampler(block, set);
    ReferenceSampler reference{block, set};
    auto check = [&](const Point& p) {
      float expected = reference.value(p);
      ASSERT_EQ(std::bit_cast<std::uint32_t>(sampler.MAPVAL(p)),
                std::bit_cast<std::uint32_t>(expected))
          << set.symbol << " at " << p[0] << ", " << p[1] << ", " << p[2];
      ASSERT_EQ(sampler.search_start().op, reference.op);
      ASSERT_EQ(sampler.search_start().centring, reference.centring);
    };
    // The grid walk, with a point off the grid now and then to break the rows.
    const auto [n1, n2, n3] = block.grid_divisions;
    for (int i = 0; i < n1; ++i) {
      for (int j = 0; j < n2; ++j) {
        for (int k = 0; k < n3; ++k) {
          check({static_cast<float>(i) / static_cast<float>(n1),
                 static_cast<float>(j) / static_cast<float>(n2),
                 static_cast<float>(k) / static_cast<float>(n3)});
          if (uniform(0, 3) == 0) {
            check({static_cast<float>(uniform(-999, 1999)) / 997.0f,
                   static_cast<float>(uniform(-999, 1999)) / 991.0f,
                   static_cast<float>(uniform(-999, 1999)) / 983.0f});
          }
        }
      }
    }
  }
}

TEST(MapScale, PowersOfTenFromTheLargestMagnitude) {
  EXPECT_FLOAT_EQ(map_scale_factor(1234.0f), 0.01f);
  EXPECT_FLOAT_EQ(map_scale_factor(0.2f), 100.0f);
  EXPECT_EQ(map_scale_factor(3.0f), 1.0f);
  EXPECT_EQ(map_scale_factor(31.0f), 1.0f);
  EXPECT_FLOAT_EQ(map_scale_factor(40000.0f), 0.0001f);
}

TEST(MapScale, EncodingCoversTheRangeAndClamps) {
  EXPECT_EQ(encode_density(-3.0f, -3.0f, 6.0f), -32767);
  EXPECT_EQ(encode_density(3.0f, -3.0f, 6.0f), 32767);
  EXPECT_EQ(encode_density(0.0f, -3.0f, 6.0f), 0);
  EXPECT_EQ(encode_density(9.0f, -3.0f, 6.0f), 32767);
  // 32767 x (1/2 + 2^-16) is 16383.99998: truncated, not first rounded to 16384.
  EXPECT_EQ(encode_density(0.5f + 1.0f / 65536.0f, -1.0f, 2.0f), 16383);
}

TEST(AxisRotation, RotatesTheTripleCountTimes) {
  const std::array<int, 3> file = {10, 20, 30};
  struct Case {
    int count;
    std::array<int, 3> xyz;
  } cases[] = {{0, {10, 20, 30}}, {1, {30, 10, 20}}, {2, {20, 30, 10}},
               {3, {10, 20, 30}}, {4, {30, 10, 20}}, {-1, {10, 20, 30}}};
  for (const Case& c : cases) {
    std::array<int, 3> triple = file;
    rotate_to_xyz(triple, std::max(c.count, 0));
    EXPECT_EQ(triple, c.xyz) << c.count;
  }
  std::array<int, 3> back = {1, 2, 3};
  ROTAX3(back, -1);
  EXPECT_EQ(back, (std::array<int, 3>{2, 3, 1}));
}

}  // namespace
}  // namespace conversion
