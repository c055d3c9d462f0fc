// grdpeaks --model on maps made here from known structures in P 21/c, in a cell of right angles
// (8 x 9 x 10 Å) so that distances can be worked out by hand: the nearest atom of each peak
// through the group and across the cell's edge, the atoms the map does not support, and a model
// of another cell.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"
#include "grid_text.hpp"
#include "support/run_program.hpp"

namespace {

using known_maps::Atom;
using known_maps::Position;

const known_maps::Cell kCell = {{8, 9, 10}, {90, 90, 90}};
const std::array<int, 3> kDivisions = {40, 44, 50};
const Atom kIron = {{0.0, 0.0, 0.0}, 12.0, 0.35};
const Atom kCarbon = {{0.05, 0.65, 0.70}, 8.0, 0.35};
// The atom the model lacks. The inversion's image of the carbon atom, (0.95, 0.35, 0.30), lies
// beyond the cell's edge from it at (0.07, 0.05, 0.05) cells: 0.56, 0.45 and 0.5 Å.
const Atom kMissing = {{0.02, 0.30, 0.25}, 6.0, 0.35};
const double kMissingToCarbon = std::sqrt(0.56 * 0.56 + 0.45 * 0.45 + 0.5 * 0.5);

std::vector<float> map_of(const std::vector<Atom>& atoms) {
  return known_maps::gaussian_map(kCell, *analysis::group_of_symbol("P 21/c"), atoms, kDivisions);
}

std::string model(const std::string& cell_b, const std::string& atoms) {
  return "data_model\n_cell_length_a 8.000(1)\n_cell_length_b " + cell_b +
         "\n_cell_length_c 10\n_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
         "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n" +
         atoms;
}
const std::string kModelAtoms = "Fe1 0 0 0\nC1 0.05 0.65 0.70\n";

support::RunResult run(const std::vector<std::string>& arguments, const std::vector<float>& values,
                       const std::string& map_type, const std::string& model_text) {
  support::RunRequest request;
  request.arguments = {"--group", "P 21/c", "--model", "m.cif"};
  request.arguments.insert(request.arguments.end(), arguments.begin(), arguments.end());
  request.arguments.push_back("M.grd");
  request.files = {{"M.grd", grid_text::grid_file(kCell, map_type, values, kDivisions)},
                   {"m.cif", model_text}};
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  return support::run_built_program(GRDPEAKS_PROGRAM, request);
}

// The text of JSON member `key` after position `from`, up to the next comma or brace.
std::string member(const std::string& json, const std::string& key, std::size_t from = 0) {
  const std::size_t at = json.find("\"" + key + "\": ", from);
  if (at == std::string::npos) return "(no " + key + ")";
  const std::size_t start = at + key.size() + 4;
  const bool quoted = json[start] == '"';
  const std::size_t end = quoted ? json.find('"', start + 1) + 1 : json.find_first_of(",}", start);
  return json.substr(start, end - start);
}

double number(const std::string& json, const std::string& key, std::size_t from = 0) {
  return std::strtod(member(json, key, from).c_str(), nullptr);
}

// The difference map of a model that lacks one atom: its highest peak is that atom, and the
// atom nearest it is the carbon atom's image across the cell's edge. Which of the missing atom's
// four images stands for the peak decides which image of the carbon atom is named: each is
// worked out by hand from the group's operations (x,y,z; -x,y+1/2,-z+1/2; -x,-y,-z;
// x,-y+1/2,z+1/2).
TEST(ModelRunTest, TheDifferenceMapsHighestPeakIsTheMissingAtomNearestItsNeighbour) {
  std::vector<float> difference = map_of({kIron, kCarbon, kMissing});
  const std::vector<float> calculated = map_of({kIron, kCarbon});
  for (std::size_t i = 0; i < difference.size(); ++i) difference[i] -= calculated[i];
  const support::RunResult result =
      run({"--json", "-"}, difference, "DELF", model("9", kModelAtoms));
  ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  const std::string& json = result.standard_output;
  const std::size_t first = json.find("\"peaks\": [");
  ASSERT_NE(first, std::string::npos) << json;
  const Position peak = {number(json, "x", first), number(json, "y", first),
                         number(json, "z", first)};
  struct Image {
    Position position;
    const char* carbon_image;
  };
  const std::vector<Image> images = {
      {{0.02, 0.30, 0.25}, "\"-x,-y+1,-z+1\""},
      {{0.98, 0.80, 0.25}, "\"x+1,-y+3/2,z-1/2\""},
      {{0.98, 0.70, 0.75}, "\"x+1,y,z\""},
      {{0.02, 0.20, 0.75}, "\"-x,y-1/2,-z+3/2\""},
  };
  const Image* found = nullptr;
  for (const Image& image : images) {
    bool close = true;
    for (std::size_t i = 0; i < 3; ++i)
      close = close && std::fabs(peak[i] - image.position[i]) < 0.01;
    if (close) found = &image;
  }
  ASSERT_NE(found, nullptr) << json;
  EXPECT_EQ(member(json, "nearest_atom", first), "\"C1\"") << json;
  EXPECT_NEAR(number(json, "nearest_atom_distance", first), kMissingToCarbon, 0.02) << json;
  EXPECT_EQ(member(json, "nearest_atom_image", first), found->carbon_image) << json;
  // In a difference map a well-placed atom has no peak: no atom is called unsupported.
  EXPECT_NE(json.find("\"unsupported_atoms\": null"), std::string::npos) << json;
  EXPECT_NE(json.find("\"cell_agrees\": true"), std::string::npos) << json;
}

// The map of the structure and a model with an atom more: that atom has no peak. The model's
// own atoms lie on their peaks.
TEST(ModelRunTest, AnAtomWithoutAPeakIsListedAndTheCellsAreCompared) {
  struct Case {
    std::string cell_b;
    std::vector<std::string> arguments;
    std::vector<std::string> expected;  // parts of standard output
  };
  const std::vector<Case> cases = {
      {"9.02(1)",
       {},
       {"\nModel        m.cif, data_model: 3 atoms\n",
        "its cell agrees with the map's (lengths within 0.5 %, angles within 0.5 deg)\n",
        "\nModel atoms without a peak above 1.00 sigma within 0.50 A: 1\n"
        "  label             x        y        z\n"
        "  X1            0.50000  0.50000  0.50000\n",
        "  Fe1           0.000  x,y,z\n"}},
      {"9.1",
       {"--csv", "-"},
       {",height_spread,nearest_atom,nearest_atom_distance,nearest_atom_image\n",
        ",Fe1,0,\"x,y,z\"\n", "\nunsupported_atom,1,0.500000,0.500000,0.500000,,,,,,,,X1,,\n"}},
      {"9.1",
       {},
       {"its cell differs from the map's in b (beyond 0.5 % or 0.5 deg): distances are taken in "
        "the map's cell\n"}},
  };
  const std::vector<float> values = map_of({kIron, kCarbon});
  for (const Case& c : cases) {
    const support::RunResult result =
        run(c.arguments, values, "FOBS", model(c.cell_b, kModelAtoms + "X1 0.5 0.5 0.5\n"));
    ASSERT_EQ(result.exit_status, 0) << result.standard_error;
    for (const std::string& part : c.expected) {
      EXPECT_NE(result.standard_output.find(part), std::string::npos) << part << "\nin\n"
                                                                      << result.standard_output;
    }
  }
}

}  // namespace
