// The analysis of maps of known structures: the cell metric, the group and its grid, the
// statistics, and the peaks of Gaussian atoms placed through the group's symmetry.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/map_grid.hpp"
#include "analysis/peaks.hpp"
#include "analysis/space_group.hpp"
#include "analysis/statistics.hpp"
#include "known_maps.hpp"

namespace {

using known_maps::Atom;
using known_maps::Position;

analysis::SpaceGroup group(const char* symbol) {
  const std::optional<analysis::SpaceGroup> g = analysis::group_of_symbol(symbol);
  EXPECT_TRUE(g.has_value()) << symbol;
  return g.value_or(analysis::triclinic_group());
}

TEST(UnitCellTest, DistancesFollowTheMetricAndCrossTheCellEdge) {
  const analysis::UnitCell cubic({10, 10, 10}, {90, 90, 90});
  EXPECT_NEAR(cubic.distance({0.05, 0, 0}, {0.95, 0, 0}), 1.0, 1e-12);
  EXPECT_NEAR(cubic.distance({0.1, 0.1, 0.1}, {0.9, 0.9, 0.9}), std::sqrt(12.0), 1e-12);
  EXPECT_NEAR(cubic.plane_spacing(2), 10.0, 1e-12);
  // Hexagonal: a + b is as long as a; the planes normal to a* lie a sin 60 apart.
  const analysis::UnitCell hexagonal({5, 5, 8}, {90, 90, 120});
  EXPECT_NEAR(hexagonal.length_of({1, 1, 0}), 5.0, 1e-12);
  EXPECT_NEAR(hexagonal.plane_spacing(0), 5.0 * std::sqrt(3.0) / 2.0, 1e-12);
  // The nearest translate of (0.9, 0.9, 0) from the origin is (-0.1, -0.1, 0) at 0.5 Å in the
  // hexagonal cell (a and b at 120 degrees), not (-0.1, 0.9, 0).
  EXPECT_NEAR(hexagonal.distance({0, 0, 0}, {0.9, 0.9, 0}), 0.5, 1e-12);
  // Monoclinic, beta 120: (0.1, 0, 0.1) is a + c over ten, whose length is that of a 120-degree
  // rhombus's short diagonal: |a| = |c| = 6 gives 0.6.
  const analysis::UnitCell monoclinic({6, 7, 6}, {90, 120, 90});
  EXPECT_NEAR(monoclinic.distance({0, 0, 0}, {0.1, 0, 0.1}), 0.6, 1e-12);
}

TEST(SpaceGroupTest, GroupsHaveTheirOrderNumberAndOrigin) {
  struct Case {
    const char* symbol;
    int order, number;
    bool two_origins;
  };
  for (const Case& c :
       {Case{"P 1", 1, 1, false}, Case{"P -1", 2, 2, false}, Case{"P 21/c", 4, 14, false},
        Case{"C 2/c", 8, 15, false}, Case{"F d -3 m", 192, 227, true},
        Case{"P 63/m m c", 24, 194, false}, Case{"P n -3", 24, 201, true}}) {
    const analysis::SpaceGroup g = group(c.symbol);
    EXPECT_EQ(g.order(), c.order) << c.symbol;
    EXPECT_EQ(g.number, c.number) << c.symbol;
    EXPECT_EQ(g.two_origins, c.two_origins) << c.symbol;
  }
  EXPECT_FALSE(analysis::group_of_symbol("Q 9").has_value());
}

TEST(SpaceGroupTest, APattersonMapIsCentricWithoutTranslations) {
  EXPECT_EQ(analysis::group_of_symbol("P 21", "FOBS")->number, 4);
  EXPECT_EQ(analysis::group_of_symbol("P 21", "PTSN")->number, 10);  // P 2/m
  EXPECT_EQ(analysis::group_of_symbol("P 21/c", "DPTS")->number, 10);
}

TEST(SpaceGroupTest, AGridCarriesTheGroupWhenEveryImageOfAPointIsAPoint) {
  struct Case {
    const char* symbol;
    std::array<int, 3> divisions;
    bool carries;
  };
  for (const Case& c :
       {Case{"P 1", {7, 11, 13}, true}, Case{"P 21/c", {20, 20, 20}, true},
        Case{"P 21/c", {20, 19, 20}, false},  // the screw's half step along b
        Case{"P 21/c", {20, 20, 21}, false},  // the glide's half step along c
        Case{"F d -3 m", {48, 48, 48}, true},
        Case{"F d -3 m", {42, 42, 42}, false},  // no quarter steps
        Case{"F d -3 m", {48, 48, 40}, false},  // the 3-fold axis swaps x and z
        Case{"P 63/m m c", {30, 30, 36}, true}, Case{"P 63/m m c", {30, 30, 35}, false}}) {
    EXPECT_EQ(analysis::grid_carries_group(group(c.symbol), c.divisions), c.carries)
        << c.symbol << " " << c.divisions[0] << " " << c.divisions[1] << " " << c.divisions[2];
  }
}

TEST(StatisticsTest, FiguresOfASmallMapByHand) {
  // 1, 2, 3, 6: mean 3, squares 50 / 4, deviations 4 + 1 + 0 + 9 = 14.
  const std::vector<float> values = {1, 2, 3, 6};
  const analysis::MapStatistics s = analysis::map_statistics(values);
  EXPECT_EQ(s.minimum, 1.0);
  EXPECT_EQ(s.maximum, 6.0);
  EXPECT_DOUBLE_EQ(s.mean, 3.0);
  EXPECT_DOUBLE_EQ(s.rms, std::sqrt(12.5));
  EXPECT_DOUBLE_EQ(s.sigma, std::sqrt(3.5));
  // A large map with a large mean keeps the digits of its small spread (both threads at work).
  std::vector<float> large(std::size_t{1} << 21, 1000.0f);
  for (std::size_t i = 0; i < large.size(); i += 2) large[i] = 1000.5f;
  EXPECT_NEAR(analysis::map_statistics(large).sigma, 0.25, 1e-9);
}

// A known structure's map and what its search is expected to find.
struct Structure {
  std::string name;
  const char* symbol;
  known_maps::Cell cell;
  std::array<int, 3> divisions;
  std::vector<Atom> atoms;
  std::vector<int> multiplicities;  // of each atom
};

struct Found {
  std::vector<analysis::Peak> peaks;
  analysis::MapStatistics statistics;
  analysis::SpaceGroup group;
  analysis::UnitCell cell;
};

Found search(const Structure& s, const std::vector<float>& values, analysis::PeakSearch how) {
  const analysis::SpaceGroup g = group(s.symbol);
  const analysis::MapGrid map{s.divisions, values};
  const analysis::UnitCell cell(s.cell.lengths, s.cell.angles);
  const analysis::MapStatistics stats = analysis::map_statistics(values);
  return {analysis::find_peaks(map, cell, g, stats, how), stats, g, cell};
}

class KnownStructureTest : public ::testing::TestWithParam<Structure> {};

// Every atom of the asymmetric unit once, at its position within 0.01 of a cell edge and with its
// multiplicity; nothing else above 3 sigma.
TEST_P(KnownStructureTest, EveryAtomIsFoundOnceWithItsMultiplicity) {
  const Structure& s = GetParam();
  const analysis::SpaceGroup g = group(s.symbol);
  const std::vector<float> values = known_maps::gaussian_map(s.cell, g, s.atoms, s.divisions);
  const Found found = search(s, values, {false, 0, 3.0});
  ASSERT_EQ(found.peaks.size(), s.atoms.size());
  for (std::size_t a = 0; a < s.atoms.size(); ++a) {
    const Atom& atom = s.atoms[a];
    const analysis::Peak* match = nullptr;
    for (const analysis::Peak& p : found.peaks) {
      // Any image of the atom within 0.01 of each edge.
      for (const analysis::Operation& op : g.operations) {
        const Position image = op.apply(atom.position);
        bool close = true;
        for (std::size_t i = 0; i < 3; ++i) {
          close = close &&
                  std::fabs(p.position[i] - image[i] - std::round(p.position[i] - image[i])) < 0.01;
        }
        if (close) match = &p;
      }
    }
    ASSERT_NE(match, nullptr) << s.name << " atom " << a;
    EXPECT_EQ(match->multiplicity, s.multiplicities[a]) << s.name << " atom " << a;
    EXPECT_EQ(match->multiplicity * match->site_symmetry_order, g.order());
  }
}

// F d -3 m with the origin at the inversion centre: silicon's 8a site at 1/8, 1/8, 1/8.
Structure silicon(std::array<int, 3> divisions) {
  return {"silicon",
          "F d -3 m",
          {{5.431, 5.431, 5.431}, {90, 90, 90}},
          divisions,
          {{{0.125, 0.125, 0.125}, 14.0, 0.3}},
          {8}};
}

// P 21/c with an atom on an inversion centre (2a, multiplicity 2) and two on general positions.
Structure monoclinic(std::array<int, 3> divisions) {
  return {"monoclinic",
          "P 21/c",
          {{6.1, 7.3, 8.2}, {90, 104.5, 90}},
          divisions,
          {{{0.0, 0.0, 0.0}, 12.0, 0.35},
           {{0.21, 0.33, 0.12}, 8.0, 0.35},
           {{0.62, 0.15, 0.41}, 5.0, 0.35}},
          {2, 4, 4}};
}

INSTANTIATE_TEST_SUITE_P(Maps, KnownStructureTest,
                         ::testing::Values(silicon({48, 48, 48}), silicon({45, 45, 45}),
                                           monoclinic({30, 36, 40}), monoclinic({31, 37, 41})),
                         [](const ::testing::TestParamInfo<Structure>& info) {
                           return info.param.name + std::to_string(info.param.divisions[0]);
                         });

TEST(PeakTest, ImagesOnAGridThatDoesNotCarryTheGroupAreMergedWithTheirSpread) {
  const Structure s = monoclinic({31, 37, 41});
  ASSERT_FALSE(analysis::grid_carries_group(group(s.symbol), s.divisions));
  const std::vector<float> values =
      known_maps::gaussian_map(s.cell, group(s.symbol), s.atoms, s.divisions);
  const Found found = search(s, values, {false, 0, 3.0});
  ASSERT_EQ(found.peaks.size(), 3u);
  // The general atom's four images are four grid maxima, of heights that differ.
  const analysis::Peak& general = found.peaks[1];
  EXPECT_EQ(general.images_merged, 4);
  EXPECT_GT(general.height_spread, 0.0);
  // Heights at the refined position are close to the atom's own (its neighbours add little).
  EXPECT_NEAR(general.height, 8.0, 0.3);
}

TEST(PeakTest, HeightsInSigmaAndTheNearestPeakThroughSymmetry) {
  const Structure s = monoclinic({30, 36, 40});
  const std::vector<float> values =
      known_maps::gaussian_map(s.cell, group(s.symbol), s.atoms, s.divisions);
  const Found found = search(s, values, {false, 0, 3.0});
  ASSERT_EQ(found.peaks.size(), 3u);
  for (const analysis::Peak& p : found.peaks) {
    EXPECT_NEAR(p.height_sigma, (p.height - found.statistics.mean) / found.statistics.sigma, 1e-9);
    // The nearest peak, found independently over every image and neighbouring cell.
    double nearest = 1e9;
    const known_maps::Cell& cell = s.cell;
    for (const analysis::Peak& q : found.peaks) {
      for (const analysis::Operation& op : found.group.operations) {
        const Position image = op.apply(q.position);
        for (int u = -2; u <= 2; ++u) {
          for (int v = -2; v <= 2; ++v) {
            for (int w = -2; w <= 2; ++w) {
              const Position r =
                  cell.cartesian({image[0] + u - p.position[0], image[1] + v - p.position[1],
                                  image[2] + w - p.position[2]});
              const double d = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
              if (d > 0.5) nearest = std::min(nearest, d);
            }
          }
        }
      }
    }
    ASSERT_TRUE(p.nearest_peak_distance.has_value());
    EXPECT_NEAR(*p.nearest_peak_distance, nearest, 1e-9);
  }
}

TEST(PeakTest, TheDifferenceMapsHighestPeakIsTheMissingAtomAndItsDeepestHoleTheWrongOne) {
  // The structure's map less a model's: the model lacks the third atom and puts the second
  // 0.2 Å off its place.
  const Structure s = monoclinic({30, 36, 40});
  const analysis::SpaceGroup g = group(s.symbol);
  std::vector<Atom> model = {s.atoms[0], s.atoms[1]};
  model[1].position[0] += 0.2 / s.cell.lengths[0];
  const std::vector<float> observed = known_maps::gaussian_map(s.cell, g, s.atoms, s.divisions);
  std::vector<float> difference = known_maps::gaussian_map(s.cell, g, model, s.divisions);
  for (std::size_t i = 0; i < difference.size(); ++i) difference[i] = observed[i] - difference[i];
  const Found peaks = search(s, difference, {false, 1, 3.0});
  ASSERT_EQ(peaks.peaks.size(), 1u);
  EXPECT_LT(
      analysis::distance_under_group(peaks.peaks[0].position, s.atoms[2].position, peaks.cell, g),
      0.05);
  const Found holes = search(s, difference, {true, 1, 3.0});
  ASSERT_EQ(holes.peaks.size(), 1u);
  EXPECT_LT(holes.peaks[0].height, 0.0);
  // The hole lies on the wrong place's far side, within the Gaussian's width of it.
  EXPECT_LT(
      analysis::distance_under_group(holes.peaks[0].position, model[1].position, holes.cell, g),
      0.5);
}

TEST(PeakTest, AFlatMapHasNoPeaks) {
  const std::vector<float> values(8 * 8 * 8, 2.5f);
  const analysis::MapGrid map{{8, 8, 8}, values};
  const analysis::UnitCell cell({5, 5, 5}, {90, 90, 90});
  EXPECT_TRUE(analysis::find_peaks(map, cell, analysis::triclinic_group(),
                                   analysis::map_statistics(values), {})
                  .empty());
}

}  // namespace
