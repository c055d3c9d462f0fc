// Real crystal structures: gemmi computes the X-ray electron density of the whole cell from the
// atoms (IT92 form factors, every symmetry mate placed explicitly), the map file stores gemmi's
// asymmetric brick of that grid, and every grid point of the cell that mapconv writes is checked
// against gemmi's own value.
//
// On a grid that the symmetry maps onto itself every equivalent point is a stored grid point, so
// the only error is the 16-bit encoding: a code is the integer part of 32767 e, which loses less
// than one step of density range / 65534. The allowance of 1.01 steps leaves 0.01 for the
// single-precision rounding of the stored values, of the nine printed digits and of the decoding.
//
// On a grid that the symmetry does not map onto itself, translated equivalents fall between
// stored points and are interpolated trilinearly. Then, with h_i = a_i / N_i the grid spacing
// along axis i:
// - trilinear interpolation of f over a grid cell errs by at most (1/8) sum_i h_i^2 M2, where M2
//   bounds the second derivative of f along any direction over the cell (the one-dimensional
//   bound h^2/8 |f''|, applied axis by axis; each pass has weights summing to 1);
// - mapconv finds the point in single precision, off by at most delta grid steps per axis, which
//   moves the value by at most delta sum_i h_i M1, M1 bounding the first derivative;
// - the encoding adds its one step, as above.
// For one Gaussian a exp(-alpha r^2) of gemmi's density the directional derivatives at distance
// r from the atom are bounded by |a| 2 alpha (1 + 2 alpha r^2) exp(-alpha r^2) and by
// |a| 2 alpha r exp(-alpha r^2); taking each at its largest beyond the least distance r from the
// atom to a grid cell and summing over every atom near the cell bounds M2 and M1 on that cell.
// The bound checked is the largest over all cells. delta is twice the half unit in the last place
// of 102 N (the shifted coordinate and its reduction) plus 4e-6 N for the rounding of the
// fractional point and its image.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <gemmi/asumask.hpp>
#include <gemmi/dencalc.hpp>
#include <gemmi/grid.hpp>
#include <gemmi/it92.hpp>
#include <gemmi/model.hpp>
#include <gemmi/symmetry.hpp>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "experiment.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace {

struct Site {
  const char* element;
  std::array<double, 3> position;  // fractional
  double b_iso;                    // square angstrom
};

struct Structure {
  const char* name;
  std::array<double, 6> cell;  // a, b, c in angstrom, angles in degrees
  const char* gemmi_group;     // gemmi's name of the setting
  const char* symbol;          // the symbol as the experiment file holds it
  std::vector<Site> sites;     // the asymmetric unit
  e2e::Triple grid;
  double blur = 0;  // added to every B, as gemmi's density calculation allows
  bool interpolated = false;
};

void PrintTo(const Structure& s, std::ostream* os) {
  *os << s.name;
}

using Calculator = gemmi::DensityCalculator<gemmi::IT92<double>, double>;

double wrapped(double x) {
  return x - std::floor(x);
}

// Every symmetry mate of every site, each once, in [0, 1).
std::vector<Site> unit_cell_atoms(const Structure& s, const gemmi::SpaceGroup& group) {
  std::vector<Site> atoms;
  for (const Site& site : s.sites) {
    for (const gemmi::Op& op : group.operations()) {
      std::array<double, 3> p = op.apply_to_xyz(site.position);
      for (double& x : p) x = wrapped(x + 1e-9) - 1e-9;
      const bool known = std::any_of(atoms.begin(), atoms.end(), [&](const Site& other) {
        for (int i = 0; i < 3; ++i) {
          const double d = std::abs(other.position[i] - p[i]);
          if (std::min(d, 1 - d) > 1e-6) return false;
        }
        return true;
      });
      if (!known) atoms.push_back({site.element, p, site.b_iso});
    }
  }
  return atoms;
}

Calculator density_of(const Structure& s, const std::vector<Site>& atoms) {
  Calculator calculator;
  const auto& c = s.cell;
  calculator.grid.unit_cell.set(c[0], c[1], c[2], c[3], c[4], c[5]);
  calculator.grid.set_size(s.grid[0], s.grid[1], s.grid[2]);
  calculator.blur = s.blur;
  calculator.initialize_grid();
  for (const Site& site : atoms) {
    gemmi::Atom atom;
    atom.element = gemmi::Element(site.element);
    atom.pos = calculator.grid.unit_cell.orthogonalize(
        gemmi::Fractional(site.position[0], site.position[1], site.position[2]));
    atom.occ = 1;
    atom.b_iso = static_cast<float>(site.b_iso);
    calculator.add_atom_density_to_grid(atom);
  }
  return calculator;
}

// gemmi's asymmetric brick of the grid as a map file: the block from the origin to the brick's
// upper limit, first axis fastest.
support::MapFile brick_of(const gemmi::Grid<double>& grid, const gemmi::SpaceGroup& group) {
  const std::array<int, 3> end = gemmi::find_asu_brick(&group).uvw_end(grid);
  support::MapFile map;
  map.phase_name = "Computed by gemmi";
  map.grid_divisions = {grid.nu, grid.nv, grid.nw};
  map.block_steps = end;
  for (int w = 0; w < end[2]; ++w) {
    for (int v = 0; v < end[1]; ++v) {
      for (int u = 0; u < end[0]; ++u) {
        map.values.push_back(static_cast<float>(grid.get_value_q(u, v, w)));
      }
    }
  }
  const auto [low, high] = std::minmax_element(map.values.begin(), map.values.end());
  map.density_minimum = *low;
  map.density_maximum = *high;
  return map;
}

struct DerivativeBounds {
  double first = 0;
  double second = 0;
};

// Bounds of the density's first and second directional derivatives over every grid cell.
DerivativeBounds derivative_bounds(const Structure& s, const std::vector<Site>& atoms,
                                   const gemmi::Grid<double>& grid) {
  const gemmi::UnitCell& cell = grid.unit_cell;
  const gemmi::Position diagonal =
      cell.orthogonalize_difference(gemmi::Fractional(1.0 / grid.nu, 1.0 / grid.nv, 1.0 / grid.nw));
  const gemmi::Position other = cell.orthogonalize_difference(
      gemmi::Fractional(1.0 / grid.nu, -1.0 / grid.nv, 1.0 / grid.nw));
  const double cell_radius = 0.5 * std::max(diagonal.length(), other.length()) * 1.2;
  DerivativeBounds bounds;
  for (int u = 0; u < grid.nu; ++u) {
    for (int v = 0; v < grid.nv; ++v) {
      for (int w = 0; w < grid.nw; ++w) {
        const gemmi::Position centre = cell.orthogonalize(
            gemmi::Fractional((u + 0.5) / grid.nu, (v + 0.5) / grid.nv, (w + 0.5) / grid.nw));
        DerivativeBounds here;
        for (const Site& site : atoms) {
          const auto gaussians = gemmi::IT92<double>::get(gemmi::Element(site.element))
                                     .precalculate_density_iso(site.b_iso + s.blur);
          for (int t = 0; t < 27; ++t) {
            const gemmi::Fractional image(site.position[0] + t % 3 - 1,
                                          site.position[1] + t / 3 % 3 - 1,
                                          site.position[2] + t / 9 - 1);
            const double r = std::max(0.0, cell.orthogonalize(image).dist(centre) - cell_radius);
            for (std::size_t g = 0; g < std::size(gaussians.a); ++g) {
              const double a = std::abs(gaussians.a[g]), alpha = -gaussians.b[g];
              const double tt = std::max(alpha * r * r, 0.5);
              here.second += a * 2 * alpha * (1 + 2 * tt) * std::exp(-tt);
              const double rr = std::max(r, 1 / std::sqrt(2 * alpha));
              here.first += a * 2 * alpha * rr * std::exp(-alpha * rr * rr);
            }
          }
        }
        bounds.first = std::max(bounds.first, here.first);
        bounds.second = std::max(bounds.second, here.second);
      }
    }
  }
  return bounds;
}

// The allowance beyond one encoding step, in density units, for an interpolated grid.
double interpolation_allowance(const Structure& s, const std::vector<Site>& atoms,
                               const gemmi::Grid<double>& grid) {
  const DerivativeBounds bounds = derivative_bounds(s, atoms, grid);
  double allowance = 0;
  for (int i = 0; i < 3; ++i) {
    const double h = s.cell[i] / s.grid[i];
    const double shifted = 102.0 * s.grid[i];
    const double half_ulp = std::ldexp(1.0, std::ilogb(shifted) - 24);
    const double delta = 2 * half_ulp + 4e-6 * s.grid[i];
    allowance += h * h * bounds.second / 8 + delta * h * bounds.first;
  }
  return allowance;
}

// The structure's density as gemmi's grid, and the grid file that mapconv writes from its brick.
struct Conversion {
  std::vector<Site> atoms;
  Calculator density;
  support::MapFile map;
  support::RunResult run;
};

Conversion convert(const Structure& s) {
  const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(s.gemmi_group);
  if (group == nullptr) throw std::invalid_argument(s.gemmi_group);
  Conversion c;
  c.atoms = unit_cell_atoms(s, *group);
  c.density = density_of(s, c.atoms);
  c.map = brick_of(c.density.grid, *group);
  e2e::Crystal crystal;
  crystal.lengths = {s.cell[0], s.cell[1], s.cell[2]};
  crystal.angles = {s.cell[3], s.cell[4], s.cell[5]};
  c.run = e2e::run_mapconv({{"REAL.EXP", support::experiment_file_bytes(
                                             e2e::experiment_records(s.name, s.symbol, crystal))},
                            {"REAL.FOB", support::map_file_bytes(c.map)}},
                           "REAL");
  return c;
}

class RealStructureTest : public ::testing::TestWithParam<Structure> {};

TEST_P(RealStructureTest, EveryGridPointOfTheCellIsGemmisDensity) {
  const Structure& s = GetParam();
  const Conversion conversion = convert(s);
  const support::RunResult& run = conversion.run;
  const support::MapFile& map = conversion.map;
  const Calculator& density = conversion.density;
  ASSERT_EQ(run.exit_status, 0) << run.standard_output << run.standard_error;
  const std::vector<std::string> lines = e2e::crlf_lines(run.files.at("REAL.grd"));
  const std::size_t points = std::size_t(s.grid[0]) * s.grid[1] * s.grid[2];
  ASSERT_EQ(lines.size(), 3 + points);

  const double scale = e2e::expected_scale(map.density_minimum, map.density_maximum);
  const double step = scale * (map.density_maximum - map.density_minimum) / 65534;
  const double allowance =
      1.01 * step +
      (s.interpolated ? scale * interpolation_allowance(s, conversion.atoms, density.grid) : 0.0);
  double largest = 0;
  std::size_t line = 3;
  for (int i = 0; i < s.grid[0]; ++i) {
    for (int j = 0; j < s.grid[1]; ++j) {
      for (int k = 0; k < s.grid[2]; ++k, ++line) {
        const double expected = scale * density.grid.get_value_q(i, j, k);
        const double difference = std::abs(std::stod(lines[line]) - expected);
        largest = std::max(largest, difference);
        ASSERT_LE(difference, allowance) << "at " << i << " " << j << " " << k;
      }
    }
  }
  std::printf("%s: largest difference %.3f encoding steps (allowed %.3f)\n", s.name, largest / step,
              allowance / step);
}

// Positions typed in from the papers named; B values are typical room-temperature values where
// the paper's are not given here. The grids are multiples of the translations' denominators
// except the interpolated one.
const Structure kRockSalt{
    // NaCl, F m -3 m, origin at m-3m; a from Wyckoff, Crystal Structures, Vol. 1 (1963).
    "NaCl",
    {5.6402, 5.6402, 5.6402, 90, 90, 90},
    "F m -3 m",
    "F m -3 m",
    {{"Na", {0, 0, 0}, 1.6}, {"Cl", {0.5, 0.5, 0.5}, 1.2}},
    {48, 48, 48}};

const Structure kCorundum{
    // Al2O3, R -3 c on hexagonal axes; Kirfel & Eichhorn, Acta Cryst. A46 (1990) 271.
    "corundum",
    {4.7602, 4.7602, 12.9933, 90, 90, 120},
    "R -3 c:H",
    "R -3 c",
    {{"Al", {0, 0, 0.35216}, 0.19}, {"O", {0.30624, 0, 0.25}, 0.26}},
    {36, 36, 96}};

const Structure kMarcasite{// FeS2, P n n m; Brostigen & Kjekshus, Acta Chem. Scand. 23 (1969) 2186.
                           "marcasite",
                           {4.4431, 5.4245, 3.3871, 90, 90, 90},
                           "P n n m",
                           "P n n m",
                           {{"Fe", {0, 0, 0}, 0.3}, {"S", {0.2001, 0.3784, 0}, 0.4}},
                           {40, 48, 30}};

const Structure kBaddeleyite{// ZrO2, P 21/c; Howard, Hill & Reichert, Acta Cryst. B44 (1988) 116.
                             "baddeleyite",
                             {5.1505, 5.2116, 5.3173, 90, 99.23, 90},
                             "P 1 21/c 1",
                             "P 21/c",
                             {{"Zr", {0.2754, 0.0395, 0.2083}, 0.4},
                              {"O", {0.0700, 0.3317, 0.3447}, 0.6},
                              {"O", {0.4496, 0.7569, 0.4792}, 0.6}},
                             {48, 48, 48}};

// Si, F d -3 m origin choice 2 (the inversion centre at the origin), a from CODATA 2018. The
// translations of 1/4 on a grid of 50 put translated equivalents halfway between stored points;
// the blur keeps the interpolation error small beside the range.
const Structure kSilicon{"silicon",
                         {5.431020511, 5.431020511, 5.431020511, 90, 90, 90},
                         "F d -3 m:2",
                         "F d -3 m",
                         {{"Si", {0.125, 0.125, 0.125}, 0.46}},
                         {50, 50, 50},
                         2.0,
                         true};

INSTANTIATE_TEST_SUITE_P(Structures, RealStructureTest,
                         ::testing::Values(kRockSalt, kCorundum, kMarcasite, kBaddeleyite,
                                           kSilicon),
                         [](const auto& info) { return std::string(info.param.name); });

// Standard output and error of a shell command run in `directory`, and its exit status. The
// Debian packages' Python comes first on the path, whatever other Python the machine has.
std::pair<std::string, int> run_command(const std::filesystem::path& directory,
                                        const std::string& command) {
  return support::run_shell_command("cd '" + directory.string() + "' && PATH=/usr/bin:/bin:$PATH " +
                                    command);
}

// The map that grd2ccp4 makes of a real structure's grid file passes the strict MRC2014
// validator, and PyMOL, run headless as the README shows it, opens it and contours it.
class ViewerMap : public ::testing::Test {
 protected:
  void SetUp() override {
    const Conversion conversion = convert(kCorundum);
    ASSERT_EQ(conversion.run.exit_status, 0) << conversion.run.standard_error;
    support::write_file_bytes(work_ / "REAL.grd", conversion.run.files.at("REAL.grd"));
    const auto [output, status] =
        run_command(work_.path(), std::string(GRD2CCP4_PROGRAM) + " REAL");
    ASSERT_EQ(status, 0) << output;
  }
  support::TempDirectory work_;
};

TEST_F(ViewerMap, PassesTheStrictMrc2014Validator) {
  const auto [output, status] =
      run_command(work_.path(),
                  "python3 -c 'import mrcfile, sys; sys.exit(0 if mrcfile.validate(\"REAL.ccp4\") "
                  "else 1)'");
  EXPECT_EQ(status, 0) << output;
}

// With the experiment file beside the grid file, the map carries the space group: gemmi reads
// it back from the header, the strict validator still passes and PyMOL still opens it.
TEST_F(ViewerMap, CarriesTheExperimentsSpaceGroup) {
  const Conversion conversion = convert(kBaddeleyite);
  ASSERT_EQ(conversion.run.exit_status, 0) << conversion.run.standard_error;
  support::write_file_bytes(work_ / "BADD.grd", conversion.run.files.at("REAL.grd"));
  support::write_file_bytes(work_ / "BADD.EXP", conversion.run.files.at("REAL.EXP"));
  const auto [report, converted] =
      run_command(work_.path(), std::string(GRD2CCP4_PROGRAM) + " BADD");
  ASSERT_EQ(converted, 0) << report;
  EXPECT_TRUE(report.ends_with(", space group P 21/c (number 14)\n")) << report;
  const auto [read, status] =
      run_command(work_.path(),
                  "python3 -c 'import gemmi, mrcfile, sys; m = gemmi.read_ccp4_map(\"BADD.ccp4\"); "
                  "print(m.grid.spacegroup.number, len(m.grid.spacegroup.operations()), "
                  "mrcfile.validate(\"BADD.ccp4\"))'");
  EXPECT_EQ(status, 0) << read;
  EXPECT_TRUE(read.ends_with("File appears to be valid.\n14 4 True\n")) << read;
  support::write_file_bytes(work_ / "group.pml",
                            "load BADD.ccp4\n"
                            "isomesh mesh, BADD, 1.0\n"
                            "python\n"
                            "with open('group.txt', 'w') as seen:\n"
                            "    seen.write(' '.join(cmd.get_names()) + '\\n')\n"
                            "python end\n");
  const auto [output, loaded] = run_command(work_.path(), "pymol -cq group.pml");
  EXPECT_EQ(loaded, 0) << output;
  EXPECT_EQ(support::read_file_bytes(work_ / "group.txt"), "BADD mesh\n");
}

// The map that mapconv --ccp4 writes beside the grid file is read by gemmi with the experiment's
// group, passes the strict validator and opens in PyMOL, like grd2ccp4's.
TEST_F(ViewerMap, TheConversionsOwnMapIsReadValidatedAndOpened) {
  const Conversion conversion = convert(kBaddeleyite);
  ASSERT_EQ(conversion.run.exit_status, 0) << conversion.run.standard_error;
  support::RunRequest request;
  request.arguments = {"--ccp4", "REAL"};
  request.files = {{"REAL.EXP", conversion.run.files.at("REAL.EXP")},
                   {"REAL.FOB", support::map_file_bytes(conversion.map)}};
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  const support::RunResult run = support::run_built_program(MAPCONV_PROGRAM, request);
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_TRUE(run.standard_error.ends_with(", space group P 21/c (number 14)\n"))
      << run.standard_error;
  support::write_file_bytes(work_ / "OWN.ccp4", run.files.at("REAL.ccp4"));
  const auto [read, status] =
      run_command(work_.path(),
                  "python3 -c 'import gemmi, mrcfile; m = gemmi.read_ccp4_map(\"OWN.ccp4\"); "
                  "print(m.grid.spacegroup.number, len(m.grid.spacegroup.operations()), "
                  "mrcfile.validate(\"OWN.ccp4\"))'");
  EXPECT_EQ(status, 0) << read;
  EXPECT_TRUE(read.ends_with("File appears to be valid.\n14 4 True\n")) << read;
  support::write_file_bytes(work_ / "own.pml",
                            "load OWN.ccp4\n"
                            "isomesh mesh, OWN, 1.0\n"
                            "python\n"
                            "with open('own.txt', 'w') as seen:\n"
                            "    seen.write(' '.join(cmd.get_names()) + '\\n')\n"
                            "python end\n");
  const auto [output, loaded] = run_command(work_.path(), "pymol -cq own.pml");
  EXPECT_EQ(loaded, 0) << output;
  EXPECT_EQ(support::read_file_bytes(work_ / "own.txt"), "OWN mesh\n");
}

TEST_F(ViewerMap, OpensAndContoursInPymol) {
  // PyMOL echoes every command; what it has seen goes to a file of its own.
  support::write_file_bytes(work_ / "look.pml",
                            "load REAL.ccp4\n"
                            "isomesh mesh, REAL, 1.0\n"
                            "python\n"
                            "with open('seen.txt', 'w') as seen:\n"
                            "    seen.write(' '.join(cmd.get_names()) + '\\n')\n"
                            "    symmetry = cmd.get_symmetry('REAL')\n"
                            "    seen.write(' '.join('%.4f' % v for v in symmetry[:6]) + '\\n')\n"
                            "    seen.write(symmetry[6] + '\\n')\n"
                            "python end\n");
  const auto [output, status] = run_command(work_.path(), "pymol -cq look.pml");
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(support::read_file_bytes(work_ / "seen.txt"),
            "REAL mesh\n4.7602 4.7602 12.9933 90.0000 90.0000 120.0000\nP 1\n");
}

// What the README says of PyMOL holds: a map loaded as it is comes normalised (mean 0, standard
// deviation 1, so a level is in sigma); loaded with normalize_ccp4_maps off it keeps the grid
// file's values, so a level is in the map's own units; and a mesh drawn around pseudoatoms at
// the cell's corners spans the whole cell, its far faces filled from the near ones.
TEST(ViewerAdvice, LevelsAndTheWholeCellHoldInPymol) {
  support::TempDirectory work;
  const Conversion conversion = convert(kRockSalt);
  ASSERT_EQ(conversion.run.exit_status, 0) << conversion.run.standard_error;
  support::write_file_bytes(work / "NACL.grd", conversion.run.files.at("REAL.grd"));
  ASSERT_EQ(run_command(work.path(), std::string(GRD2CCP4_PROGRAM) + " NACL").second, 0);
  support::write_file_bytes(
      work / "look.pml",
      "load NACL.ccp4, normalised\n"
      "set normalize_ccp4_maps, off\n"
      "load NACL.ccp4, own\n"
      "pseudoatom cell_corners, pos=[0, 0, 0]\n"
      "pseudoatom cell_corners, pos=[5.6402, 5.6402, 5.6402]\n"
      "isomesh mesh, own, 1.0, cell_corners\n"
      "python\n"
      "import mrcfile, numpy\n"
      "normalised = cmd.get_volume_field('normalised')\n"
      "own = cmd.get_volume_field('own')\n"
      "grid = mrcfile.open('NACL.ccp4').data.transpose()\n"
      "state = [n for n in cmd.get_session('mesh')['names'] if n and n[0] == 'mesh'][0][5][2][0]\n"
      "values = state[16][2][6]\n"
      "points = numpy.array(state[16][3][6]).reshape(-1, 3)\n"
      "step = 5.6402 / 48\n"
      "off = sum(abs(v - own[tuple(int(round(c / step)) % 48 for c in p)]) > 1e-5 * own.max()\n"
      "          for v, p in zip(values, points))\n"
      "with open('seen.txt', 'w') as seen:\n"
      "    seen.write('normalised %.3f %.3f\\n' % (normalised.mean(), normalised.std()))\n"
      "    seen.write('normalised values are the file values %s\\n'\n"
      "               % numpy.array_equal(normalised, grid))\n"
      "    seen.write('own values are the file values %s\\n' % numpy.array_equal(own, grid))\n"
      "    seen.write('mesh from %s to %s\\n' % (points.min(axis=0).round(4) <= 0,\n"
      "                                          points.max(axis=0).round(4) >= 5.6402))\n"
      "    seen.write('mesh values not the map values %d\\n' % off)\n"
      "python end\n");
  const auto [output, status] = run_command(work.path(), "pymol -cq look.pml");
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(support::read_file_bytes(work / "seen.txt"),
            "normalised 0.000 1.000\n"
            "normalised values are the file values False\n"
            "own values are the file values True\n"
            "mesh from [ True  True  True] to [ True  True  True]\n"
            "mesh values not the map values 0\n");
}

}  // namespace
