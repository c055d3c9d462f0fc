#include "startup/platform.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "textio/entry.hpp"
#include "textio/text.hpp"

namespace startup {
namespace {

constexpr std::string_view kPlatformText = "Win32 6.0";
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string blank_date() {
  return std::string(kDateWidth, ' ');
}

}  // namespace

std::string ctime_text(std::time_t time) {
  std::tm parts{};
  if (localtime_r(&time, &parts) == nullptr) return blank_date();
  if (parts.tm_wday < 0 || parts.tm_wday > 6 || parts.tm_mon < 0 || parts.tm_mon > 11) {
    return blank_date();
  }
  char text[96];
  std::snprintf(text, sizeof text, "%s %s%3d %02d:%02d:%02d %d", kWeekdays[parts.tm_wday],
                kMonths[parts.tm_mon], parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                parts.tm_year + 1900);
  return textio::fit(text, kDateWidth);
}

std::string file_modification_date(const std::string& path) {
  struct stat status {};
  if (path.empty() || stat(path.c_str(), &status) != 0) return blank_date();
  return ctime_text(status.st_mtime);
}

std::string PRGDAT() {
  std::string date = file_modification_date("/proc/self/exe");
  if (textio::trim_right(date).empty() && textio::argument_count() > 0) {
    const char* program = textio::argument(0);
    if (program != nullptr) date = file_modification_date(program);
  }
  return date;
}

int ENVVAL(std::string_view name, std::string& value) {
  const char* text = std::getenv(std::string(name).c_str());
  textio::assign_field(value, text == nullptr ? "" : text);
  return textio::trim_right(value).empty() ? 0 : static_cast<int>(value.size());
}

void SYSTXT(std::string& field) {
  textio::assign_field(field, kPlatformText);
}

}  // namespace startup
