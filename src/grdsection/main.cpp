// grdsection: a contoured section through the map of a grid file written by mapconv, drawn in the
// cell's true metric as an SVG picture, with the map's peaks marked as grdpeaks numbers them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "grdsection/options.hpp"
#include "grdsection/picture_file.hpp"
#include "grdsection/section_run.hpp"
#include "os/os.hpp"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "Usage: grdsection [OPTIONS] NAME.grd\n"
    "\n"
    "Draws a section through the map of the grid file NAME.grd written by mapconv as contours,\n"
    "in the cell's true metric, with the map's peaks near the plane marked and numbered as\n"
    "grdpeaks lists them, and writes it as an SVG picture, by default NAME-z0.250.svg beside\n"
    "the grid file (the plane's axis and position in the name). A NAME without .grd stands for\n"
    "NAME.grd when no file NAME exists. The space group comes from the experiment file NAME.EXP\n"
    "beside the grid file, read as it stands; without one the map is taken as P 1.\n"
    "\n"
    "Options:\n"
    "  --plane AXIS=VALUE  the plane x, y or z = VALUE (fractional); by default z through the\n"
    "                      highest peak\n"
    "  --range FROM:TO[,FROM:TO]\n"
    "                      the part of the plane drawn, in fractions of the axis across and the\n"
    "                      axis up (one pair for both); -0.05:1.05 by default\n"
    "  --levels L,L,...    contours at these multiples of the standard deviation\n"
    "  --step S            contours every S standard deviations, none at zero (1 by default)\n"
    "  --slab D            mark the peaks within D Å of the plane (0.5 by default)\n"
    "  --group SYMBOL      take this space group instead of the experiment file's\n"
    "  --count N           the peaks (and holes) as grdpeaks --count N lists them (20)\n"
    "  --min-sigma S       the peaks as grdpeaks --min-sigma S lists them (1)\n"
    "  --holes             mark the holes also for a map that is not a difference map\n"
    "  --model FILE        mark the atoms of the model in FILE (a small-molecule CIF) that lie\n"
    "                      within the slab, with their labels\n"
    "  -o FILE             write the picture to FILE; a name ending in .png makes a PNG\n"
    "  --png               a PNG picture instead of SVG (made by rsvg-convert)\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "\n"
    "Exit status:\n"
    "  0  the picture was written\n"
    "  1  the grid file, the experiment file or the model could not be used, the picture\n"
    "     could not be written, or the report line could not be (one line on standard error\n"
    "     says why; no picture is left but a whole one)\n"
    "  2  wrong arguments\n";

constexpr const char* kUsageLine =
    "Usage: grdsection [OPTIONS] NAME.grd   (grdsection --help tells more)\n";

bool write_standard_output(const std::string& text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                       std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written) {
    std::fprintf(stderr, "grdsection: the output could not be written: %s\n",
                 std::strerror(errno != 0 ? errno : EIO));
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (!os::hold_standard_streams()) {
    std::fputs("grdsection: a closed standard stream could not be held; nothing was done\n",
               stderr);
    return kFailure;
  }
  os::use_utf8_console_output();
  std::vector<std::string> arguments = os::program_arguments(argc, argv);
  arguments.erase(arguments.begin());
  grdsection::Options options;
  try {
    options = grdsection::parse_options(arguments);
  } catch (const grdsection::UsageError& error) {
    std::fprintf(stderr, "grdsection: %s\n%s", error.what(), kUsageLine);
    return kUsageError;
  }
  if (options.help) return write_standard_output(kUsage) ? 0 : kFailure;
  if (options.version)
    return write_standard_output("grdsection " MAPCONV_VERSION "\n") ? 0 : kFailure;
  try {
    const grdsection::Written written = grdsection::write_picture(options);
    for (const std::string& note : written.notes) {
      std::fprintf(stderr, "grdsection: note: %s\n", note.c_str());
    }
    return write_standard_output(written.report) ? 0 : kFailure;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "grdsection: %s\n", failure.what());
    return kFailure;
  }
}
