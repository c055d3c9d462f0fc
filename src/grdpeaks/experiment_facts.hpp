// What grdpeaks takes from the experiment file beside a grid file: the map's phase, its
// space-group symbol and its cell. The file is read as it stands, whatever its version: never
// upgraded, converted, locked or written.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace grdpeaks {

struct ExperimentFacts {
  int phase = 0;
  std::string symbol;  // the phase's "SG SYM" value, trailing blanks removed
  std::array<float, 3> lengths{};
  std::array<float, 3> angles{};
};

// The facts of the experiment file `path`; nothing when there is no such file. Throws
// std::runtime_error naming the file and the problem when it cannot be read, names no map phase
// or lacks the phase's records.
std::optional<ExperimentFacts> read_experiment_facts(const std::filesystem::path& path);

}  // namespace grdpeaks
