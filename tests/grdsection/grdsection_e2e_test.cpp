// grdsection run as a real process on grid files of known structures written here in mapconv's
// layout: the plane, the metric, the marks, the levels, and bad input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"
#include "support/experiment_file.hpp"
#include "support/run_program.hpp"
#include "svg_reading.hpp"

namespace {

using known_maps::Atom;

const known_maps::Cell kCell = {{6.1, 7.3, 8.2}, {90, 104.5, 90}};
// The highest atom at (0.2, 1/3, 0.125), a lower one on the inversion centre at the origin. Both
// lie on grid points, where the refinement of a peak leaves it (the cross terms of the oblique
// metric would move one between grid points), so the plane through the highest peak is z = 0.125.
const std::vector<Atom> kAtoms = {{{0.0, 0.0, 0.0}, 8.0, 0.35},
                                  {{0.2, 1.0 / 3, 0.125}, 12.0, 0.35}};
const std::array<int, 3> kGrid = {30, 36, 40};

std::string grid_file(const std::string& title, const std::string& map_type,
                      const std::vector<Atom>& atoms) {
  return known_maps::grid_file_text(
      kCell, title, map_type,
      known_maps::gaussian_map(kCell, *analysis::group_of_symbol("P 21/c"), atoms, kGrid), kGrid);
}

const std::string kExperiment =
    support::experiment_file_bytes({{"     VERSION", "    6"},
                                    {"      DESCR ", "Monoclinic test phase"},
                                    {"  FOUR CDAT1", "           1"},
                                    {"CRS1  ABC   ", "   6.10000   7.30000   8.20000"},
                                    {"CRS1  ANGLES", "   90.0000  104.5000   90.0000"},
                                    {"CRS1  SG SYM", "P 21/c"}});

support::RunResult run(const std::vector<std::string>& arguments,
                       std::map<std::string, std::string> files) {
  support::RunRequest request;
  request.arguments = arguments;
  request.files = std::move(files);
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  return support::run_built_program(GRDSECTION_PROGRAM, request);
}

// Marks are at the peaks' refined positions, which lie within a few hundredths of an Å (about 80
// pixels each here) of the atoms off grid points; places are exact to the SVG's two decimals.
void expect_near(const svg_reading::Point& seen, const svg_reading::Point& expected,
                 const std::string& what, double tolerance = 2.0) {
  EXPECT_NEAR(seen[0], expected[0], tolerance) << what;
  EXPECT_NEAR(seen[1], expected[1], tolerance) << what;
}

TEST(GrdsectionTest, TheDefaultPlanePassesThroughTheHighestPeakWhichIsMarked) {
  const support::RunResult result =
      run({"mono"}, {{"MONO.grd", grid_file("Monoclinic test phase", "FOBS", kAtoms)},
                     {"MONO.EXP", kExperiment}});
  ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  EXPECT_EQ(result.standard_error, "");
  EXPECT_TRUE(result.standard_output.starts_with("Wrote MONO-z0.125.svg: section z = 0.125, "))
      << result.standard_output;
  EXPECT_EQ(result.files.at("MONO.EXP"), kExperiment);
  ASSERT_EQ(result.files.count("MONO-z0.125.svg"), 1u);
  const std::string& svg = result.files.at("MONO-z0.125.svg");
  EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\""));
  EXPECT_NE(svg.find("Monoclinic test phase, FOBS map"), std::string::npos);
  EXPECT_NE(svg.find("section z = 0.125, x across, y up"), std::string::npos);
  EXPECT_GT(svg_reading::count_of(svg, "<path class=\"positive\""), 3);
  EXPECT_EQ(svg_reading::count_of(svg, "<path class=\"negative\""), 0);
  // The atom on the inversion centre lies 0.125 c sin(beta) = 0.99 Å from the plane: not marked.
  const svg_reading::Axes axes = svg_reading::axes_of(svg);
  const std::vector<svg_reading::Mark> peaks = svg_reading::marks_of(svg, "peak");
  ASSERT_EQ(peaks.size(), 1u) << svg;
  EXPECT_EQ(peaks[0].label, "1");
  expect_near(peaks[0].at, axes.place(0.2, 1.0 / 3), "peak 1");
}

TEST(GrdsectionTest, EachPlaneIsDrawnInTheTrueMetricOfTheCell) {
  struct Case {
    std::string plane, file;
    double angle, across, up;               // the angle between the axes; their lengths in Å
    std::vector<svg_reading::Point> peaks;  // fractions (across, up) of the images in the plane
  };
  // y: z across and x up, at beta; x: y across and z up, at alpha, where the 2-fold screw axis
  // brings the image at (0.2, 1/6, 0.625) into the plane too.
  const std::vector<Case> cases = {
      {"z=0.125", "MONO-z0.125.svg", 90.0, 6.1, 7.3, {{0.2, 1.0 / 3}}},
      {"y=0.3333333", "MONO-y0.333.svg", 104.5, 8.2, 6.1, {{0.125, 0.2}}},
      {"x=0.2", "MONO-x0.200.svg", 90.0, 7.3, 8.2, {{1.0 / 3, 0.125}, {1.0 / 6, 0.625}}}};
  for (const Case& c : cases) {
    const support::RunResult result =
        run({"--plane", c.plane, "MONO.grd"},
            {{"MONO.grd", grid_file("Monoclinic test phase", "FOBS", kAtoms)},
             {"MONO.EXP", kExperiment}});
    ASSERT_EQ(result.exit_status, 0) << result.standard_error;
    ASSERT_EQ(result.files.count(c.file), 1u) << c.plane;
    const std::string& svg = result.files.at(c.file);
    const svg_reading::Axes axes = svg_reading::axes_of(svg);
    EXPECT_NEAR(axes.angle(), c.angle, 0.1) << c.plane;
    EXPECT_NEAR(axes.across_length() / axes.up_length(), c.across / c.up, 0.002) << c.plane;
    const std::vector<svg_reading::Mark> peaks = svg_reading::marks_of(svg, "peak");
    ASSERT_EQ(peaks.size(), c.peaks.size()) << c.plane;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
      EXPECT_EQ(peaks[i].label, "1");
      expect_near(peaks[i].at, axes.place(c.peaks[i][0], c.peaks[i][1]), c.plane);
    }
  }
}

TEST(GrdsectionTest, ADifferenceMapHasDashedNegativeContoursAndMarkedHoles) {
  // The model put a wrong atom on the inversion centre: a hole there, at every corner of the
  // cell drawn.
  const std::vector<Atom> atoms = {{{0.0, 0.0, 0.0}, -12.0, 0.35}, kAtoms[1]};
  const support::RunResult result =
      run({"--plane", "z=0", "-o", "diff.svg", "DIFF"},
          {{"DIFF.grd", grid_file("Difference <test> & co", "DELF", atoms)},
           {"DIFF.EXP", kExperiment}});
  ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  const std::string& svg = result.files.at("diff.svg");
  EXPECT_NE(svg.find("Difference &lt;test&gt; &amp; co, DELF map"), std::string::npos);
  EXPECT_NE(svg.find("<path class=\"negative\" stroke=\"#c0392b\" stroke-dasharray"),
            std::string::npos);
  const svg_reading::Axes axes = svg_reading::axes_of(svg);
  const std::vector<svg_reading::Mark> holes = svg_reading::marks_of(svg, "hole");
  ASSERT_EQ(holes.size(), 4u);
  for (const svg_reading::Mark& hole : holes) {
    EXPECT_EQ(hole.label, "H1");
    const double u = std::round((hole.at[0] - axes.origin[0]) / (axes.across[0] - axes.origin[0]));
    const double w = std::round((hole.at[1] - axes.origin[1]) / (axes.up[1] - axes.origin[1]));
    expect_near(hole.at, axes.place(u, w), "hole at a corner", 0.05);
  }
}

TEST(GrdsectionTest, GivenLevelsAreTheOnesDrawn) {
  const support::RunResult result =
      run({"--levels", "3,1", "--plane=z=0.125", "-o", "pic.svg", "MONO"},
          {{"MONO.grd", grid_file("Monoclinic test phase", "FOBS", kAtoms)}});
  ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  const std::string& svg = result.files.at("pic.svg");
  EXPECT_NE(svg.find("contours at 3σ, 1σ"), std::string::npos);
  EXPECT_EQ(svg_reading::count_of(svg, "<path class=\"positive\""), 2);
  EXPECT_NE(svg.find("<title>1σ</title>"), std::string::npos);
  EXPECT_NE(svg.find("<title>3σ</title>"), std::string::npos);
  EXPECT_TRUE(result.standard_output.starts_with(
      "Wrote pic.svg: section z = 0.125, 2 of 2 contour levels drawn, 1 mark\n"))
      << result.standard_output;
}

// A model of the monoclinic phase: the two atoms, and one more at (0.7, 0.8, 0.1) that the map
// lacks, 0.2 Å from the plane z = 0.125; the atom on the inversion centre is 0.99 Å from it.
std::string model(const std::string& cell_a) {
  return "data_mono\n_cell_length_a " + cell_a +
         "\n_cell_length_b 7.3\n_cell_length_c 8.2\n_cell_angle_alpha 90\n"
         "_cell_angle_beta 104.5\n_cell_angle_gamma 90\nloop_\n_atom_site_label\n"
         "_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
         "Ni1 0 0 0\nC1 0.2 0.333333 0.125\nO<1> 0.7 0.8 0.1\n";
}

TEST(GrdsectionTest, TheModelsAtomsInTheSlabAreMarkedWithTheirLabels) {
  struct Case {
    std::string cell_a, note;
  };
  for (const Case& c :
       {Case{"6.1", ""},
        Case{"6.4",
             "grdsection: note: the cell of the model m.cif differs from the map's in a; "
             "its atoms are drawn at their fractional positions\n"}}) {
    const support::RunResult result =
        run({"--model", "m.cif", "MONO"},
            {{"MONO.grd", grid_file("Monoclinic test phase", "FOBS", kAtoms)},
             {"MONO.EXP", kExperiment},
             {"m.cif", model(c.cell_a)}});
    ASSERT_EQ(result.exit_status, 0) << result.standard_error;
    EXPECT_EQ(result.standard_error, c.note);
    const std::string& svg = result.files.at("MONO-z0.125.svg");
    const svg_reading::Axes axes = svg_reading::axes_of(svg);
    const std::vector<svg_reading::Mark> atoms = svg_reading::marks_of(svg, "atom");
    ASSERT_EQ(atoms.size(), 2u) << svg;
    EXPECT_EQ(atoms[0].label, "C1");
    expect_near(atoms[0].at, axes.place(0.2, 1.0 / 3), "C1", 0.05);
    // Off the plane by -0.025 c: the foot of its perpendicular, moved by -0.025 c cos(beta)
    // along a (0.025 x 8.2 x 0.2504 / 6.1 = 0.0084 of a).
    EXPECT_EQ(atoms[1].label, "O&lt;1&gt;");
    expect_near(atoms[1].at, axes.place(0.7 + 0.0084, 0.8), "O<1>", 0.1);
  }
}

TEST(GrdsectionTest, BadInputIsNamedAndNothingIsWritten) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string first_error_line;
  };
  const std::map<std::string, std::string> files = {
      {"G.grd", grid_file("Monoclinic test phase", "FOBS", kAtoms)}, {"old.svg", "old"}};
  const std::vector<Case> cases = {
      {{"-o", "old.svg", "NONE"},
       1,
       "grdsection: NONE.grd: cannot read the file: No such file or directory"},
      {{"-o", "./G.grd", "G"},
       1,
       "grdsection: ./G.grd: cannot write the picture: it is the grid file G.grd"},
      {{"-o", "none/p.svg", "G"},
       1,
       "grdsection: none/p.svg: cannot write the picture: No such file or directory"},
      {{"--step", "0.001", "-o", "old.svg", "G"},
       1,
       "grdsection: --step 0.001 would draw more than 100 contour levels over the map's values"},
      {{"--plane", "w=0.5", "G"},
       2,
       "grdsection: --plane takes x=VALUE, y=VALUE or z=VALUE (fractional), not \"w=0.5\""},
      {{"--range", "1:0", "G"},
       2,
       "grdsection: --range takes FROM:TO or FROM:TO,FROM:TO in fractions of the cell, FROM below "
       "TO and at most 10 cells apart, not \"1:0\""},
      {{"--levels", "1,0", "G"}, 2, "grdsection: --levels: zero is no contour level"},
      {{"--step", "-1", "G"}, 2, "grdsection: --step takes a number above 0, not \"-1\""},
      {{"G", "H"}, 2, "grdsection: one grid file at a time: \"H\" is one too many"},
      {{"--model", "none.cif", "-o", "old.svg", "G"},
       1,
       "grdsection: none.cif: cannot read the file: No such file or directory"},
  };
  for (const Case& c : cases) {
    const support::RunResult result = run(c.arguments, files);
    EXPECT_EQ(result.exit_status, c.status) << c.first_error_line;
    EXPECT_EQ(result.standard_error.substr(0, result.standard_error.find('\n')),
              c.first_error_line);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.files, files) << c.first_error_line;
  }
}

}  // namespace
