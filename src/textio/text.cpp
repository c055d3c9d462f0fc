#include "textio/text.hpp"

#include <algorithm>

namespace textio {

std::string fit(std::string_view text, std::size_t width) {
  std::string field(text.substr(0, std::min(text.size(), width)));
  field.resize(width, ' ');
  return field;
}

std::string_view trim_right(std::string_view text) {
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

bool same_text(std::string_view a, std::string_view b) {
  return trim_right(a) == trim_right(b);
}

void assign_field(std::string& field, std::string_view text) {
  field = fit(text, field.size());
}

std::string upper_case(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace textio
