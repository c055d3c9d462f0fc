// The command line of grdpeaks.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace grdpeaks {

struct Options {
  std::string name;                  // the grid file, or NAME as mapconv takes it
  std::optional<std::string> group;  // --group SYMBOL: instead of the experiment file's
  int count = 20;                    // --count N: peaks (and holes) listed at most; 0 for all
  double min_sigma = 1.0;            // --min-sigma S
  bool holes = false;                // --holes: also for a map that is not a difference map
  std::optional<std::string> csv;    // --csv FILE, "-" for standard output
  std::optional<std::string> json;   // --json FILE, "-" for standard output
  std::optional<std::string> model;  // --model FILE: a small-molecule CIF of the structure
  bool help = false;
  bool version = false;
};

// Arguments that do not make a command line; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options of `arguments` (without the program's name). An option's value follows it as the
// next argument or after "=" (--count=5); "--" ends the options.
Options parse_options(const std::vector<std::string>& arguments);

}  // namespace grdpeaks
