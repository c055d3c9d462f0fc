// Format lists such as "(3f10.5,3f10.4)": parsed once into a flat list of tokens and cached.
// Threads: the main thread only; the cache has no lock.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace textio {

struct FormatToken {
  enum class Kind {
    integer,      // Iw
    fixed,        // Fw.d
    exponent,     // Ew.d
    general,      // Gw.d
    text,         // A or Aw (width 0 means the item's own length)
    skip,         // nX
    literal,      // 'text' or nHtext
    scale,        // kP
    slash,        // /
    colon,        // :
    dollar,       // $
    group_start,  // n(
    group_end,    // )
  };
  Kind kind;
  int repeat = 1;  // data descriptors and groups
  int width = 0;   // w; for nX the count; for kP the factor
  int digits = 0;  // d
  int match = 0;   // group_start: index of its group_end; group_end: index of its group_start
  std::string literal;

  bool is_data() const { return kind <= Kind::text; }
};

struct ParsedFormat {
  std::vector<FormatToken> tokens;
  int reversion_start = 0;  // where the list is used again when items remain at its end
  // The part used again holds a data edit descriptor; without one, items left over at the end
  // of the list could never be taken.
  bool reversion_has_data = false;
  bool valid = false;
};

// Parses a format list; an invalid list gives a ParsedFormat with valid == false. Results are
// kept by the format text, so a format used again is not parsed again. The cache holds at most
// kFormatCacheLimit formats: formats built at run time cannot make it grow without bound.
std::shared_ptr<const ParsedFormat> parsed_format(std::string_view format);

inline constexpr std::size_t kFormatCacheLimit = 256;
// The cache is program-wide state: reset_program_state forgets every parsed format.
std::size_t cached_format_count();

}  // namespace textio
