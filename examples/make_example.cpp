// Writes the example experiment SILICON into the directory given as the argument: silicon in
// the diamond structure (F d -3 m, origin at the centre of symmetry), its Fourier map stored as
// one eighth of the cell, computed from Gaussian atoms at the 8 atom sites.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/crystal.hpp"
#include "support/experiment_file.hpp"
#include "support/files.hpp"
#include "support/map_file.hpp"

namespace {

constexpr int kGrid = 24;
constexpr int kBlockEnd = kGrid / 2;  // x, y and z from 0 to 1/2

support::Crystal silicon() {
  support::Crystal crystal;
  crystal.lengths = {5.4307, 5.4307, 5.4307};
  crystal.angles = {90, 90, 90};
  crystal.group = support::close_group({"x,y+1/2,z+1/2", "x+1/2,y,z+1/2", "-x+3/4,-y+1/4,z+1/2",
                                        "-x+1/4,y+1/2,-z+3/4", "z,x,y", "y+3/4,x+1/4,-z+1/2",
                                        "-x,-y,-z"});
  crystal.atoms = {{{0.125, 0.125, 0.125}, 14.0}};
  crystal.width = 0.45;
  return crystal;
}

support::MapFile silicon_map(const support::DensityField& field) {
  support::MapFile map;
  map.phase_name = "Silicon";
  map.map_type = "FOBS";
  map.grid_divisions = {kGrid, kGrid, kGrid};
  map.block_steps = {kBlockEnd + 1, kBlockEnd + 1, kBlockEnd + 1};
  map.record_words = (kBlockEnd + 1) * (kBlockEnd + 1) + 2;
  map.density_minimum = 1e30f;
  map.density_maximum = -1e30f;
  for (int k = 0; k <= kBlockEnd; ++k) {
    for (int j = 0; j <= kBlockEnd; ++j) {
      for (int i = 0; i <= kBlockEnd; ++i) {
        float value = static_cast<float>(field.at({double(i) / kGrid, double(j) / kGrid, double(k) / kGrid}));
        map.values.push_back(value);
        map.density_minimum = std::min(map.density_minimum, value);
        map.density_maximum = std::max(map.density_maximum, value);
      }
    }
  }
  return map;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_example DIRECTORY\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory);
  const support::Crystal crystal = silicon();
  const support::MapFile map = silicon_map(support::DensityField(crystal));
  support::write_map_file(directory / "SILICON.FOB", map);
  support::write_experiment_file(
      directory / "SILICON.EXP",
      {{"     VERSION", "    6     Tue Dec  8 12:00:00 2026"},
       {"      DESCR ", "  Silicon, diamond structure: example Fourier map"},
       {"  FOUR CDAT1", "           1"},
       {"CRS1  ABC   ", "   5.43070   5.43070   5.43070"},
       {"CRS1  ANGLES", "  90.00000  90.00000  90.00000"},
       {"CRS1  SG SYM", "F d -3 m"},
       {" EXPR FOBSRL", std::string(10 - std::to_string(map.record_words).size(), ' ') +
                            std::to_string(map.record_words)},
       {"ZZZZZZZZZZZZ", ""}});
  return 0;
}
