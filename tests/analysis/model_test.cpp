// The model of a small-molecule CIF: what is read, what is refused and why, and the nearest atom
// through the group's images and the cell's translations.
#include "analysis/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using analysis::Model;

// A CIF as a refinement program writes it: uncertainties in brackets, more columns than the
// model needs, the atoms in a loop.
std::string cif(const std::string& cell, const std::string& atoms) {
  return "data_test\n" + cell +
         "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
         "_atom_site_fract_y\n_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n" +
         atoms;
}

const std::string kCell =
    "_cell_length_a 10.0(2)\n_cell_length_b 10\n_cell_length_c 10.000\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90.00(3)\n_cell_angle_gamma 90\n";

TEST(ModelTest, CellAndAtomsAreRead) {
  const Model model = analysis::parse_model(
      cif(kCell, "C1 C 0.1 0.2(1) 0.3 0.01\nO2 O -0.25 1.5 .75 0.02\n"), "m.cif");
  EXPECT_EQ(model.block, "test");
  EXPECT_EQ(model.lengths, (std::array<double, 3>{10, 10, 10}));
  EXPECT_EQ(model.angles, (std::array<double, 3>{90, 90, 90}));
  ASSERT_EQ(model.atoms.size(), 2u);
  EXPECT_EQ(model.atoms[0].label, "C1");
  EXPECT_EQ(model.atoms[0].position, (std::array<double, 3>{0.1, 0.2, 0.3}));
  EXPECT_EQ(model.atoms[1].label, "O2");
  EXPECT_EQ(model.atoms[1].position, (std::array<double, 3>{-0.25, 1.5, 0.75}));
}

TEST(ModelTest, BadFilesAreRefusedWithTheFileAndTheReason) {
  struct Case {
    std::string text, message;
  };
  const std::string one_atom = "C1 C 0.1 0.2 0.3 0.01\n";
  const std::vector<Case> cases = {
      {"data_x\n_cell_length_a 'open\n", "m.cif, line 2: not a CIF file: "},
      {"data_x\n" + kCell,
       "m.cif: no atom sites (_atom_site_label with _atom_site_fract_x, _y "
       "and _z) in any data block"},
      {cif("_cell_length_a 10\n", one_atom), "m.cif, data_test: no _cell_length_b"},
      {cif(kCell, "C1 C 0.1 ? 0.3 0.01\n"),
       "m.cif, data_test: _atom_site_fract_y of atom \"C1\" is \"?\", not a number"},
      {cif(kCell, "C1 C 0.1 0.2 3e9 0.01\n"),
       "m.cif, data_test: _atom_site_fract_z of atom \"C1\" lies more than 1000 cells from the "
       "origin"},
      {cif("_cell_length_a -1\n" + kCell.substr(kCell.find("_cell_length_b")), one_atom),
       "m.cif, data_test: _cell_length_a must be above 0"},
      {cif("_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n_cell_angle_alpha 100\n"
           "_cell_angle_beta 30\n_cell_angle_gamma 60\n",
           one_atom),
       "m.cif, data_test: the cell's angles cannot meet at a corner: each must be below the sum "
       "of the other two, and the three below 360 degrees"},
  };
  for (const Case& c : cases) {
    try {
      analysis::parse_model(c.text, "m.cif");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const analysis::ModelError& error) {
      EXPECT_EQ(std::string(error.what()).substr(0, c.message.size()), c.message) << c.text;
    }
  }
}

TEST(ModelTest, ImagesAreWrittenAsOneOperation) {
  struct Case {
    analysis::AtomImage image;
    const char* text;
  };
  using R = std::array<std::array<int, 3>, 3>;
  const R identity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  const R screw = {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
  const R hexagonal = {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
  for (const Case& c : {
           Case{{{identity, {0, 0, 0}}, {0, 0, 0}}, "x,y,z"},
           Case{{{identity, {0, 0, 0}}, {1, -1, 0}}, "x+1,y-1,z"},
           Case{{{screw, {0, 6, 6}}, {1, 0, 0}}, "-x+1,y+1/2,-z+1/2"},
           Case{{{screw, {6, 9, 0}}, {1, -1, -2}}, "-x+3/2,y-1/4,-z-2"},
           Case{{{hexagonal, {4, 8, 2}}, {0, 0, -1}}, "x-y+1/3,x+2/3,z-5/6"},
       }) {
    EXPECT_EQ(c.image.text(), c.text);
  }
}

TEST(ModelTest, TheNearestAtomThroughTheGroupAndAcrossTheCellsEdge) {
  // P 21/c: x,y,z; -x,y+1/2,-z+1/2; -x,-y,-z; x,-y+1/2,z+1/2, in a cell of 10 Å edges.
  const Model model =
      analysis::parse_model(cif(kCell, "C1 C 0.1 0.2 0.3 0.01\nFe1 Fe 0 0 0 0.01\n"), "m.cif");
  const analysis::UnitCell cell(model.lengths, model.angles);
  const analysis::ModelImages images(model, cell, *analysis::group_of_symbol("P 21/c"));
  struct Case {
    std::array<double, 3> position;
    const char* label;
    double distance;
    const char* image;
  };
  for (const Case& c : {
           Case{{0.12, 0.2, 0.3}, "C1", 0.2, "x,y,z"},
           Case{{0.9, 0.7, 0.2}, "C1", 0.0, "-x+1,y+1/2,-z+1/2"},
           // (0.1, 0.3, 0.8) one cell down: z - 1/2.
           Case{{0.1, 0.3, -0.15}, "C1", 0.5, "x,-y+1/2,z-1/2"},
           Case{{0.85, 0.8, 0.7}, "C1", 0.5, "-x+1,-y+1,-z+1"},
           // On the inversion centre two operations give the same image: the identity's first.
           Case{{0.02, 0.0, 0.0}, "Fe1", 0.2, "x,y,z"},
           Case{{0.0, 0.99, 0.97}, "Fe1", std::sqrt(0.01 + 0.09), "x,y+1,z+1"},
       }) {
    const std::optional<analysis::NearestAtom> nearest = images.nearest(c.position);
    ASSERT_TRUE(nearest.has_value());
    EXPECT_EQ(model.atoms[nearest->atom].label, c.label) << c.image;
    EXPECT_NEAR(nearest->distance, c.distance, 1e-9) << c.image;
    EXPECT_EQ(nearest->image.text(), c.image);
    // The image named lies where the distance says.
    const std::array<double, 3> at = nearest->image.apply(model.atoms[nearest->atom].position);
    EXPECT_NEAR(
        cell.length_of({at[0] - c.position[0], at[1] - c.position[1], at[2] - c.position[2]}),
        c.distance, 1e-9)
        << c.image;
  }
  // A peak 0.45 Å from an image of C1 supports it; none is near Fe1.
  analysis::Peak peak;
  peak.position = {0.9, 0.7, 0.245};
  EXPECT_EQ(analysis::atoms_without_peak(images, 2, {peak}, 0.5), (std::vector<std::size_t>{1}));
  peak.position = {0.9, 0.7, 0.255};
  EXPECT_EQ(analysis::atoms_without_peak(images, 2, {peak}, 0.5), (std::vector<std::size_t>{0, 1}));
}

TEST(ModelTest, CellsAgreeWithinTheTolerance) {
  Model model;
  model.lengths = {10.04, 7.0, 5.0};
  model.angles = {90.0, 104.4, 90.0};
  EXPECT_TRUE(
      analysis::cell_differences(model, analysis::UnitCell({10, 7, 5}, {90, 104, 90})).empty());
  // b half a percent and more off, gamma a degree: the model of another cell.
  EXPECT_EQ(analysis::cell_differences(model, analysis::UnitCell({10, 7.04, 5}, {90, 104, 91})),
            (std::vector<std::string>{"b", "gamma"}));
}

}  // namespace
