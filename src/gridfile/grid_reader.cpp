#include "gridfile/grid_reader.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <numbers>
#include <optional>
#include <string_view>
#include <thread>

#include "gridfile/plane_gatherer.hpp"
#include "gridfile/value_text.hpp"
#include "os/os.hpp"

namespace gridfile {

namespace {

constexpr std::size_t kCellFieldWidth = 10;     // 3F10.5, 3F10.4
constexpr std::size_t kDivisionFieldWidth = 4;  // 3I4
constexpr std::array<const char*, 6> kCellFieldNames = {"a", "b", "c", "alpha", "beta", "gamma"};
constexpr std::array<const char*, 3> kDivisionNames = {"N1", "N2", "N3"};
constexpr std::size_t kLongestLine = 1024;
constexpr std::size_t kLongestQuote = 40;

// Hands out the lines of a file one by one, without their line ends, and words every problem
// with the file name and the number of the line concerned.
class LineReader {
 public:
  explicit LineReader(const std::filesystem::path& path) : name_(os::name_of(path)) {
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

  // Reads up to `size` bytes of what follows the lines handed out so far; returns how many.
  std::size_t read_bytes(char* out, std::size_t size) {
    return static_cast<std::size_t>(
        stream_.rdbuf()->sgetn(out, static_cast<std::streamsize>(size)));
  }

  std::uint64_t line_number() const { return number_; }

  // How many bytes follow the lines handed out so far, when the file can tell.
  std::optional<std::uint64_t> bytes_left() {
    std::streambuf& buffer = *stream_.rdbuf();
    const std::streamoff here = buffer.pubseekoff(0, std::ios::cur, std::ios::in);
    const std::streamoff end = buffer.pubseekoff(0, std::ios::end, std::ios::in);
    if (here < 0 || end < here || buffer.pubseekoff(here, std::ios::beg, std::ios::in) != here) {
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(end - here);
  }

  // A problem of line `line`.
  [[noreturn]] void fail_at(std::uint64_t line, const std::string& problem) const {
    throw GridFileError(name_ + ", line " + std::to_string(line) + ": " + problem);
  }

  // A problem of the line read last.
  [[noreturn]] void fail(const std::string& problem) const { fail_at(number_, problem); }

  // A problem found at the end of the file: it concerns the line that is missing.
  [[noreturn]] void fail_at_end(const std::string& problem) const { fail_at(number_ + 1, problem); }

 private:
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
  if (!read_finite_float(text.data(), text.data() + text.size(), value)) return std::nullopt;
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
  const std::string problem = read_cell_line(reader.expect("cell line"), grid);
  if (!problem.empty()) reader.fail(problem);
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

// The value lines are read in large blocks and parsed in place. Each block's lines are cut into
// runs, which two threads take one after the other; one of the two first reads the next block and
// takes the values of the block before to the map (plane_gatherer.hpp). Runs small beside a block
// keep both threads busy to the block's end however long that side task takes.
constexpr std::size_t kBlockBytes =
    LargeBufferAllocator<char>::kLargePage - kLongestLine - 2;  // a block's buffer: a large page
constexpr std::size_t kRunsPerBlock = 8;

std::string too_long_line() {
  return "the line is longer than " + std::to_string(kLongestLine) + " characters";
}

// What parsing a run of lines found: the values of its lines up to the first problem, the blank
// lines after the grid's last value among them, and that problem (empty: none), which concerns
// the line after those lines.
struct ParsedLines {
  // Room for the values of a run of mapconv's lines (at least eight bytes each) at once: the
  // values are not made again page by page as they grow.
  ParsedLines() { values.reserve(kBlockBytes / kRunsPerBlock / 8); }

  LargeBuffer<float> values;
  std::uint64_t blank_lines = 0;
  std::string problem;

  std::uint64_t lines() const { return values.size() + blank_lines; }

  void clear() {
    values.clear();
    blank_lines = 0;
    problem.clear();
  }
};

// The runs of a block's lines, parsed.
using BlockValues = std::array<ParsedLines, kRunsPerBlock>;

// The problems that a value line may have, in the order they are looked for.
class LineParser {
 public:
  LineParser(const GridFile& grid, std::uint64_t expected) : grid_(grid), expected_(expected) {}

  // Parses the complete lines of `text` (each ending in LF) into `parsed`; `room` is the number
  // of values that the grid still has room for.
  void parse(std::string_view text, std::uint64_t room, ParsedLines& parsed) const {
    parsed.clear();
    const char* const last = text.data() + text.size();
    for (const char* line = text.data(); line != last;) {
      line = read_plain_value_lines(line, last, kLongestLine, room, parsed.values);
      if (line == last) break;
      // A line of another form, or one more line than the grid has room for.
      const std::string_view rest(line, static_cast<std::size_t>(last - line));
      const std::string_view row = rest.substr(0, rest.find('\n'));
      if (!take_line(row, room, parsed)) return;
      line = row.data() + std::min(row.size() + 1, rest.size());
    }
  }

 private:
  // Takes the value of a line without its line end into `parsed`, or counts it as a blank line
  // after the grid's last value, which editors and file transfers leave at the end of a file.
  // Returns false, with the problem in `parsed`, for a line that is neither.
  bool take_line(std::string_view row, std::uint64_t room, ParsedLines& parsed) const {
    const bool fits = parsed.values.size() < room;
    if (!fits && row.size() <= kLongestLine && value_text_of(row).empty()) {
      ++parsed.blank_lines;
      return true;
    }
    float value = 0.0f;
    parsed.problem = problem_of(row, fits, value);
    if (!parsed.problem.empty()) return false;
    parsed.values.push_back(value);
    return true;
  }

  static std::string_view value_text_of(std::string_view row) {
    if (row.ends_with('\r')) row.remove_suffix(1);
    return trimmed(row);
  }

  // The problem of a value line without its line end, if any; else `value` receives its value.
  std::string problem_of(std::string_view row, bool fits, float& value) const {
    if (row.size() > kLongestLine) return too_long_line();
    if (!fits) {
      return "more lines than the " + std::to_string(expected_) + " values of a " +
             grid_size(grid_) + " grid";
    }
    const std::string_view value_text = value_text_of(row);
    if (value_text.empty()) return "the value line is blank";
    const std::optional<float> number = finite_real(value_text);
    if (!number) return "the value is not a finite number: " + quoted(value_text);
    value = *number;
    return {};
  }

  const GridFile& grid_;
  std::uint64_t expected_;
};

// Takes the parsed values of a block to their places in the map.
void append(PlaneGatherer& gatherer, const BlockValues& parsed) {
  for (const ParsedLines& run : parsed) gatherer.append(run.values.data(), run.values.size());
}

std::uint64_t line_count(std::string_view text) {
  return static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

// The complete lines of `text` in runs of whole lines of about equal size.
std::array<std::string_view, kRunsPerBlock> runs_of(std::string_view text) {
  std::array<std::string_view, kRunsPerBlock> runs;
  std::size_t start = 0;
  for (std::size_t r = 0; r < kRunsPerBlock; ++r) {
    std::size_t end = text.size();
    if (r + 1 < kRunsPerBlock) {
      const std::size_t line_end =
          text.find('\n', std::max(start, text.size() * (r + 1) / kRunsPerBlock));
      if (line_end != std::string_view::npos) end = line_end + 1;
    }
    runs[r] = text.substr(start, end - start);
    start = end;
  }
  return runs;
}

// Parses the runs of `text` on this thread and one more, the first thread free also doing
// `side_task`. A run's room depends on the number of lines before it, which are counted only when
// the grid's room could run out within `text` (every line holds at least its line end).
template <typename SideTask>
void parse_block(const LineParser& parser, std::string_view text, std::uint64_t room,
                 BlockValues& parsed, SideTask side_task) {
  const std::array<std::string_view, kRunsPerBlock> runs = runs_of(text);
  std::array<std::uint64_t, kRunsPerBlock> rooms;
  for (std::size_t r = 0; r < kRunsPerBlock; ++r) {
    rooms[r] = room;
    if (room < text.size()) room -= std::min(room, line_count(runs[r]));
  }
  std::atomic<std::size_t> next_task{0};  // 0 is the side task, r + 1 run r
  const auto work = [&] {
    for (std::size_t task = next_task++; task <= kRunsPerBlock; task = next_task++) {
      if (task == 0) {
        side_task();
      } else {
        parser.parse(runs[task - 1], rooms[task - 1], parsed[task - 1]);
      }
    }
  };
  // A failure on the helper thread (no memory for the values, say) is the reader's failure, met
  // on this thread once the helper has ended, rather than the end of the program.
  std::exception_ptr helper_failure;
  {
    std::jthread helper([&] {
      try {
        work();
      } catch (...) {
        helper_failure = std::current_exception();
      }
    });
    work();
  }
  if (helper_failure) std::rethrow_exception(helper_failure);
}

// The text after the header in blocks of whole lines, the next block read while the lines of the
// current one are parsed. A block's unfinished last line begins the next block.
class BlockReader {
 public:
  explicit BlockReader(LineReader& reader) : reader_(reader) { fill(blocks_[0], {}); }

  // False at the end of the file.
  bool has_text() const { return current().size > 0; }
  std::string_view lines() const { return {current().bytes.data(), current().complete}; }
  std::size_t unfinished_bytes() const { return current().size - current().complete; }

  // Reads the block after the current one; its lines may be parsed meanwhile. A line too long to
  // be carried over is not: the caller fails on it.
  void read_next() {
    const Block& now = current();
    const std::string_view unfinished(now.bytes.data() + now.complete, unfinished_bytes());
    fill(blocks_[1 - current_], unfinished.size() <= kLongestLine ? unfinished : "");
  }

  void advance() { current_ = 1 - current_; }

 private:
  struct Block {
    LargeBuffer<char> bytes = LargeBuffer<char>(kBlockBytes + kLongestLine + 2);
    std::size_t size = 0;      // bytes held
    std::size_t complete = 0;  // bytes up to the last line end
  };

  const Block& current() const { return blocks_[current_]; }

  void fill(Block& block, std::string_view carried) {
    std::copy(carried.begin(), carried.end(), block.bytes.begin());
    block.size = carried.size();
    if (!at_end_) {
      const std::size_t read = reader_.read_bytes(block.bytes.data() + block.size, kBlockBytes);
      at_end_ = read == 0;
      block.size += read;
      if (at_end_ && block.size > 0) block.bytes[block.size++] = '\n';  // a last line without one
    }
    const std::size_t last_end = std::string_view(block.bytes.data(), block.size).rfind('\n');
    block.complete = last_end == std::string_view::npos ? 0 : last_end + 1;
  }

  LineReader& reader_;
  std::array<Block, 2> blocks_;
  std::size_t current_ = 0;
  bool at_end_ = false;
};

void read_values(LineReader& reader, GridFile& grid) {
  const std::uint64_t expected = std::uint64_t(grid.divisions[0]) *
                                 std::uint64_t(grid.divisions[1]) *
                                 std::uint64_t(grid.divisions[2]);
  const LineParser parser(grid, expected);
  // Every value line holds at least one character and all but the last a line end: a file too
  // short for its grid must fail, and is read for its first problem without taking the whole
  // map's memory.
  const std::optional<std::uint64_t> left = reader.bytes_left();
  std::optional<PlaneGatherer> gatherer;
  if (!left || *left + 1 >= 2 * expected) gatherer.emplace(grid.divisions, grid.values);
  BlockReader blocks(reader);
  std::array<BlockValues, 2> parsed;  // of the current block and of the one before
  const BlockValues* before = nullptr;
  std::uint64_t value = 0, line = reader.line_number() + 1;
  for (std::size_t current = 0; blocks.has_text(); current = 1 - current) {
    parse_block(parser, blocks.lines(), expected - value, parsed[current], [&] {
      blocks.read_next();
      if (gatherer && before) append(*gatherer, *before);
    });
    for (const ParsedLines& run : parsed[current]) {
      if (!run.problem.empty()) reader.fail_at(line + run.lines(), run.problem);
      value += run.values.size();
      line += run.lines();
    }
    if (blocks.unfinished_bytes() > kLongestLine) reader.fail_at(line, too_long_line());
    blocks.advance();
    before = &parsed[current];
  }
  if (value < expected) {
    reader.fail_at(line, "the file ends after " + std::to_string(value) + " of the " +
                             std::to_string(expected) + " values of a " + grid_size(grid) +
                             " grid");
  }
  if (gatherer && before) append(*gatherer, *before);
  if (gatherer) {
    gatherer->place_gathered();
    grid.statistics = gatherer->statistics();
  }
}

}  // namespace

std::string read_cell_line(std::string_view line, GridFile& grid) {
  std::array<float, 6> cell{};
  for (std::size_t i = 0; i < cell.size(); ++i) {
    const std::string_view text = field(line, i, kCellFieldWidth);
    const std::string name =
        std::string("cell ") + kCellFieldNames[i] + " " + columns(i, kCellFieldWidth);
    if (text.empty()) return name + " is blank";
    const std::optional<float> value = finite_real(text);
    if (!value) return name + " is not a number: " + quoted(text);
    if (i < 3 && *value <= 0.0f) {
      return std::string("cell length ") + kCellFieldNames[i] + " must be positive, not " +
             std::string(text);
    }
    if (i >= 3 && (*value <= 0.0f || *value >= 180.0f)) {
      return std::string("cell angle ") + kCellFieldNames[i] +
             " must lie between 0 and 180 degrees, not " + std::string(text);
    }
    cell[i] = *value;
  }
  const std::size_t end = cell.size() * kCellFieldWidth;
  if (line.size() > end && !trimmed(line.substr(end)).empty()) {
    return "unexpected text after column " + std::to_string(end) + ": " +
           quoted(trimmed(line.substr(end)));
  }
  grid.lengths = {cell[0], cell[1], cell[2]};
  grid.angles = {cell[3], cell[4], cell[5]};
  if (unit_volume_squared(grid.angles) <= 0.0) return "the cell angles do not form a cell";
  return {};
}

GridFile read_grid_file(const std::filesystem::path& path) {
  LineReader reader(path);
  GridFile grid;
  grid.title = reader.expect("title line");
  read_cell(reader, grid);
  read_divisions(reader, grid);
  read_values(reader, grid);
  return grid;
}

std::string map_type_of(const std::string& title) {
  const std::size_t end = title.find_last_not_of(' ');
  if (end == std::string::npos) return "";
  const std::size_t start = title.find_last_of(' ', end);
  return title.substr(start == std::string::npos ? 0 : start + 1,
                      start == std::string::npos ? end + 1 : end - start);
}

}  // namespace gridfile
