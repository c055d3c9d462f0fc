// The picture put in its place: written whole to a temporary file beside it first, so that a run
// that fails leaves an earlier picture of the same name as it was.
#pragma once

#include <string>
#include <vector>

#include "grdsection/options.hpp"

namespace grdsection {

struct Written {
  std::string report;              // the line for standard output
  std::vector<std::string> notes;  // for standard error
};

// Draws the section `options` asks for and writes its picture. Throws std::runtime_error naming
// the file and the problem.
Written write_picture(const Options& options);

}  // namespace grdsection
