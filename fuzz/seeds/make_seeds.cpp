// Writes the seed corpus of every fuzz target into DIRECTORY/<target>/, from the project's own
// material: the format lists found in the sources, the list-directed examples, the space-group
// table of the symmetry tests, the bundled example experiment and its map, experiment files of
// every version, and the console dialogues of the start-up tests.
//
//   make_seeds DIRECTORY
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "seeds.hpp"
#include "support/files.hpp"

namespace {

void write_corpus(const std::filesystem::path& directory, const std::string& target,
                  const std::vector<std::string>& seeds) {
  const std::filesystem::path folder = directory / target;
  std::filesystem::create_directories(folder);
  for (std::size_t n = 0; n < seeds.size(); ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%04zu", n + 1);
    support::write_file_bytes(folder / name, seeds[n]);
  }
  std::printf("%-8s %4zu seeds\n", target.c_str(), seeds.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIRECTORY\n");
    return 2;
  }
  try {
    const std::filesystem::path directory = argv[1];
    const support::TempDirectory example_directory;
    const seeds::Example example = seeds::bundled_example(example_directory.path());
    write_corpus(directory, "format", seeds::format_seeds(MAPCONV_SOURCE_DIR "/src"));
    write_corpus(directory, "list", seeds::list_seeds());
    write_corpus(directory, "symbol",
                 seeds::symbol_seeds(MAPCONV_SOURCE_DIR "/tests/symmetry/data/space_groups.tsv"));
    write_corpus(directory, "sampler",
                 seeds::sampler_seeds(MAPCONV_SOURCE_DIR "/tests/symmetry/data/space_groups.tsv"));
    write_corpus(directory, "store", seeds::store_seeds(example));
    write_corpus(directory, "map", seeds::map_seeds(example));
    write_corpus(directory, "console", seeds::console_seeds());
    write_corpus(directory, "startup", seeds::startup_seeds(example));
    write_corpus(directory, "peaks", seeds::peaks_seeds(example));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
