#include "startup/page_settings.hpp"

#include <array>
#include <ctime>

#include "startup/platform.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/text.hpp"

namespace startup {
namespace {

constexpr int kLastCountedUnit = 99;
constexpr int kLinesOfPageHeader = 2;
constexpr std::size_t kHeaderDateWidth = 20;

struct PageSettings {
  int page_length = kDefaultPageLength;
  std::array<int, kLastCountedUnit + 1> line_count{};
  std::array<int, kLastCountedUnit + 1> page_number{};
  std::string listing_title = std::string(kListingTitleWidth, ' ');
  std::string program_name = std::string(kProgramNameFieldWidth, ' ');
  std::string platform = std::string(kPlatformFieldWidth, ' ');
};

PageSettings& settings() {
  return textio::program_state<PageSettings>();
}

bool is_counted(int unit) {
  return unit >= 1 && unit <= kLastCountedUnit;
}

// The current date and time as ctime gives them, without the weekday.
std::string header_date() {
  return ctime_text(std::time(nullptr)).substr(kDateWidth - kHeaderDateWidth);
}

}  // namespace

int PAGCHK(int unit, int lines) {
  if (!is_counted(unit)) return 0;
  int new_page = 0;
  if (settings().page_length < settings().line_count[unit] + lines) {
    NEWPAG(unit);
    new_page = 1;
  }
  settings().line_count[unit] += lines;
  return new_page;
}

void NEWPAG(int unit) {
  if (!is_counted(unit)) return;
  PageSettings& state = settings();
  state.line_count[unit] = kLinesOfPageHeader;
  ++state.page_number[unit];
  textio::write_record(unit, "(2A,1X,A,1X,2A,1X,A,1X,A,I4/)", "1", state.listing_title,
                       state.program_name, "Version ", state.platform, header_date(), "Page",
                       state.page_number[unit]);
}

void set_page_length(int lines) {
  settings().page_length = lines;
}
void set_program_name_field(std::string_view program_name) {
  textio::assign_field(settings().program_name, program_name);
}
void set_platform_field(std::string_view platform) {
  textio::assign_field(settings().platform, platform);
}
void set_listing_title(std::string_view title) {
  textio::assign_field(settings().listing_title, title);
}

int page_length() {
  return settings().page_length;
}
int line_count(int unit) {
  return is_counted(unit) ? settings().line_count[unit] : 0;
}
int page_number(int unit) {
  return is_counted(unit) ? settings().page_number[unit] : 0;
}

}  // namespace startup
