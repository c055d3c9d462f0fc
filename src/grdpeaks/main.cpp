// grdpeaks: the summary, peaks and holes of a grid file written by mapconv, each peak once under
// the map's space group.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "grdpeaks/options.hpp"
#include "grdpeaks/peak_run.hpp"
#include "os/os.hpp"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "Usage: grdpeaks [OPTIONS] NAME.grd\n"
    "\n"
    "Summarises the grid file NAME.grd written by mapconv and lists its peaks, each once under\n"
    "the map's space group, with their heights, multiplicities, site symmetry and the distance\n"
    "to the nearest other peak; for a difference map (and with --holes) the deepest holes too.\n"
    "A NAME without .grd stands for NAME.grd when no file NAME exists. The space group and the\n"
    "map's phase come from the experiment file NAME.EXP beside the grid file, read as it\n"
    "stands; without one the map is taken as P 1.\n"
    "\n"
    "Options:\n"
    "  --group SYMBOL    take this space group instead of the experiment file's\n"
    "  --count N         list at most N peaks (and holes), 20 by default; 0 for all\n"
    "  --min-sigma S     list only those at least S standard deviations from the mean (1)\n"
    "  --holes           list the holes also for a map that is not a difference map\n"
    "  --model FILE      name the nearest atom of each peak and hole in the model of FILE (a\n"
    "                    small-molecule CIF), list the atoms with no peak near them and\n"
    "                    compare the model's cell with the map's\n"
    "  --csv FILE        write the peaks and holes as CSV to FILE (- for standard output)\n"
    "  --json FILE       write the summary, peaks and holes as JSON to FILE (- likewise)\n"
    "  -h, --help        show this text\n"
    "  -V, --version     show the version\n"
    "\n"
    "Exit status:\n"
    "  0  the map was analysed and every list written\n"
    "  1  the grid file, the experiment file or the model could not be used, a list\n"
    "     could not be written, or the output could not be (one line on standard error\n"
    "     says why; no list is left)\n"
    "  2  wrong arguments\n";

constexpr const char* kUsageLine =
    "Usage: grdpeaks [OPTIONS] NAME.grd   (grdpeaks --help tells more)\n";

bool write_standard_output(const std::string& text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                       std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written) {
    std::fprintf(stderr, "grdpeaks: the output could not be written: %s\n",
                 std::strerror(errno != 0 ? errno : EIO));
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (!os::hold_standard_streams()) {
    std::fputs("grdpeaks: a closed standard stream could not be held; nothing was done\n", stderr);
    return kFailure;
  }
  std::vector<std::string> arguments = os::program_arguments(argc, argv);
  arguments.erase(arguments.begin());
  grdpeaks::Options options;
  try {
    options = grdpeaks::parse_options(arguments);
  } catch (const grdpeaks::UsageError& error) {
    std::fprintf(stderr, "grdpeaks: %s\n%s", error.what(), kUsageLine);
    return kUsageError;
  }
  if (options.help) return write_standard_output(kUsage) ? 0 : kFailure;
  if (options.version)
    return write_standard_output("grdpeaks " MAPCONV_VERSION "\n") ? 0 : kFailure;
  try {
    const std::string text = grdpeaks::write_outputs(options, grdpeaks::analyse(options));
    return write_standard_output(text) ? 0 : kFailure;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "grdpeaks: %s\n", failure.what());
    return kFailure;
  }
}
