// Fixed-width text fields: every text value is a blank-padded field of a fixed width, and two
// texts are equal when they differ only in trailing blanks.
// Threads: any; nothing here keeps state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace textio {

// The text cut or padded with blanks on the right to exactly `width` characters.
std::string fit(std::string_view text, std::size_t width);

// The text without its trailing blanks.
std::string_view trim_right(std::string_view text);

// True when the two texts differ at most in trailing blanks.
bool same_text(std::string_view a, std::string_view b);

// Copies `text` into the fixed-width field `field`, cutting or padding; the field keeps its width.
void assign_field(std::string& field, std::string_view text);

// The text in upper case (ASCII letters only).
std::string upper_case(std::string_view text);

}  // namespace textio
