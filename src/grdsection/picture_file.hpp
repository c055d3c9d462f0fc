// The picture put in its place: written whole to a temporary file beside it first, so that a run
// that fails leaves an earlier picture of the same name as it was.
#pragma once

#include <string>

#include "grdsection/options.hpp"

namespace grdsection {

// Draws the section `options` asks for, writes its picture and returns the report line for
// standard output. Throws std::runtime_error naming the file and the problem.
std::string write_picture(const Options& options);

}  // namespace grdsection
