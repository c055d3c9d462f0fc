// The picture of a section as SVG 1.1: the range of the plane in the cell's true metric (a
// parallelogram for an oblique cell), the contours (positive solid, negative dashed), the cell's
// edges, the axes, the marked peaks and holes, a title and a scale bar in Å. Peak marks are
// <circle class="peak"> (holes class="hole") and contour paths class "positive" or "negative", so
// that a script can find them.
#pragma once

#include <string>

#include "analysis/section.hpp"

namespace grdsection {

struct SectionPicture;

// The drawing's scale: the range's longer side takes a fixed number of pixels.
double pixels_per_angstrom(const analysis::SectionFrame& frame,
                           const analysis::SectionRange& range);

// The whole SVG document.
std::string svg_text(const SectionPicture& picture);

}  // namespace grdsection
