#include "startup/platform.hpp"

#include <cstdio>

#include "os/os.hpp"
#include "textio/entry.hpp"
#include "textio/text.hpp"

namespace startup {
namespace {

// The platform text the suite's programs give on every system: it goes into stored fields
// ("Win32 " in a six-character field), which must read the same whatever system wrote them.
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
  if (!os::local_time(time, parts)) return blank_date();
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
  os::FileStatus status;
  if (path.empty() || os::file_status(path, status) != 0) return blank_date();
  return ctime_text(static_cast<std::time_t>(status.modified_seconds));
}

std::string PRGDAT() {
  std::string date = file_modification_date(os::executable_path());
  if (textio::trim_right(date).empty() && textio::argument_count() > 0) {
    const char* program = textio::argument(0);
    if (program != nullptr) date = file_modification_date(program);
  }
  return date;
}

int ENVVAL(std::string_view name, std::string& value) {
  const std::optional<std::string> text = os::environment_variable(std::string(name));
  textio::assign_field(value, text.value_or(""));
  return textio::trim_right(value).empty() ? 0 : static_cast<int>(value.size());
}

void SYSTXT(std::string& field) {
  textio::assign_field(field, kPlatformText);
}

}  // namespace startup
