#include "grdsection/options.hpp"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <string_view>

namespace grdsection {

namespace {

// A section wider than this many cells would draw the same cell over and over, too small to read.
constexpr double kWidestRange = 10.0;

std::optional<double> number_of(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

double number_for(const std::string& option, std::string_view text, const char* what) {
  const std::optional<double> value = number_of(text);
  if (!value) throw UsageError(option + " takes " + what + ", not \"" + std::string(text) + "\"");
  return *value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

analysis::SectionPlane plane_of(const std::string& text) {
  const std::string_view axes = "xyz";
  const std::size_t axis = text.size() > 2 && text[1] == '=' ? axes.find(text[0]) : axes.npos;
  const std::optional<double> position =
      axis != axes.npos ? number_of(std::string_view(text).substr(2)) : std::nullopt;
  if (!position) {
    throw UsageError("--plane takes x=VALUE, y=VALUE or z=VALUE (fractional), not \"" + text +
                     "\"");
  }
  return {axis, analysis::reduced(*position)};
}

analysis::SectionRange range_of(const std::string& text) {
  const std::vector<std::string_view> axes = split(text, ',');
  analysis::SectionRange range;
  const auto refuse = [&] {
    throw UsageError(
        "--range takes FROM:TO or FROM:TO,FROM:TO in fractions of the cell, FROM "
        "below TO and at most 10 cells apart, not \"" +
        text + "\"");
  };
  if (axes.size() > 2) refuse();
  for (std::size_t i = 0; i < 2; ++i) {
    const std::vector<std::string_view> ends = split(axes[std::min(i, axes.size() - 1)], ':');
    if (ends.size() != 2) refuse();
    const std::optional<double> from = number_of(ends[0]), to = number_of(ends[1]);
    if (!from || !to || !(*from < *to) || *to - *from > kWidestRange) refuse();
    range.from[i] = *from;
    range.to[i] = *to;
  }
  return range;
}

std::vector<double> levels_of(const std::string& text) {
  std::vector<double> levels;
  for (std::string_view part : split(text, ',')) {
    const double level = number_for("--levels", part, "a list of levels in standard deviations");
    if (level == 0.0) throw UsageError("--levels: zero is no contour level");
    levels.push_back(level);
  }
  if (levels.size() > static_cast<std::size_t>(kMostLevels)) {
    throw UsageError("--levels takes at most " + std::to_string(kMostLevels) + " levels");
  }
  return levels;
}

double positive_for(const std::string& option, const std::string& text) {
  const double value = number_for(option, text, "a number above 0");
  if (!(value > 0.0)) throw UsageError(option + " takes a number above 0, not \"" + text + "\"");
  return value;
}

int count_of(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) {
    throw UsageError("--count takes a whole number of at least 0, not \"" + text + "\"");
  }
  return value;
}

using ValueOption = std::function<void(Options&, const std::string&)>;

const std::map<std::string, ValueOption, std::less<>>& value_options() {
  static const std::map<std::string, ValueOption, std::less<>> options = {
      {"--plane", [](Options& o, const std::string& v) { o.plane = plane_of(v); }},
      {"--range", [](Options& o, const std::string& v) { o.range = range_of(v); }},
      {"--levels", [](Options& o, const std::string& v) { o.levels = levels_of(v); }},
      {"--step", [](Options& o, const std::string& v) { o.step = positive_for("--step", v); }},
      {"--slab",
       [](Options& o, const std::string& v) {
         o.slab = number_for("--slab", v, "a distance in Å of at least 0");
         if (o.slab < 0.0)
           throw UsageError("--slab takes a distance of at least 0, not \"" + v + "\"");
       }},
      {"--group", [](Options& o, const std::string& v) { o.group = v; }},
      {"--model", [](Options& o, const std::string& v) { o.model = v; }},
      {"--count", [](Options& o, const std::string& v) { o.count = count_of(v); }},
      {"--min-sigma",
       [](Options& o, const std::string& v) {
         o.min_sigma = number_for("--min-sigma", v, "a number");
       }},
      {"-o",
       [](Options& o, const std::string& v) {
         if (v.empty()) throw UsageError("-o takes a file name");
         o.output = v;
       }},
  };
  return options;
}

const std::map<std::string, bool Options::*, std::less<>>& flags() {
  static const std::map<std::string, bool Options::*, std::less<>> flags = {
      {"-h", &Options::help},           {"--help", &Options::help},   {"-V", &Options::version},
      {"--version", &Options::version}, {"--holes", &Options::holes}, {"--png", &Options::png},
  };
  return flags;
}

}  // namespace

Options parse_options(const std::vector<std::string>& arguments) {
  Options options;
  bool options_ended = false;
  for (std::size_t next = 0; next < arguments.size();) {
    const std::string& argument = arguments[next++];
    if (!options_ended && argument == "--") {
      options_ended = true;
      continue;
    }
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      if (!options.name.empty()) {
        throw UsageError("one grid file at a time: \"" + argument + "\" is one too many");
      }
      if (argument.empty()) throw UsageError("the grid file's name is empty");
      options.name = argument;
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string option = argument.substr(0, equals);
    if (const auto flag = flags().find(option); flag != flags().end()) {
      if (equals != std::string::npos) throw UsageError(option + " takes no value");
      options.*(flag->second) = true;
    } else if (const auto taking = value_options().find(option); taking != value_options().end()) {
      if (equals == std::string::npos && next == arguments.size()) {
        throw UsageError(option + " needs a value");
      }
      taking->second(options,
                     equals != std::string::npos ? argument.substr(equals + 1) : arguments[next++]);
    } else {
      throw UsageError("unknown option \"" + option + "\"");
    }
  }
  if (options.name.empty() && !options.help && !options.version) {
    throw UsageError("no grid file named");
  }
  return options;
}

}  // namespace grdsection
