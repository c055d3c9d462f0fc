// The command line of grdsection.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/section.hpp"

namespace grdsection {

struct Options {
  std::string name;                             // the grid file, or NAME as mapconv takes it
  std::optional<analysis::SectionPlane> plane;  // --plane x|y|z=VALUE; else through the highest
                                                // peak, z constant
  analysis::SectionRange range;                 // --range FROM:TO[,FROM:TO]
  std::optional<std::vector<double>> levels;    // --levels L,L,...: in standard deviations
  double step = 1.0;                            // --step S: between levels, in standard deviations
  double slab = 0.5;                            // --slab D: peaks this close to the plane (Å)
  std::optional<std::string> group;             // --group SYMBOL, as grdpeaks takes it
  int count = 20;                               // --count N, as grdpeaks
  double min_sigma = 1.0;                       // --min-sigma S, as grdpeaks
  bool holes = false;                           // --holes, as grdpeaks
  std::optional<std::string> model;             // --model FILE.cif: its atoms near the plane
  std::optional<std::string> output;            // -o FILE
  bool png = false;                             // --png: a PNG picture instead of SVG
  bool help = false;
  bool version = false;
};

// The most contour levels a picture takes: more would bury the map under its lines.
inline constexpr int kMostLevels = 100;

// Arguments that do not make a command line; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options of `arguments` (without the program's name). An option's value follows it as the
// next argument or after "=" (--step=0.5); "--" ends the options.
Options parse_options(const std::vector<std::string>& arguments);

}  // namespace grdsection
