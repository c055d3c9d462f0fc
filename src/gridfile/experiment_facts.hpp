// What the companions take from the experiment file beside a grid file: the map's phase, its
// space-group symbol and its cell. The file is read as it stands, whatever its version: never
// upgraded, converted, locked or written.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "gridfile/grid_reader.hpp"

namespace gridfile {

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

// Where the space group of a grid file's map comes from: the symbol given on the command line,
// else the experiment file beside the grid file, else none (the grid alone, P 1).
struct GroupSource {
  std::optional<std::string> symbol;
  std::string where;        // for messages: "--group" or the experiment file's name
  std::string description;  // for a person: "from ALPHA.EXP, phase 1", ...
};

// The source of the group of the map in `grid_path`, whose cell is `grid`'s. Throws
// std::runtime_error as read_experiment_facts does.
GroupSource map_group_source(const std::optional<std::string>& given,
                             const std::filesystem::path& grid_path, const GridFile& grid);

}  // namespace gridfile
