// The seed inputs of each fuzz target, encoded in the target's input layout.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace seeds {

// The bundled example experiment, written by the examples' own program.
struct Example {
  std::string experiment;  // SILICON.EXP
  std::string map;         // SILICON.FOB
  int record_words = 0;    // of the map file, from the experiment file
};
Example bundled_example(const std::filesystem::path& directory);

// Every format list quoted in the sources under `source_directory`, with items to match.
std::vector<std::string> format_seeds(const std::filesystem::path& source_directory);
std::vector<std::string> list_seeds();
// The symbols of the space-group table (a tab-separated file: number, symbol, multiplicity).
std::vector<std::string> symbol_seeds(const std::filesystem::path& table);
// Blocks of several shapes and starts in every group of the same table, Patterson-type or not.
std::vector<std::string> sampler_seeds(const std::filesystem::path& table);
std::vector<std::string> store_seeds(const Example& example);
std::vector<std::string> map_seeds(const Example& example);
std::vector<std::string> console_seeds();
std::vector<std::string> startup_seeds(const Example& example);
// Command lines of grdpeaks with small grid files, with and without an experiment file.
std::vector<std::string> peaks_seeds(const Example& example);

}  // namespace seeds
