#include "startup/banner.hpp"

#include <algorithm>
#include <cstddef>

#include "startup/page_settings.hpp"
#include "startup/platform.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"

namespace startup {
namespace {

constexpr int kMinimumWidth = 39;
constexpr int kMaximumWidth = 75;
constexpr std::size_t kLongestTitleLine = 76;
constexpr std::size_t kPageLengthFieldWidth = 3;
constexpr int kLinesOfClosingBlock = 6;
constexpr int kLinesOfCreditBox = 8;

constexpr std::string_view kProgramWord = "Program ";
constexpr std::string_view kVersionWord = " Version ";
constexpr std::string_view kDistributedWord = "Distributed on ";

constexpr std::size_t kCreditWidth = 63;
constexpr std::string_view kCreditMargin = "        |";
constexpr std::string_view kCreditLines[] = {
    " One of a family of programs for crystal structure analysis,",
    " all working on one shared description of an experiment.",
    " The family is distributed free of charge, with its sources.",
    " It is provided as it is, without warranty of any kind.",
};

std::string blanks(int count) {
  return std::string(static_cast<std::size_t>(std::max(count, 0)), ' ');
}

// W: the content width of the box less two.
int box_width(const std::vector<std::string_view>& lines) {
  std::size_t longest = 0;
  for (std::string_view line : lines) longest = std::max(longest, line.size());
  return static_cast<int>(std::clamp(longest, static_cast<std::size_t>(kMinimumWidth),
                                     static_cast<std::size_t>(kMaximumWidth)));
}

std::string centred_title_line(std::string_view margin, int width, std::string_view line) {
  const std::string_view text = line.substr(0, kLongestTitleLine);
  const int length = static_cast<int>(text.size());
  const int before = (width - length + 1) / 2 + 1;
  const int after = width + 2 - before - length;
  return std::string(margin) + blanks(before) + std::string(text) + blanks(after) + "|";
}

int page_length_from_environment() {
  std::string field(kPageLengthFieldWidth, ' ');
  if (ENVVAL("LENPAGE", field) == 0) return kDefaultPageLength;
  int lines = 0;
  textio::read_text(field, "(I2)", lines);
  return lines;
}

// The part of a credit box line after its margin: the text padded to the box, and the border.
std::string credit_content(std::string_view text) {
  return textio::fit(text, kCreditWidth) + "|";
}

void write_credit_box(int unit) {
  const std::string border = std::string(kCreditWidth, '-') + "|";
  textio::write_record(unit, "(/2A)", kCreditMargin, border);
  for (int i = 0; i < 3; ++i) {
    textio::write_record(unit, "(2A)", kCreditMargin, credit_content(kCreditLines[i]));
  }
  textio::write_record(unit, "(2A)", kCreditMargin, credit_content(""));
  textio::write_record(unit, "(2A)", kCreditMargin, credit_content(kCreditLines[3]));
  textio::write_record(unit, "(2A)", kCreditMargin, border);
  textio::write_record(unit, "(A)", "");
}

}  // namespace

std::vector<std::string_view> split_title(std::string_view title) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < title.size(); ++i) {
    if (title[i] == '|') {
      lines.push_back(title.substr(start, i - start));
      start = i + 1;
    } else if (i + 1 == title.size()) {
      lines.push_back(title.substr(start));
    }
  }
  return lines;
}

BannerBox banner_box(std::string_view program_name, std::string_view platform,
                     std::string_view title, std::string_view date) {
  const std::vector<std::string_view> lines = split_title(title);
  const int width = box_width(lines);
  // The formulas centre the box in 80 columns and the texts within it; a program name too long
  // for the box pushes its right edge out rather than giving a negative count of blanks.
  const std::string margin = blanks((77 - width) / 2) + "|";
  const int name_length = static_cast<int>(program_name.size());

  BannerBox box;
  box.border = margin + std::string(static_cast<std::size_t>(width + 2), '-') + "|";

  const int before_name = (width - 24 - name_length) / 2 + 2;
  const int after_platform = width - 21 - before_name - name_length;
  box.program_line = margin + blanks(before_name) + std::string(kProgramWord) +
                     std::string(program_name) + std::string(kVersionWord) + std::string(platform) +
                     blanks(after_platform) + "|";

  for (std::string_view line : lines) {
    box.title_lines.push_back(centred_title_line(margin, width, line));
  }

  const int before_date = (width - 39) / 2 + 1;
  const int after_date = width - before_date - 37;
  box.date_line = margin + blanks(before_date) + std::string(kDistributedWord) + std::string(date) +
                  blanks(after_date) + "|";
  return box;
}

void BANNER(int listing_unit, std::string_view program_name, std::string_view title) {
  std::string platform(kPlatformFieldWidth, ' ');
  SYSTXT(platform);
  set_platform_field(platform);
  set_page_length(page_length_from_environment());
  set_program_name_field(program_name.substr(0, kProgramNameFieldWidth));

  const BannerBox box = banner_box(program_name, platform, title, PRGDAT());
  textio::write_record(listing_unit, "(/A/A)", box.border, box.program_line);
  for (const std::string& line : box.title_lines) {
    textio::write_record(listing_unit, "(A)", line);
    PAGCHK(listing_unit, 1);
  }
  textio::write_record(listing_unit, "(A/A)", box.date_line, box.border);
  PAGCHK(listing_unit, kLinesOfClosingBlock);
  write_credit_box(listing_unit);
  PAGCHK(listing_unit, kLinesOfCreditBox);
}

}  // namespace startup
