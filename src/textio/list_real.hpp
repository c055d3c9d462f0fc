// The list-directed text of single-precision reals.
#pragma once

#include <cstddef>

#include "textio/records.hpp"

namespace textio {

// format_list_real for a single-precision value: the same text as the double form of it.
std::size_t format_list_real(float value, char* out);

}  // namespace textio
