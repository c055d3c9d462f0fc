// Small services of the running platform shared by the start-up and other parts: the program
// date, environment lookup into fixed-width fields and the platform text.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace startup {

inline constexpr std::size_t kDateWidth = 24;

// The last-modification time of the running program's file in the C library's ctime form
// (weekday, month, day, time, year; local time, no line end); 24 blanks when it cannot be found.
std::string PRGDAT();

// Copies the environment variable `name` into the fixed-width field `value` (blank-padded, cut
// to the field). Returns the field's width when the field is not blank, else 0.
int ENVVAL(std::string_view name, std::string& value);

// Places the platform text into `field`, cut or blank-padded to the field's width.
void SYSTXT(std::string& field);

// The 24-character ctime form of `time` in local time, in English whatever the locale;
// 24 blanks when the time cannot be converted.
std::string ctime_text(std::time_t time);

// The ctime form of the last-modification time of the file `path`; 24 blanks when the file's
// status cannot be had.
std::string file_modification_date(const std::string& path);

}  // namespace startup
