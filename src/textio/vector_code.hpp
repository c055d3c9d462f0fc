// Whether the vector paths (AVX2) run: the map sampling and the text of interpolated values take
// them on processors that have AVX2, and give the same bytes as the portable paths.
//
// Threads: any.
#pragma once

#include <string_view>

namespace textio {

// The environment variable that, set to anything but "" or "0", keeps every run on the portable
// paths, as on a processor without AVX2: for comparing the two when one is in doubt.
inline constexpr std::string_view kPortableVariable = "MAPCONV_PORTABLE";

// True when the processor has AVX2 and kPortableVariable does not ask for the portable paths.
// Decided once, at the first call.
bool vector_code_enabled();

}  // namespace textio
