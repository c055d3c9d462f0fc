#include "grd2ccp4/grid_reader.hpp"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <numbers>
#include <optional>
#include <string_view>

namespace grd2ccp4 {

namespace {

constexpr std::size_t kCellFieldWidth = 10;     // 3F10.5, 3F10.4
constexpr std::size_t kDivisionFieldWidth = 4;  // 3I4
constexpr std::array<const char*, 6> kCellFieldNames = {"a", "b", "c", "alpha", "beta", "gamma"};
constexpr std::array<const char*, 3> kDivisionNames = {"N1", "N2", "N3"};
constexpr std::size_t kLargestReservation = std::size_t{1} << 20;
constexpr std::size_t kLongestLine = 1024;
constexpr std::size_t kLongestQuote = 40;

// Hands out the lines of a file one by one, without their line ends, and words every problem
// with the file name and the number of the line concerned.
class LineReader {
 public:
  explicit LineReader(const std::filesystem::path& path) : name_(path.string()) {
    if (std::filesystem::is_directory(path)) fail_file("is a directory");
    stream_.open(path, std::ios::binary);
    if (!stream_) fail_file(std::strerror(errno));
  }

  // The next line, or nothing at the end of the file. A line longer than any that mapconv
  // writes is refused before it can fill the memory (a file that is not a grid file may have
  // no line ends at all).
  std::optional<std::string> next() {
    std::string line;
    std::streambuf& buffer = *stream_.rdbuf();
    int c = buffer.sbumpc();
    if (c == std::char_traits<char>::eof()) return std::nullopt;
    for (; c != '\n' && c != std::char_traits<char>::eof(); c = buffer.sbumpc()) {
      if (line.size() == kLongestLine) {
        fail_at_end("the line is longer than " + std::to_string(kLongestLine) + " characters");
      }
      line.push_back(static_cast<char>(c));
    }
    if (line.ends_with('\r')) line.pop_back();
    ++number_;
    return line;
  }

  // The next line, or a failure naming what the missing line should have held.
  std::string expect(const char* what) {
    std::optional<std::string> line = next();
    if (!line) fail_at_end(std::string("the file ends before the ") + what);
    return *line;
  }

  // A problem of the line read last.
  [[noreturn]] void fail(const std::string& problem) const { fail_at(number_, problem); }

  // A problem found at the end of the file: it concerns the line that is missing.
  [[noreturn]] void fail_at_end(const std::string& problem) const { fail_at(number_ + 1, problem); }

 private:
  [[noreturn]] void fail_at(std::uint64_t line, const std::string& problem) const {
    throw GridFileError(name_ + ", line " + std::to_string(line) + ": " + problem);
  }

  [[noreturn]] void fail_file(const std::string& problem) const {
    throw GridFileError(name_ + ": cannot read the file: " + problem);
  }

  std::string name_;
  std::ifstream stream_;
  std::uint64_t number_ = 0;
};

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The text in double quotes for a message: cut to a readable length, with every character
// that is not printable shown as "?".
std::string quoted(std::string_view text) {
  std::string shown(text.substr(0, kLongestQuote));
  for (char& c : shown) {
    if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
  }
  return "\"" + shown + (text.size() > kLongestQuote ? "...\"" : "\"");
}

std::optional<float> finite_real(std::string_view text) {
  float value = 0.0f;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> whole_number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Field `index` (from 0) of a line of fields `width` columns wide, its blanks removed.
std::string_view field(std::string_view line, std::size_t index, std::size_t width) {
  const std::size_t start = index * width;
  return start < line.size() ? trimmed(line.substr(start, width)) : std::string_view{};
}

std::string columns(std::size_t index, std::size_t width) {
  return "(columns " + std::to_string(index * width + 1) + "-" +
         std::to_string((index + 1) * width) + ")";
}

void refuse_text_after(const LineReader& reader, std::string_view line, std::size_t column) {
  if (line.size() > column && !trimmed(line.substr(column)).empty()) {
    reader.fail("unexpected text after column " + std::to_string(column) + ": " +
                quoted(trimmed(line.substr(column))));
  }
}

// The volume of a cell of unit edges is the square root of this; it must be positive.
double unit_volume_squared(const std::array<float, 3>& angles) {
  std::array<double, 3> c{};
  for (std::size_t i = 0; i < 3; ++i) c[i] = std::cos(angles[i] * std::numbers::pi / 180.0);
  return 1.0 - c[0] * c[0] - c[1] * c[1] - c[2] * c[2] + 2.0 * c[0] * c[1] * c[2];
}

void read_cell(LineReader& reader, GridFile& grid) {
  const std::string line = reader.expect("cell line");
  std::array<float, 6> cell{};
  for (std::size_t i = 0; i < cell.size(); ++i) {
    const std::string_view text = field(line, i, kCellFieldWidth);
    const std::string name =
        std::string("cell ") + kCellFieldNames[i] + " " + columns(i, kCellFieldWidth);
    if (text.empty()) reader.fail(name + " is blank");
    const std::optional<float> value = finite_real(text);
    if (!value) reader.fail(name + " is not a number: " + quoted(text));
    if (i < 3 && *value <= 0.0f) {
      reader.fail(std::string("cell length ") + kCellFieldNames[i] + " must be positive, not " +
                  std::string(text));
    }
    if (i >= 3 && (*value <= 0.0f || *value >= 180.0f)) {
      reader.fail(std::string("cell angle ") + kCellFieldNames[i] +
                  " must lie between 0 and 180 degrees, not " + std::string(text));
    }
    cell[i] = *value;
  }
  refuse_text_after(reader, line, cell.size() * kCellFieldWidth);
  grid.lengths = {cell[0], cell[1], cell[2]};
  grid.angles = {cell[3], cell[4], cell[5]};
  if (unit_volume_squared(grid.angles) <= 0.0) {
    reader.fail("the cell angles do not form a cell");
  }
}

void read_divisions(LineReader& reader, GridFile& grid) {
  const std::string line = reader.expect("grid divisions line");
  for (std::size_t i = 0; i < grid.divisions.size(); ++i) {
    const std::string_view text = field(line, i, kDivisionFieldWidth);
    const std::string name =
        std::string("grid division ") + kDivisionNames[i] + " " + columns(i, kDivisionFieldWidth);
    const std::optional<int> value = whole_number(text);
    if (!value) reader.fail(name + " is not a whole number: " + quoted(text));
    if (*value < 1) reader.fail(name + " must be at least 1, not " + std::string(text));
    grid.divisions[i] = *value;
  }
  refuse_text_after(reader, line, grid.divisions.size() * kDivisionFieldWidth);
}

std::string grid_size(const GridFile& grid) {
  return std::to_string(grid.divisions[0]) + " x " + std::to_string(grid.divisions[1]) + " x " +
         std::to_string(grid.divisions[2]);
}

void read_values(LineReader& reader, GridFile& grid) {
  const std::uint64_t expected = std::uint64_t(grid.divisions[0]) *
                                 std::uint64_t(grid.divisions[1]) *
                                 std::uint64_t(grid.divisions[2]);
  grid.values.reserve(
      static_cast<std::size_t>(std::min<std::uint64_t>(expected, kLargestReservation)));
  while (std::optional<std::string> line = reader.next()) {
    if (grid.values.size() == expected) {
      reader.fail("more lines than the " + std::to_string(expected) + " values of a " +
                  grid_size(grid) + " grid");
    }
    const std::string_view text = trimmed(*line);
    if (text.empty()) reader.fail("the value line is blank");
    const std::optional<float> value = finite_real(text);
    if (!value) reader.fail("the value is not a finite number: " + quoted(text));
    grid.values.push_back(*value);
  }
  if (grid.values.size() < expected) {
    reader.fail_at_end("the file ends after " + std::to_string(grid.values.size()) + " of the " +
                       std::to_string(expected) + " values of a " + grid_size(grid) + " grid");
  }
}

}  // namespace

GridFile read_grid_file(const std::filesystem::path& path) {
  LineReader reader(path);
  GridFile grid;
  grid.title = reader.expect("title line");
  read_cell(reader, grid);
  read_divisions(reader, grid);
  read_values(reader, grid);
  return grid;
}

}  // namespace grd2ccp4
