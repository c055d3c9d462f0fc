// Page settings of the listings: page length, per-unit line counts and page numbers, and the
// texts printed in page headers. One set for the whole run, set up by the banner.
#pragma once

#include <string>
#include <string_view>

namespace startup {

inline constexpr int kDefaultPageLength = 60;
inline constexpr std::size_t kListingTitleWidth = 66;
inline constexpr std::size_t kProgramNameFieldWidth = 8;
inline constexpr std::size_t kPlatformFieldWidth = 6;

// Counts `lines` just written on `unit`. When the page cannot hold them, a page header is
// written after them (NEWPAG) and 1 is returned, else 0. Units outside 1-99 are not counted.
int PAGCHK(int unit, int lines);

// Writes a page header on `unit` (1-99) and starts the unit's line count of the new page.
void NEWPAG(int unit);

// Setters used by the banner.
void set_page_length(int lines);
void set_program_name_field(std::string_view program_name);
void set_platform_field(std::string_view platform);
void set_listing_title(std::string_view title);

// Readers.
int page_length();
int line_count(int unit);   // 0 for units outside 1-99
int page_number(int unit);  // 0 for units outside 1-99

}  // namespace startup
