// Writes the experiments that whole runs of mapconv are timed on (see bench/README.md)
// into the directory given as the argument: G16, G48 and G256 (P 21/c maps of 16, 48 and 256
// steps a side, 100-record experiment files) and R30000 (the 16-step map with a 30,000-record
// experiment file; G16 is its 100-record twin). U100 and U30000 are G16 and R30000 as version-5
// files, which each run upgrades: NAME.V5 keeps the version-5 file to copy back before a run.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/experiment_file.hpp"
#include "support/map_file.hpp"

namespace {

namespace fs = std::filesystem;

void write_map(const fs::path& file, int grid) {
  support::MapFile map;
  map.phase_name = "Benchmark phase";
  map.grid_divisions = {grid, grid, grid};
  map.block_steps = {grid, grid / 4 + 1, grid};
  const double k = 2.0 * M_PI / grid;
  for (int z = 0; z < map.block_steps[2]; ++z) {
    for (int y = 0; y < map.block_steps[1]; ++y) {
      for (int x = 0; x < map.block_steps[0]; ++x) {
        map.values.push_back(
            static_cast<float>(std::cos(k * x) * std::cos(2 * k * y) + std::sin(3 * k * z)));
      }
    }
  }
  map.density_minimum = -2.0f;
  map.density_maximum = 2.0f;
  support::write_map_file(file, map);
}

// The records a conversion reads, then padding records up to `records`, the marker last.
void write_experiment(const fs::path& file, int records, const char* version = "    6") {
  std::vector<support::ExperimentRecord> contents = {
      {"     VERSION", version},
      {"      DESCR ", "  Benchmark"},
      {"  FOUR CDAT1", "           1"},
      {"CRS1  ABC   ", "  10.00000  10.00000  10.00000"},
      {"CRS1  ANGLES", "  90.00000  90.00000  90.00000"},
      {"CRS1  SG SYM", "P 21/c"},
      {" EXPR FOBSRL", "      8193"}};
  for (int n = static_cast<int>(contents.size()) + 1; n < records; ++n) {
    const std::string digits = std::to_string((n * 7919L) % 100000);
    contents.push_back({"HST" + std::string(5 - digits.size(), '0') + digits + " BAK", "padding"});
  }
  contents.push_back({"ZZZZZZZZZZZZ", ""});
  support::write_experiment_file(file, contents);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_run_cases DIRECTORY\n");
    return 1;
  }
  const fs::path directory = argv[1];
  fs::create_directories(directory);
  for (int grid : {16, 48, 256}) {
    const std::string name = "G" + std::to_string(grid);
    write_map(directory / (name + ".FOB"), grid);
    write_experiment(directory / (name + ".EXP"), 100);
  }
  write_map(directory / "R30000.FOB", 16);
  write_experiment(directory / "R30000.EXP", 30000);
  for (int records : {100, 30000}) {
    const std::string name = "U" + std::to_string(records);
    write_map(directory / (name + ".FOB"), 16);
    write_experiment(directory / (name + ".V5"), records, "    5");
    fs::copy_file(directory / (name + ".V5"), directory / (name + ".EXP"),
                  fs::copy_options::overwrite_existing);
  }
  return 0;
}
