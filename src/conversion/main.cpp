#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/driver.hpp"
#include "conversion/map_file.hpp"
#include "expfile/atom_data.hpp"
#include "expfile/experiment_path.hpp"
#include "os/os.hpp"
#include "startup/console_input.hpp"
#include "textio/entry.hpp"
#include "textio/standard_options.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: mapconv [--ccp4] [NAME [ANSWER...]]\n"
    "\n"
    "Writes the Fourier map computed for one phase of the experiment NAME as the grid file\n"
    "NAME.grd: the map value at every point of the map's grid over the whole unit cell, rebuilt\n"
    "from the stored block through the space group's symmetry. Without NAME the program asks\n"
    "for the experiment name.\n"
    "\n"
    "ANSWERs after NAME answer the program's questions (the map type, asked when several map\n"
    "files exist) in order, as if typed ahead on one line: blanks, tabs and commas separate\n"
    "answers, also inside one argument, and a question they answer is not shown. When they\n"
    "run out the terminal is asked. Answers no question took are named at the end on standard\n"
    "error (\"mapconv: arguments not used: ...\"); the exit status is as without them. For\n"
    "example: mapconv SILICON FOBS\n"
    "\n"
    "With a single map file no question is asked: a map type given as the first answer is\n"
    "then checked against that file. Its own type is taken silently; any other type stops\n"
    "the run with status 1 before anything is written (\"FOBS was asked for, but the only\n"
    "map of ALPHA is ALPHA.DEL (DELF)\"), so a script gets the map it asked for or none.\n"
    "\n"
    "Reads:\n"
    "  NAME.EXP   the experiment file, brought to the current version when it is older\n"
    "  NAME.FOB, NAME.FCL, NAME.DEL, NAME.PTS, NAME.DPT, NAME.2FD to NAME.9FD\n"
    "             the Fourier map; when several exist the program asks which type to take\n"
    "Writes:\n"
    "  NAME.grd   title, cell, grid divisions N1 N2 N3, then one value per line, z fastest;\n"
    "             grd2ccp4 turns it into a CCP4/MRC map\n"
    "  NAME.ccp4  with --ccp4: that CCP4/MRC map, made in the same run from the same values,\n"
    "             the same bytes as grd2ccp4 NAME writes (header, space group and statistics\n"
    "             included); standard error names it in grd2ccp4's report line. A map that\n"
    "             cannot be written fails the run (status 1) before the grid file is replaced\n"
    "\n"
    "Environment:\n"
    "  TARN, tarn  the installation directory, whose data/atmdata.dat serves the upgrade of\n"
    "              experiment files older than version 1 that list atom types; when neither\n"
    "              is set, " MAPCONV_INSTALLED_DIRECTORY
    "\n"
    "              is taken if its atom data file is there\n"
    "  LENPAGE     the page length of listings (default 60)\n"
    "  MAPCONV_THREADS\n"
    "              how many threads write the grid file (1 to 16); by default one per\n"
    "              processor, at most 4, and one for every 262,144 grid points at most.\n"
    "              The file is the same for any number\n"
    "  MAPCONV_PORTABLE\n"
    "              set to anything but 0, keeps to the portable code where the processor\n"
    "              has AVX2; the file is the same either way\n"
    "\n"
    "Options (before NAME; -h and -V only as the first argument; any other argument starting\n"
    "with \"-\" in their place is refused with status 2, so give a name starting with \"-\"\n"
    "as ./-name):\n"
    "  --ccp4         also write NAME.ccp4, the CCP4/MRC map of the grid\n"
    "  -h, --help, /? show this text\n"
    "  -V, --version  show the version\n"
    "\n"
    "Standard error also carries a note when the grid does not carry the group's symmetry\n"
    "and values are interpolated between stored points (\"mapconv: note: ...\").\n"
    "\n"
    "Exit status:\n"
    "  0    the grid file was written\n"
    "  1    the run stopped without its result: a line on standard error starting with\n"
    "       \"mapconv: \" names the cause in words (also for a failed file operation reported\n"
    "       on standard output as \" FORTRAN error number ... on unit ...\"), and a line\n"
    "       \"STOP <text> statement executed\" says where, for a stop that has a text;\n"
    "       also when the terminal output could not be written, which standard error says.\n"
    "       A run that succeeds writes only warnings and notes there\n"
    "  2    an unexpected error of the program, or an unknown option; one line on standard\n"
    "       error names it\n"
    "  134  (abort signal; 3 on Windows) a file operation failed; its report is on\n"
    "       standard error\n";

constexpr const char* kUsageLine =
    "Usage: mapconv [--ccp4] [NAME [ANSWER...]]   (mapconv --help tells more)\n";
constexpr std::string_view kCcp4Option = "--ccp4";
constexpr int kUsageError = 2;

// An answer that no question took may be a mistake in a script: it is named, and the run's
// status stays what the run made it, unless the line could not be written: a warning that never
// reached the user fails the run as lost terminal output does (false).
bool report_untaken_answers() {
  const std::string untaken = startup::untaken_typed_ahead_answers();
  if (untaken.empty()) return true;
  const bool written =
      std::fprintf(stderr, "mapconv: arguments not used: %s\n", untaken.c_str()) > 0;
  return std::fflush(stderr) == 0 && written;
}

// `mapconv runs/ALPHA.FOB` looks for the experiment file runs/ALPHA.FOB.EXP, which is hardly ever
// there: a run that failed on a map file's name is told which name to give.
void hint_at_experiment_name() {
  if (textio::argument_count() < 2) return;
  const std::string name = textio::argument(1);
  const std::optional<std::string> experiment = conversion::experiment_of_map_file(name);
  if (!experiment) return;
  const std::size_t name_start = os::file_name_start(name);
  const std::string as_opened =
      name.substr(0, name_start) + textio::upper_case(name.substr(name_start));
  if (textio::file_exists(expfile::ExperimentPath::of_name(as_opened).experiment_file())) return;
  std::fprintf(stderr, "mapconv: %s is a map file: give the experiment's name (mapconv %s)\n",
               name.c_str(), experiment->c_str());
}

// Where the atom data of the installation lies: under the installation prefix, or, where the
// program is unpacked wherever the user likes (the Windows zip), beside the program itself.
std::string installed_directory() {
#if MAPCONV_ATOM_DATA_BESIDE_PROGRAM
  const std::string program = os::executable_path();
  std::string directory = program.substr(0, os::file_name_start(program));
  if (!directory.empty()) directory.pop_back();  // the separator
  return directory.empty() ? "." : directory;
#else
  return MAPCONV_INSTALLED_DIRECTORY;
#endif
}

}  // namespace

// The arguments without a leading --ccp4, as the system's own text (UTF-8 on Windows too), and
// pointers to them in the form of a program's argument vector: the run takes the experiment name
// and the answers from the places they would have without the option.
struct RunArguments {
  std::vector<std::string> values;
  std::vector<char*> pointers;
  bool ccp4_map = false;

  RunArguments(int argc, char** argv) : values(os::program_arguments(argc, argv)) {
    ccp4_map = values.size() > 1 && values[1] == kCcp4Option;
    if (ccp4_map) values.erase(values.begin() + 1);
    for (std::string& value : values) pointers.push_back(value.data());
    pointers.push_back(nullptr);
  }
  int count() const { return static_cast<int>(values.size()); }
  char** vector() { return pointers.data(); }
};

int main(int argc, char** argv) {
  if (!os::hold_standard_streams()) {
    std::fputs("mapconv: a closed standard stream could not be held; nothing was done\n", stderr);
    return 1;
  }
  os::use_utf8_console_output();
  if (textio::answer_standard_option(argc, argv, kUsage, "mapconv " MAPCONV_VERSION)) return 0;
  RunArguments arguments(argc, argv);
  if (textio::refuse_unknown_option(arguments.count(), arguments.vector(), "mapconv", kUsageLine)) {
    return kUsageError;
  }
  // Inside the run: the entry starts each run from the program's start state.
  const bool ccp4_map = arguments.ccp4_map;
  const int status =
      textio::run_program(arguments.count(), arguments.vector(), [ccp4_map](int, char**) {
        expfile::set_installed_directory(installed_directory());
        conversion::MAPCONV(ccp4_map);
      });
  if (status != 0) hint_at_experiment_name();
  const bool warned = report_untaken_answers();
  return warned || status != 0 ? status : 1;
}
