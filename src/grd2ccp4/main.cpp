// grd2ccp4: turns a grid file written by mapconv into a CCP4/MRC map that map viewers open.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/space_group.hpp"
#include "ccp4/map_file.hpp"
#include "gridfile/experiment_facts.hpp"
#include "gridfile/grid_file_name.hpp"
#include "gridfile/grid_reader.hpp"
#include "gridfile/output_check.hpp"
#include "os/os.hpp"
#include "textio/standard_options.hpp"
#include "textio/text.hpp"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "Usage: grd2ccp4 NAME.grd [OUT]\n"
    "\n"
    "Turns the grid file NAME.grd written by mapconv into a CCP4/MRC map, OUT or by default\n"
    "NAME.ccp4 (the name with its extension replaced). A NAME without .grd stands for\n"
    "NAME.grd when no file NAME exists. The map holds 32-bit reals (mode 2), columns along x,\n"
    "rows along y, sections along z, sampled N1 N2 N3 over the whole cell from the origin,\n"
    "with the minimum, maximum, mean and r.m.s. deviation in the header. The space group's\n"
    "number and operations go into the header's symmetry records: the group of the experiment\n"
    "file NAME.EXP beside the grid file, or the one given by --group, or else P 1.\n"
    "A NAME ending in .grd, in any case, is the grid file's name as it stands.\n"
    "\n"
    "The report line names the map's values: their mean, their standard deviation about the\n"
    "mean (the header's r.m.s. deviation), their r.m.s. (the square root of the mean square,\n"
    "about zero), and the maximum and minimum, each also as standard deviations from the\n"
    "mean (\"mean + 6.51 sd\"), the units in which viewers that normalise maps contour them;\n"
    "then the space group when it is not P 1.\n"
    "\n"
    "Options (first; any other first argument starting with \"-\" is refused, so give a name\n"
    "starting with \"-\" as ./-name):\n"
    "  --group SYMBOL  the map's space group, instead of the experiment file's\n"
    "  -h, --help      show this text\n"
    "  -V, --version   show the version\n"
    "\n"
    "Exit status:\n"
    "  0  the map was written\n"
    "  1  the grid file could not be read or is malformed, OUT is the grid file itself, the\n"
    "     --group symbol cannot be interpreted, or the map could not be written (one line on "
    "standard error says which file, which line and\n"
    "     what; no map is left); also when the report line could not be written, which\n"
    "     standard error says (the map itself was written)\n"
    "  2  wrong arguments (none, more than two, or an unknown option)\n";

constexpr const char* kUsageLine =
    "Usage: grd2ccp4 NAME.grd [OUT]   (grd2ccp4 --help tells more)\n";

// The report line is the run's account of the map: a run whose account was lost (standard output
// closed, or on a full device) does not report success. The map stays: it is whole.
void report(const std::string& line) {
  errno = 0;
  const bool written =
      std::printf("%s\n", line.c_str()) >= 0 && std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written) {
    throw std::runtime_error(std::string("the report could not be written: ") +
                             std::strerror(errno != 0 ? errno : EIO));
  }
}

// The group given, or the experiment file's. An experiment file that cannot be read costs the
// map its group, not the map: a note on standard error says so, and the map says P 1.
ccp4::HeaderGroup header_group(const std::optional<std::string>& given,
                               const std::filesystem::path& input, const gridfile::GridFile& grid) {
  gridfile::GroupSource source;
  try {
    source = gridfile::map_group_source(given, input, grid);
  } catch (const std::runtime_error& problem) {
    return {nullptr, "", std::string(problem.what()) + "; the map says P 1"};
  }
  if (!source.symbol) return {};
  const std::string map_type = gridfile::map_type_of(grid.title);
  if (!given) return ccp4::header_group_of_symbol(*source.symbol, map_type, source.where);
  return ccp4::header_group_of(analysis::group_for_map(*source.symbol, map_type, source.where));
}

void convert(const std::optional<std::string>& group, const std::filesystem::path& input,
             const std::filesystem::path& output) {
  gridfile::refuse_output_that_is_input(input, output, "the map");
  const gridfile::GridFile grid = gridfile::read_grid_file(input);
  const ccp4::HeaderGroup header = header_group(group, input, grid);
  if (!header.note.empty()) std::fprintf(stderr, "grd2ccp4: %s\n", header.note.c_str());
  const ccp4::MapStatistics& statistics = grid.statistics;
  const ccp4::MapDescription description{grid.divisions, grid.lengths, grid.angles, grid.title,
                                         header.entry};
  const std::string name = os::name_of(output);
  ccp4::MapFile map(name);
  map.write(ccp4::header_bytes(description, statistics), grid.values);
  map.commit();
  report(ccp4::report_line(name, grid.divisions, statistics, header.words));
}

}  // namespace

int main(int argc, char** argv) {
  if (!os::hold_standard_streams()) {
    std::fputs("grd2ccp4: a closed standard stream could not be held; nothing was done\n", stderr);
    return kFailure;
  }
  os::use_utf8_console_output();
  if (textio::answer_standard_option(argc, argv, kUsage, "grd2ccp4 " MAPCONV_VERSION)) return 0;
  std::vector<std::string> arguments = os::program_arguments(argc, argv);
  std::optional<std::string> group;
  if (argc >= 3 && std::string_view(argv[1]) == "--group") {
    group = arguments[2];
    arguments.erase(arguments.begin() + 1, arguments.begin() + 3);
    argv += 2;
    argc -= 2;
  }
  if (textio::refuse_unknown_option(argc, argv, "grd2ccp4", kUsageLine)) return kUsageError;
  if (argc < 2 || argc > 3) {
    std::fputs(kUsageLine, stderr);
    return kUsageError;
  }
  const std::filesystem::path input = gridfile::grid_file_named(arguments[1]);
  try {
    convert(group, input,
            argc == 3 ? os::path_of(arguments[2])
                      : os::path_of(ccp4::map_file_beside(os::name_of(input))));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "grd2ccp4: %s\n", failure.what());
    return kFailure;
  }
  return 0;
}
