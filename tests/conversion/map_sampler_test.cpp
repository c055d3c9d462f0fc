// The map sampler's search and interpolation on small hand-made blocks.
#include "conversion/map_sampler.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <gemmi/symmetry.hpp>
#include <random>
#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/map_reader.hpp"
#include "conversion/vector_batch.hpp"
#include "random_block.hpp"
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

// A block with as many values as there are codes decodes them through a table, a smaller one
// as it meets them: a stored point's value must be the same bits either way.
TEST(MapSampler, StoredValuesAgreeWithAndWithoutTheCodeTable) {
  std::vector<std::int16_t> every_code;
  for (int code = -32768; code <= 32767; ++code)
    every_code.push_back(static_cast<std::int16_t>(code));
  const symmetry::OperatorSet set = identity_only(0);
  const MapBlock large = line_block(65536, 0, every_code);
  MapSampler through_table(large, set);
  for (int u : {0, 1, 12345, 32767, 32768, 40000, 65535}) {
    const MapBlock single = line_block(65536, u, {every_code[static_cast<std::size_t>(u)]});
    MapSampler as_met(single, set);
    const Point point = {static_cast<float>(u) / 65536.0f, 0.0f, 0.0f};
    const float value = through_table.MAPVAL(point);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(value),
              std::bit_cast<std::uint32_t>(as_met.MAPVAL(point)))
        << u;
    EXPECT_FLOAT_EQ(value, decoded(u - 32768)) << u;
  }
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

// Grid points of a cell divided 24 times along each axis, where every operator of a space group
// maps grid points onto grid points.
constexpr int kCellSteps = 24;
using GridPoint = std::array<int, 3>;

int grid_index(const GridPoint& g) {
  return (g[0] * kCellSteps + g[1]) * kCellSteps + g[2];
}

// The images of `g` under every operator of `ops`, centrings included, reduced into the cell.
std::vector<GridPoint> images_of(const GridPoint& g, const gemmi::GroupOps& ops) {
  std::vector<GridPoint> images;
  for (const gemmi::Op& op : ops.all_ops_sorted()) {
    GridPoint image{};
    for (int i = 0; i < 3; ++i) {
      long sum = 0;
      for (int j = 0; j < 3; ++j) sum += long{op.rot[i][j]} * g[j];
      // Rotation entries and translations are in 24ths, like the grid steps.
      const long steps = sum / gemmi::Op::DEN + op.tran[i] * kCellSteps / gemmi::Op::DEN;
      image[i] = static_cast<int>(((steps % kCellSteps) + kCellSteps) % kCellSteps);
    }
    images.push_back(image);
  }
  return images;
}

// Every grid point's orbit number under gemmi's operators of the group, from 0.
std::vector<int> orbit_numbers(const gemmi::GroupOps& ops) {
  std::vector<int> orbit(kCellSteps * kCellSteps * kCellSteps, -1);
  int count = 0;
  for (int x = 0; x < kCellSteps; ++x) {
    for (int y = 0; y < kCellSteps; ++y) {
      for (int z = 0; z < kCellSteps; ++z) {
        if (orbit[grid_index({x, y, z})] >= 0) continue;
        for (const GridPoint& image : images_of({x, y, z}, ops)) orbit[grid_index(image)] = count;
        ++count;
      }
    }
  }
  return orbit;
}

bool in_box(const GridPoint& g, int low, int high) {
  return std::all_of(g.begin(), g.end(), [&](int c) { return c >= low && c <= high; });
}

// The code of a stored point tells its orbit apart from every other; the decoded densities are
// then 4/32767 apart, far more than the sampler's rounding.
std::int16_t orbit_code(int orbit) {
  return static_cast<std::int16_t>(-30000 + 4 * orbit);
}

class SymmetryImageTest : public ::testing::TestWithParam<const char*> {};

// A block holding the points 0 to 12 of every axis, its codes numbering the orbits that gemmi's
// operators of the group make. Every grid point of the cell must then show the value of its own
// orbit: found through some image in the block, whichever, or 0 when no image lies in it.
TEST_P(SymmetryImageTest, EveryGridPointShowsTheValueOfItsOrbit) {
  constexpr int kLast = kCellSteps / 2;
  const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(GetParam());
  ASSERT_NE(group, nullptr);
  const gemmi::GroupOps ops = group->operations();
  const std::vector<int> orbit = orbit_numbers(ops);

  symmetry::OperatorSet set;
  set.symbol = GetParam();
  set.symbol.resize(symmetry::kSymbolWidth, ' ');
  ASSERT_EQ(symmetry::interpret_symbol(set, symmetry::kSilent, symmetry::kSilent), 0);
  MapBlock block = line_block(kCellSteps, 0, {});
  block.grid_divisions = {kCellSteps, kCellSteps, kCellSteps};
  block.block_steps = {kLast + 1, kLast + 1, kLast + 1};
  for (int w = 0; w <= kLast; ++w) {
    for (int v = 0; v <= kLast; ++v) {
      for (int u = 0; u <= kLast; ++u)
        block.values.push_back(orbit_code(orbit[grid_index({u, v, w})]));
    }
  }
  MapSampler sampler(block, set);
  MapSampler stored_values(block, identity_only(0));

  for (int x = 0; x < kCellSteps; ++x) {
    for (int y = 0; y < kCellSteps; ++y) {
      for (int z = 0; z < kCellSteps; ++z) {
        const std::vector<GridPoint> images = images_of({x, y, z}, ops);
        auto point_of = [](const GridPoint& g) {
          return Point{static_cast<float>(g[0]) / kCellSteps, static_cast<float>(g[1]) / kCellSteps,
                       static_cast<float>(g[2]) / kCellSteps};
        };
        const float value = sampler.MAPVAL(point_of({x, y, z}));
        auto stored = std::find_if(images.begin(), images.end(),
                                   [](const GridPoint& g) { return in_box(g, 0, kLast); });
        if (stored == images.end()) {
          ASSERT_EQ(value, 0.0f) << GetParam() << " at " << x << " " << y << " " << z;
          continue;
        }
        // An image on the block's far faces may be missed by a rounding of the search; one
        // strictly inside may not.
        if (std::none_of(images.begin(), images.end(),
                         [](const GridPoint& g) { return in_box(g, 0, kLast - 1); })) {
          continue;
        }
        ASSERT_NEAR(value, stored_values.MAPVAL(point_of(*stored)), 1e-5)
            << GetParam() << " at " << x << " " << y << " " << z;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, SymmetryImageTest,
                         ::testing::Values("P -1", "P 21/c", "C 2/c", "P n m a", "P 21 21 21",
                                           "P 31 2 1", "R -3 m", "P 63/m m c", "I a -3 d"),
                         [](const auto& info) { return "Group" + std::to_string(info.index); });

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

namespace conversion {
namespace {

std::uint32_t bits(float value) {
  return std::bit_cast<std::uint32_t>(value);
}

MapBlock random_block(std::mt19937& random) {
  return random_block(random, RandomBlockRanges{41, -7, 5, 3});
}

struct RowCase {
  const char* symbol;
  bool patterson;  // translations dropped, centric
};

class RowSamplingTest : public ::testing::TestWithParam<RowCase> {};

symmetry::OperatorSet operators_of(const RowCase& c) {
  symmetry::OperatorSet set;
  set.symbol = c.symbol;
  set.symbol.resize(symmetry::kSymbolWidth, ' ');
  EXPECT_EQ(symmetry::interpret_symbol(set, 0, 0), 0) << c.symbol;
  if (c.patterson) {
    set.centric = 1;
    for (int k = 0; k < set.operator_count; ++k) set.operators[k].translation = {0, 0, 0};
  }
  return set;
}

// Whole rows over every grid point of the cell give every point the value, code and search end
// that the one-point search of the portable code gives, bit for bit.
void rows_sample_as_point_by_point(const symmetry::OperatorSet& set, const MapBlock& block,
                                   BatchCode batch_code) {
  const auto [n1, n2, n3] = block.grid_divisions;
  std::vector<float> z;
  for (int k = 0; k < n3; ++k) z.push_back(static_cast<float>(k) / static_cast<float>(n3));
  MapSampler by_point(block, set, BatchCode::portable), by_row(block, set, batch_code);
  ASSERT_EQ(by_row.batches_in_vectors(),
            batch_code == BatchCode::vector_where_available && vector_batch_available());
  std::vector<Sample> row(z.size());
  for (int i = 0; i < n1; ++i) {
    for (int j = 0; j < n2; ++j) {
      const float x = static_cast<float>(i) / static_cast<float>(n1);
      const float y = static_cast<float>(j) / static_cast<float>(n2);
      by_row.sample_row(x, y, z.data(), z.size(), row.data());
      for (std::size_t k = 0; k < z.size(); ++k) {
        const Sample expected = by_point.sample({x, y, z[k]});
        ASSERT_TRUE(bits(row[k].value) == bits(expected.value) && row[k].code == expected.code)
            << set.symbol << (by_row.batches_in_vectors() ? " in vectors" : "") << " at " << i
            << " " << j << " " << k;
      }
      ASSERT_EQ(by_row.search_start(), by_point.search_start());
    }
  }
}

// Whatever rows the search keeps or changes operator along, with the batches in portable code
// and in vector registers.
TEST_P(RowSamplingTest, RowsSampleAsPointByPoint) {
  const RowCase& c = GetParam();
  const symmetry::OperatorSet set = operators_of(c);
  std::mt19937 random(std::hash<std::string>{}(c.symbol) + c.patterson);
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    const MapBlock block = random_block(random);
    for (BatchCode code : {BatchCode::portable, BatchCode::vector_where_available}) {
      rows_sample_as_point_by_point(set, block, code);
    }
  }
}

// A block holding more values than there are codes: the portable code then decodes a stored
// point through its table of every code, the vector code from the weighted sum of its corners.
TEST(RowSampling, BlockDecodedThroughTheCodeTableSamplesAsPointByPoint) {
  std::mt19937 random(41);
  MapBlock block = random_block(random);
  block.grid_divisions = {80, 80, 80};
  block.block_start = {-3, 2, 5};
  block.block_steps = {41, 41, 41};
  block.values.clear();
  std::uniform_int_distribution<int> code(-32768, 32767);
  for (int e = 0; e < 41 * 41 * 41; ++e)
    block.values.push_back(static_cast<std::int16_t>(code(random)));
  ASSERT_GE(block.values.size(), std::size_t{1} << 16);
  rows_sample_as_point_by_point(operators_of({"P 21/c", false}), block,
                                BatchCode::vector_where_available);
}

INSTANTIATE_TEST_SUITE_P(Groups, RowSamplingTest,
                         ::testing::Values(RowCase{"P 1", false}, RowCase{"P -1", false},
                                           RowCase{"P 21/c", false}, RowCase{"C 2/c", false},
                                           RowCase{"P 21 21 21", false}, RowCase{"I 41/a", false},
                                           RowCase{"R -3", false}, RowCase{"P 63/m m c", false},
                                           RowCase{"F d -3 m", false}, RowCase{"I a -3 d", false},
                                           RowCase{"P 21/c", true}, RowCase{"P 61 2 2", true}));

}  // namespace
}  // namespace conversion
