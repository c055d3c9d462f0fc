// The editing of one data descriptor: pure functions from a value to the characters of its field
// and back. The format control (records.cpp) decides which descriptor applies to which item.
// Threads: any; nothing here keeps state.
#pragma once

#include <string>
#include <string_view>

namespace textio {

// Output. Each returns exactly `width` characters (asterisks when the value does not fit),
// except edit_text with width 0, which returns the text as it is.
std::string edit_integer(long long value, int width);
std::string edit_fixed(double value, int width, int digits, int scale);
std::string edit_exponent(double value, int width, int digits, int scale);
std::string edit_general(double value, int width, int digits, int scale);
std::string edit_text(std::string_view text, int width);

// Input. Blanks are ignored and an all-blank field reads as 0. Each returns a status: 0, or
// kErrUnexpectedCharacter when the field is not a number.
// Reads an Iw field into a 4-byte integer; a value beyond its range is refused.
int read_integer(std::string_view field, int& value);
// Reads Fw.d, Ew.d and Gw.d fields: without a point the last `digits` digits are the fraction;
// an exponent, which needs at least one digit, may follow; a scale factor applies only when
// there is no exponent.
int read_real(std::string_view field, int digits, int scale, double& value);
int read_real(std::string_view field, int digits, int scale, float& value);
// Aw input into a text variable of the item's width (width 0 means the item's width).
void read_text_field(std::string_view field, std::string& target);

}  // namespace textio
