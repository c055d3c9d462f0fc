// Sections of maps of known functions: the cell's true metric in the plane, the contours of a
// Gaussian (a circle of known radius however oblique the cell), marching squares on small
// lattices worked by hand, the contour levels, trilinear values and the peaks' places in a slab.
#include "analysis/section.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/contours.hpp"
#include "analysis/map_grid.hpp"
#include "known_maps.hpp"

namespace {

using known_maps::Position;

struct CellCase {
  const char* name;
  known_maps::Cell cell;
  std::size_t normal_axis;
  double angle;  // between the axis across and the axis up, degrees
};

const std::vector<CellCase> kCells = {
    {"cubic z", {{10, 10, 10}, {90, 90, 90}}, 2, 90},
    {"hexagonal z", {{10, 10, 8}, {90, 90, 120}}, 2, 120},
    {"monoclinic y (z across, x up)", {{9, 7, 11}, {90, 104.5, 90}}, 1, 104.5},
    {"monoclinic z", {{9, 7, 11}, {90, 104.5, 90}}, 2, 90},
    {"triclinic x (y across, z up)", {{8, 9, 10}, {75, 82, 96}}, 0, 75},
};

analysis::UnitCell unit_cell(const known_maps::Cell& c) {
  return {c.lengths, c.angles};
}

double distance(const Position& p, const Position& q) {
  return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                   (p[2] - q[2]) * (p[2] - q[2]));
}

TEST(SectionFrameTest, EdgesMeetAtTheCellAngleAndDistancesAreTheCells) {
  const std::vector<Position> points = {
      {0.1, 0.2, 0.3}, {0.7, 0.05, 0.45}, {0.35, 0.9, 0.6}, {1.2, -0.3, 0.1}};
  for (const CellCase& c : kCells) {
    const analysis::SectionFrame frame(unit_cell(c.cell), {c.normal_axis, 0.3});
    const auto across = frame.in_plane(1, 0), up = frame.in_plane(0, 1);
    const double degrees = std::atan2(up[1], up[0]) * 180.0 / std::numbers::pi -
                           std::atan2(across[1], across[0]) * 180.0 / std::numbers::pi;
    EXPECT_NEAR(degrees, c.angle, 1e-9) << c.name;
    EXPECT_NEAR(std::hypot(across[0], across[1]), c.cell.lengths[(c.normal_axis + 1) % 3], 1e-9);
    EXPECT_NEAR(std::hypot(up[0], up[1]), c.cell.lengths[(c.normal_axis + 2) % 3], 1e-9);
    EXPECT_NEAR(frame.layer_spacing(), unit_cell(c.cell).plane_spacing(c.normal_axis), 1e-9);
    // The frame is a rigid motion of the cell's own Cartesian axes: distances agree.
    for (const Position& p : points) {
      for (const Position& q : points) {
        EXPECT_NEAR(distance(frame.cartesian(p), frame.cartesian(q)),
                    distance(c.cell.cartesian(p), c.cell.cartesian(q)), 1e-9)
            << c.name;
      }
    }
    // A point of the plane is at Z = 0 and its fractions come back.
    Position on{0.4, 0.4, 0.4};
    on[c.normal_axis] = 0.3;
    EXPECT_NEAR(frame.cartesian(on)[2], 0.0, 1e-12) << c.name;
    const auto f = frame.fractions_of(frame.cartesian(on)[0], frame.cartesian(on)[1]);
    EXPECT_NEAR(f[0], 0.4, 1e-12);
    EXPECT_NEAR(f[1], 0.4, 1e-12);
  }
}

TEST(SectionContoursTest, AGaussiansContourIsACircleOfItsRadiusInTheTrueMetric) {
  // Height 10, standard deviation 0.8 Å: the level h lies at r = 0.8 sqrt(2 ln(10 / h)).
  const known_maps::Atom atom{{0.5, 0.5, 0.5}, 10.0, 0.8};
  const std::array<int, 3> n = {48, 48, 48};
  for (const CellCase& c : kCells) {
    const std::vector<float> values =
        known_maps::gaussian_map(c.cell, analysis::triclinic_group(), {atom}, n);
    const analysis::MapGrid map{n, values};
    const analysis::SectionFrame frame(unit_cell(c.cell), {c.normal_axis, 0.5});
    const analysis::SectionSamples samples =
        analysis::sample_section(map, frame.plane(), {{0.25, 0.25}, {0.75, 0.75}}, 151, 151);
    const auto centre = frame.cartesian(atom.position);
    for (const double level : {2.0, 5.0, 8.0}) {
      const double radius = 0.8 * std::sqrt(2.0 * std::log(10.0 / level));
      const std::vector<analysis::ContourLine> lines =
          analysis::contour_lines({samples.columns, samples.rows, samples.values}, level);
      ASSERT_EQ(lines.size(), 1u) << c.name << " level " << level;
      EXPECT_TRUE(lines[0].closed);
      EXPECT_GT(lines[0].points.size(), 20u);
      for (const auto& p : lines[0].points) {
        const auto f = samples.fractions_at(p[0], p[1]);
        const auto xy = frame.in_plane(f[0], f[1]);
        ASSERT_NEAR(std::hypot(xy[0] - centre[0], xy[1] - centre[1]), radius, 0.03)
            << c.name << " level " << level;
      }
    }
  }
}

TEST(MarchingSquaresTest, SmallLatticesWorkedByHand) {
  using Points = std::vector<std::array<double, 2>>;
  struct Case {
    const char* name;
    int columns, rows;
    std::vector<float> values;
    double level;
    std::vector<Points> lines;  // each as walked, up to its start and direction
    std::vector<bool> closed;
  };
  const std::vector<Case> cases = {
      {"one high point: a diamond",
       3,
       3,
       {0, 0, 0, 0, 1, 0, 0, 0, 0},
       0.5,
       {{{1, 0.5}, {1.5, 1}, {1, 1.5}, {0.5, 1}}},
       {true}},
      {"a ramp: one open line across",
       3,
       2,
       {0, 1, 2, 0, 1, 2},
       1.5,
       {{{1.5, 0}, {1.5, 1}}},
       {false}},
      // (0,0) and (1,1) high: the mean 0.5 is inside at 0.4 and the low corners are cut off.
      {"saddle, centre inside",
       2,
       2,
       {1, 0, 0, 1},
       0.4,
       {{{0.6, 0}, {1, 0.4}}, {{0, 0.6}, {0.4, 1}}},
       {false, false}},
      {"saddle, centre outside",
       2,
       2,
       {1, 0, 0, 1},
       0.6,
       {{{0.4, 0}, {0, 0.4}}, {{1, 0.6}, {0.6, 1}}},
       {false, false}},
      {"a value on the level counts as inside",
       2,
       2,
       {1, 1, 0, 0},
       1.0,
       {{{0, 0}, {1, 0}}},
       {false}},
      {"nothing reaches the level", 2, 2, {0, 0, 0, 0}, 0.5, {}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<analysis::ContourLine> lines =
        analysis::contour_lines({c.columns, c.rows, c.values}, c.level);
    ASSERT_EQ(lines.size(), c.lines.size()) << c.name;
    for (const Points& expected : c.lines) {
      // Some line holds exactly these points, in this cyclic order or its reverse.
      bool found = false;
      for (const analysis::ContourLine& line : lines) {
        if (line.points.size() != expected.size()) continue;
        for (int direction : {1, -1}) {
          for (std::size_t start = 0; start < expected.size(); ++start) {
            bool same = true;
            for (std::size_t k = 0; k < expected.size(); ++k) {
              const std::size_t m =
                  (start + expected.size() + direction * static_cast<long>(k)) % expected.size();
              same = same && std::abs(line.points[k][0] - expected[m][0]) < 1e-9 &&
                     std::abs(line.points[k][1] - expected[m][1]) < 1e-9;
            }
            found = found || (same && line.closed == c.closed[&expected - c.lines.data()]);
          }
        }
      }
      EXPECT_TRUE(found) << c.name;
    }
  }
}

TEST(SigmaLevelsTest, MultiplesOfTheStepWithinTheValuesAndNoneAtZero) {
  struct Case {
    double sigma, step, minimum, maximum;
    std::optional<std::vector<double>> levels;
  };
  const std::vector<Case> cases = {
      {2.0, 1.0, 0.0, 14.0, std::vector<double>{2, 4, 6, 8, 10, 12, 14}},
      {1.0, 1.0, -2.5, 3.2, std::vector<double>{-2, -1, 1, 2, 3}},
      {2.0, 0.5, -1.5, 2.0, std::vector<double>{-1, 1, 2}},
      {1.0, 1.0, 0.2, 0.9, std::vector<double>{}},
      {1.0, 0.001, -10.0, 10.0, std::nullopt},  // 20,000 levels
  };
  for (const Case& c : cases) {
    EXPECT_EQ(analysis::sigma_levels(c.sigma, c.step, c.minimum, c.maximum, 100), c.levels)
        << c.step << " " << c.minimum << " " << c.maximum;
  }
}

TEST(TrilinearTest, ValuesBetweenGridPointsWrapAroundTheCell) {
  // v = i + 10 j + 100 k on a 4 x 4 x 4 grid.
  std::vector<float> values(64);
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < 4; ++j) {
      for (int i = 0; i < 4; ++i) values[i + 4 * (j + 4 * k)] = float(i + 10 * j + 100 * k);
    }
  }
  const analysis::MapGrid map{{4, 4, 4}, values};
  struct Case {
    Position x;
    float value;
  };
  for (const Case& c : {Case{{0.25, 0.5, 0.75}, 321}, Case{{0.125, 0.125, 0.125}, 55.5},
                        Case{{0.875, 0, 0}, 1.5},  // halfway from i = 3 back to i = 0
                        Case{{-0.25, 1.25, 2.0}, 13}}) {
    EXPECT_NEAR(analysis::trilinear(map, c.x), c.value, 1e-4) << c.x[0] << c.x[1] << c.x[2];
  }
}

TEST(ImagesInSlabTest, SiliconAtomsNearTheSectionThroughOne) {
  // F d -3 m, origin at the inversion centre: atoms at 1/8 1/8 1/8 and its images; the plane
  // z = 1/8 holds two per cell, (1/8, 1/8) and (5/8, 5/8); the layers z = 3/8 and -1/8 lie a/4
  // (1.36 Å) away with two more each.
  const analysis::SpaceGroup group = *analysis::group_of_symbol("F d -3 m");
  const double a = 5.4307;
  const analysis::SectionFrame frame({{a, a, a}, {90, 90, 90}}, {2, 0.125});
  struct Case {
    analysis::SectionRange range;
    double slab;
    std::vector<std::array<double, 2>> places;  // fractions
  };
  const std::vector<Case> cases = {
      {{}, 0.5, {{0.125, 0.125}, {0.625, 0.625}}},
      {{},
       1.5,
       {{0.125, 0.125},
        {0.625, 0.625},
        {0.875, 0.375},
        {0.375, 0.875},
        {0.875, 0.875},
        {0.375, 0.375}}},
      {{{0.0, 0.0}, {1.2, 1.2}},
       0.5,
       {{0.125, 0.125}, {0.625, 0.625}, {1.125, 0.125}, {0.125, 1.125}, {1.125, 1.125}}},
  };
  for (const Case& c : cases) {
    const auto places =
        analysis::images_in_slab({0.125, 0.125, 0.125}, group, frame, c.range, c.slab);
    EXPECT_EQ(places.size(), c.places.size()) << c.slab;
    for (const auto& f : c.places) {
      bool found = false;
      for (const auto& p : places) {
        found = found || (std::abs(p[0] - f[0] * a) < 1e-6 && std::abs(p[1] - f[1] * a) < 1e-6);
      }
      EXPECT_TRUE(found) << f[0] << " " << f[1] << " slab " << c.slab;
    }
  }
  // A slab of any width is searched through a bounded number of layers.
  EXPECT_FALSE(analysis::images_in_slab({0.125, 0.125, 0.125}, group, frame, {}, 1e300).empty());
}

}  // namespace
