#include "conversion/driver.hpp"
#include "expfile/atom_data.hpp"
#include "textio/entry.hpp"
#include "textio/standard_options.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: mapconv [NAME]\n"
    "\n"
    "Writes the Fourier map computed for one phase of the experiment NAME as the grid file\n"
    "NAME.grd: the map value at every point of the map's grid over the whole unit cell, rebuilt\n"
    "from the stored block through the space group's symmetry. Without NAME the program asks\n"
    "for the experiment name.\n"
    "\n"
    "Reads:\n"
    "  NAME.EXP   the experiment file, brought to the current version when it is older\n"
    "  NAME.FOB, NAME.FCL, NAME.DEL, NAME.PTS, NAME.DPT, NAME.2FD to NAME.9FD\n"
    "             the Fourier map; when several exist the program asks which type to take\n"
    "Writes:\n"
    "  NAME.grd   title, cell, grid divisions N1 N2 N3, then one value per line, z fastest;\n"
    "             grd2ccp4 turns it into a CCP4/MRC map\n"
    "\n"
    "Environment:\n"
    "  TARN, tarn  the installation directory, whose data/atmdata.dat serves the upgrade of\n"
    "              old experiment files; when neither is set, " MAPCONV_INSTALLED_DIRECTORY
    "\n"
    "              is taken if its atom data file is there\n"
    "  LENPAGE     the page length of listings (default 60)\n"
    "  MAPCONV_THREADS\n"
    "              how many threads write the grid file (1 to 16); by default one per\n"
    "              processor, at most 4. The file is the same for any number\n"
    "\n"
    "Options (as the first argument; any other argument is the experiment name):\n"
    "  -h, --help     show this text\n"
    "  -V, --version  show the version\n"
    "\n"
    "Exit status:\n"
    "  0    the grid file was written\n"
    "  1    the run stopped without its result; the stop text on standard error says where\n"
    "  134  (abort signal) a file operation failed; its report is on standard error\n";

}  // namespace

int main(int argc, char** argv) {
  if (textio::answer_standard_option(argc, argv, kUsage, "mapconv " MAPCONV_VERSION)) return 0;
  // Inside the run: the entry starts each run from the program's start state.
  return textio::run_program(argc, argv, [](int, char**) {
    expfile::set_installed_directory(MAPCONV_INSTALLED_DIRECTORY);
    conversion::MAPCONV();
  });
}
