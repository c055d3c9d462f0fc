// Reading the decimal numbers of a grid file's value lines quickly, with exactly the results of
// std::from_chars.
#pragma once

namespace grd2ccp4 {

// Reads the number at the start of [first, last) when it is written the way mapconv writes its
// values: [-]digits[.digits][(E|e)[+|-]digits], at least one digit before the exponent and at most
// 19 in all, at most 4 in the exponent. `value` receives the float that std::from_chars reads from
// the same text. Returns the end of the number, or nullptr, leaving `value` alone, for text of any
// other form and for a number that is not a finite float (the caller then reads the text the slow
// way, which words the problem).
const char* read_decimal_float(const char* first, const char* last, float& value);

}  // namespace grd2ccp4
