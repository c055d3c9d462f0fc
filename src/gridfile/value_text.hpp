// Reading the value lines of a grid file quickly, in the form that mapconv writes them, with
// exactly the values that std::strtof reads.
#pragma once

#include <cstddef>

#include "gridfile/large_buffer.hpp"

namespace gridfile {

// Reads the number at the start of [first, last) when it is written the way mapconv writes its
// values: [-]digits[.digits][(E|e)[+|-]digits], at least one digit before the exponent and at most
// 19 in all, at most 4 in the exponent. `value` receives the float that read_finite_float reads
// from the same text. Returns the end of the number, or nullptr, leaving `value` alone, for text of
// any other form and for a number too large for a float (the caller then reads the text the slow
// way, which words the problem).
const char* read_decimal_float(const char* first, const char* last, float& value);

// Reads the whole of [first, last) as a number in the form that std::from_chars reads, and gives
// `value` the float that std::strtof gives for it: a number too small for a float is zero, keeping
// its sign, or the nearest subnormal. Returns false, leaving `value` alone, for text of any other
// form and for a number that is not finite or too large for a float.
bool read_finite_float(const char* first, const char* last, float& value);

// Reads the lines from `line` on that hold one such number each, with blanks or tabs around it,
// end in CR LF or LF and have at most `longest` characters before the LF, appending their values
// to `values`. Stops before the first line of another form, when `values` holds `room` values,
// or at `last`; returns where it stopped.
const char* read_plain_value_lines(const char* line, const char* last, std::size_t longest,
                                   std::size_t room, LargeBuffer<float>& values);

}  // namespace gridfile
