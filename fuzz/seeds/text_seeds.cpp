// Seeds of the text targets: format lists, list-directed items and console dialogues.
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <fstream>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string_view>

#include "fuzzing/inputs.hpp"
#include "seeds.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"

namespace seeds {

namespace {

using fuzzing::Item;

constexpr std::size_t kMaxSeedItems = 24;

Item integer_item(long long value) {
  Item item;
  item.kind = Item::Kind::integer;
  item.integer = value;
  return item;
}

Item double_item(double value) {
  Item item;
  item.kind = Item::Kind::real64;
  item.real64 = value;
  return item;
}

Item float_item(float value) {
  Item item;
  item.kind = Item::Kind::real32;
  item.real32 = value;
  return item;
}

Item text_item(std::string text) {
  Item item;
  item.kind = Item::Kind::text;
  item.text = std::move(text);
  return item;
}

// The string literals of a source file that look like format lists: "(" ... ")".
std::set<std::string> quoted_format_lists(const std::string& source) {
  static const std::regex literal(R"re("(\((?:\\.|[^"\\])*\))")re");
  std::set<std::string> formats;
  for (auto it = std::sregex_iterator(source.begin(), source.end(), literal);
       it != std::sregex_iterator(); ++it) {
    std::string text;
    const std::string quoted = (*it)[1];
    for (std::size_t i = 0; i < quoted.size(); ++i) {
      if (quoted[i] == '\\' && i + 1 < quoted.size()) ++i;
      text += quoted[i];
    }
    formats.insert(text);
  }
  return formats;
}

std::set<std::string> source_format_lists(const std::filesystem::path& directory) {
  std::set<std::string> formats;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".hpp") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    formats.merge(quoted_format_lists(text.str()));
  }
  return formats;
}

// The data edits of a format list in order, each as its letter repeated by its count: a plain
// scan that skips literals and Hollerith texts and ignores group counts, enough to give a seed
// items of the kinds its list expects.
std::string data_edits(const std::string& format) {
  std::string edits;
  int count = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(format[i])));
    if (c == '\'') {
      i = format.find('\'', i + 1);
      if (i == std::string::npos) break;
    } else if (c >= '0' && c <= '9') {
      count = count * 10 + (c - '0');
      continue;
    } else if (c == 'H' && count > 0) {
      i += static_cast<std::size_t>(count);
    } else if (std::string_view("IFEGA").find(c) != std::string_view::npos) {
      edits.append(static_cast<std::size_t>(std::max(count, 1)), c);
      // The width and decimals that follow are not counts.
      while (i + 1 < format.size() &&
             (std::isdigit(static_cast<unsigned char>(format[i + 1])) || format[i + 1] == '.')) {
        ++i;
      }
    }
    count = 0;
  }
  return edits;
}

// One item for each data edit, of the edit's kind.
std::vector<Item> items_for(const std::string& format, int variant) {
  std::vector<Item> items;
  for (char edit : data_edits(format).substr(0, kMaxSeedItems)) {
    const int n = static_cast<int>(items.size()) + variant;
    if (edit == 'I') {
      items.push_back(integer_item(variant == 0 ? 7 * n + 1 : -123456789LL * n));
    } else if (edit == 'A') {
      items.push_back(text_item(variant == 0 ? "TEXT" : " Writing file: SILICON.grd"));
    } else {
      items.push_back(n % 2 == 0 ? double_item(variant == 0 ? 3.14159 : -1234.5678e3)
                                 : float_item(variant == 0 ? 0.001f : 5.4307f));
    }
  }
  return items;
}

// The items written with the format, as a line to read back: what the program's own records
// look like.
std::string written_line(const std::string& format, const std::vector<Item>& items) {
  const std::vector<textio::OutItem> out = fuzzing::out_items(items);
  std::string line(132, ' ');
  if (textio::try_write_text_items(line, format, out) != textio::kOk) return "   1   2   3";
  return line;
}

}  // namespace

std::vector<std::string> format_seeds(const std::filesystem::path& source_directory) {
  std::vector<std::string> seeds;
  for (const std::string& format : source_format_lists(source_directory)) {
    for (int variant = 0; variant < 2; ++variant) {
      fuzzing::FormatInput input;
      input.format = format;
      input.items = items_for(format, variant);
      input.input_text = written_line(format, input.items);
      input.text_width = variant == 0 ? 80 : 132;
      seeds.push_back(fuzzing::encode_format_input(input));
    }
  }
  return seeds;
}

std::vector<std::string> list_seeds() {
  const std::vector<Item> singles = {
      float_item(0.5f),
      float_item(-2.0f),
      float_item(0.1f),
      float_item(0.00005f),
      float_item(1e12f),
      float_item(1.0f),
      float_item(-0.25f),
      float_item(0.0f),
      float_item(-0.0f),
      float_item(FLT_MAX),
      float_item(FLT_MIN),
      float_item(std::numeric_limits<float>::denorm_min()),
      float_item(1e-19f),
      float_item(123456789.0f),
      float_item(999999999.0f),
      float_item(1e-4f),
      float_item(std::numeric_limits<float>::infinity()),
      float_item(std::numeric_limits<float>::quiet_NaN()),
      double_item(0.5),
      double_item(1e12),
      double_item(0.1),
      double_item(999999999.5),
      double_item(123456789012.0),
      double_item(1e-300),
      double_item(DBL_MAX),
      double_item(std::numeric_limits<double>::denorm_min()),
      double_item(-1e100),
      integer_item(0),
      integer_item(-1),
      integer_item(LLONG_MIN),
      integer_item(LLONG_MAX),
      text_item(""),
      text_item("No Fourier Phase was found. Has a Map been computed?"),
  };
  std::vector<std::string> seeds;
  for (const Item& item : singles) seeds.push_back(fuzzing::encode_list_input({item}));
  // Writes of several items that fill more than one record.
  seeds.push_back(fuzzing::encode_list_input(singles));
  seeds.push_back(fuzzing::encode_list_input(
      {text_item("Writing file: "), text_item(std::string(50, 'G')), float_item(-1.5f)}));
  std::vector<Item> grid_values;
  for (int i = 0; i < 40; ++i) grid_values.push_back(float_item(std::sin(0.37f * i) * 812.5f));
  seeds.push_back(fuzzing::encode_list_input(grid_values));
  return seeds;
}

std::vector<std::string> console_seeds() {
  using fuzzing::ConsoleInput;
  // Questions: GETANS mode 0, 1 and 2 and RDLINE, with widths of 18 to 86 columns.
  const std::string mixed = "\x10\x25\x3e\x53";
  const std::string lines = "\x53\x57\x5b";
  const std::vector<ConsoleInput> inputs = {
      {"@M\nmac1\nanswer one ! note\n  two   \n@Q\nthird\n", "", mixed},
      {"@R\nMAC1\nafter\n", "answer one ! note\n  two\n", mixed},
      {"@R\nnosuch\nQUIT\nline\n", "", lines},
      {"a b c\n,\n1,2,3/\nx/ y\n\tz\n", "", "\x11\x11\x11\x11\x11\x10"},
      {"@H\n@Q\n@m\nrec\n@r\n@q\nend\r\n", "", mixed},
      {"@R\nMAC1\n", "@M\nnested\none\n@Q\n@R\ntwo\n", mixed},
      {"first line of text that goes on and on past the end of a narrow field\n", "", "\x03"},
      {"!only a comment\n , default kept\n", "", "\x01\x01"},
      {"", "", ""},
  };
  std::vector<std::string> seeds;
  for (const ConsoleInput& input : inputs) seeds.push_back(fuzzing::encode_console_input(input));
  return seeds;
}

}  // namespace seeds
