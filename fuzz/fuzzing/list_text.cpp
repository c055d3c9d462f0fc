#include "fuzzing/list_text.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fuzzing {

namespace {

constexpr std::size_t kRecordLength = 80;

std::string with_three_digit_exponent(const std::string& mantissa, const std::string& exponent) {
  const int power = std::atoi(exponent.c_str());
  char text[16];
  std::snprintf(text, sizeof text, "E%c%03d", power < 0 ? '-' : '+', std::abs(power));
  return mantissa + text;
}

}  // namespace

std::string expected_list_real(double value) {
  const std::string sign = std::signbit(value) && value != 0.0 ? "-" : " ";
  if (value == 0.0) return "  0.";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9G", std::fabs(value));
  std::string text = buffer;
  if (!std::isfinite(value)) return " " + sign + text;
  const std::size_t e = text.find('E');
  std::string mantissa = text.substr(0, e);
  if (mantissa.find('.') == std::string::npos) mantissa += '.';
  if (e != std::string::npos) mantissa = with_three_digit_exponent(mantissa, text.substr(e + 1));
  return " " + sign + mantissa;
}

std::string expected_list_integer(long long value) {
  return " " + std::to_string(value);
}

std::vector<std::string> expected_list_records(const std::vector<ListItemText>& items) {
  std::vector<std::string> records(1);
  for (const ListItemText& item : items) {
    std::string& record = records.back();
    if (record.empty()) {
      record = item.at_record_start;
    } else if (record.size() + item.within_record.size() >= kRecordLength) {
      records.push_back(item.at_record_start);
    } else {
      record += item.within_record;
    }
  }
  return records;
}

}  // namespace fuzzing
