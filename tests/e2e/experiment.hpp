// A whole experiment for end-to-end runs of mapconv: the experiment file's records and one or
// more Fourier map files, placed in the run's directory.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/crystal.hpp"
#include "support/experiment_file.hpp"
#include "support/map_file.hpp"
#include "support/run_program.hpp"

namespace e2e {

using support::Atom;
using support::close_group;
using support::Crystal;
using support::DensityField;
using support::Operation;

using Triple = std::array<int, 3>;

// The records of a current (version 6) experiment whose phase 1 holds a map.
std::vector<support::ExperimentRecord> experiment_records(const std::string& title,
                                                          const std::string& symbol,
                                                          const Crystal& crystal);

// The records of an experiment of an older `version` (0 to 5; 0 has no version record) whose
// phase 1 holds a map and is in one powder histogram with two scale records and an old-form
// preferred orientation. The upgrade from version 5 is not idempotent on them: applied twice, it
// would make the second scale the phase fraction and reset the orientation to its default.
std::vector<support::ExperimentRecord> old_experiment_records(int version, const std::string& title,
                                                              const std::string& symbol,
                                                              const Crystal& crystal);

// `current` as a version-5 file with a powder and a single-crystal histogram, whose scales and
// constraints the upgrade from version 5 moves: the upgrade rewrites the file rather than only
// its version record.
std::vector<support::ExperimentRecord> as_version_five(
    std::vector<support::ExperimentRecord> current);

// The records with one atom type (Si) added before the last-record marker, whose scattering
// factors the upgrade of a version 0 file takes from the atom data file.
std::vector<support::ExperimentRecord> with_an_atom_type(
    std::vector<support::ExperimentRecord> records);

// P 1 on a grid of 1 x 1 x 2 points holding 0 and 2.
support::MapFile two_point_map();

// A map file whose block holds `field` at the grid points from the origin to `block_end`
// (grid indices, inclusive), stored with the file axes rotated `rotation` times.
support::MapFile map_of_field(const DensityField& field, const Triple& grid,
                              const Triple& block_end, int rotation);

// The scale factor mapconv applies to a map with these density limits.
double expected_scale(double minimum, double maximum);

// Runs `program` as `request` asks, once with MAPCONV_THREADS=1 and once with 2, expects both
// runs to end alike with the same output and the same files (a leftover temporary file compared
// without its process-specific suffix), and returns the run on one thread.
support::RunResult run_on_one_and_two_threads(const std::filesystem::path& program,
                                              support::RunRequest request);

// Runs mapconv on NAME in a fresh directory holding `files`, on one thread and on two.
support::RunResult run_mapconv(const std::map<std::string, std::string>& files,
                               const std::string& name, const std::string& input = "");

// The lines of a text with CR LF line ends; an empty vector when a line lacks its CR LF.
std::vector<std::string> crlf_lines(const std::string& text);

}  // namespace e2e
