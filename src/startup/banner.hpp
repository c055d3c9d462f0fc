// The start-up banner: a box naming the program, its platform, its title lines and the date of
// the program file, then the box of credit lines. Writing it also sets up the page settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace startup {

// Writes the banner on `listing_unit` and sets the page settings (page length from "LENPAGE",
// program name and platform fields). The title's lines are separated by "|".
void BANNER(int listing_unit, std::string_view program_name, std::string_view title);

// The lines of the banner's first box, each starting with the box's left margin.
struct BannerBox {
  std::string border;
  std::string program_line;
  std::vector<std::string> title_lines;
  std::string date_line;
};

// Lays out the first box for a program name, platform field, title and 24-character date.
BannerBox banner_box(std::string_view program_name, std::string_view platform,
                     std::string_view title, std::string_view date);

// The title's lines: it is cut at each "|", and a "|" at its very end starts no further line.
std::vector<std::string_view> split_title(std::string_view title);

}  // namespace startup
