#include "grdpeaks/options.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

namespace grdpeaks {

namespace {

int count_of(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) {
    throw UsageError("--count takes a whole number of at least 0, not \"" + text + "\"");
  }
  return value;
}

double sigma_of(const std::string& text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    throw UsageError("--min-sigma takes a number, not \"" + text + "\"");
  }
  return value;
}

// Walks the arguments, handing out each option's value.
class ArgumentWalk {
 public:
  explicit ArgumentWalk(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  bool done() const { return next_ == arguments_.size(); }
  const std::string& take() { return arguments_[next_++]; }

  // The value of option `option`: after "=" in `argument`, or the next argument.
  std::string value_for(const std::string& option, std::string_view inline_value, bool has_inline) {
    if (has_inline) return std::string(inline_value);
    if (done()) throw UsageError(option + " needs a value");
    return take();
  }

 private:
  const std::vector<std::string>& arguments_;
  std::size_t next_ = 0;
};

void take_name(Options& options, const std::string& argument) {
  if (!options.name.empty()) {
    throw UsageError("one grid file at a time: \"" + argument + "\" is one too many");
  }
  if (argument.empty()) throw UsageError("the grid file's name is empty");
  options.name = argument;
}

void take_option(Options& options, ArgumentWalk& walk, const std::string& argument) {
  const std::size_t equals = argument.find('=');
  const std::string option = argument.substr(0, equals);
  const bool has_inline = equals != std::string::npos;
  const std::string_view inline_value =
      has_inline ? std::string_view(argument).substr(equals + 1) : std::string_view();
  const auto value = [&] { return walk.value_for(option, inline_value, has_inline); };
  const auto no_value = [&] {
    if (has_inline) throw UsageError(option + " takes no value");
  };
  if (option == "-h" || option == "--help") {
    no_value();
    options.help = true;
  } else if (option == "-V" || option == "--version") {
    no_value();
    options.version = true;
  } else if (option == "--holes") {
    no_value();
    options.holes = true;
  } else if (option == "--group") {
    options.group = value();
  } else if (option == "--count") {
    options.count = count_of(value());
  } else if (option == "--min-sigma") {
    options.min_sigma = sigma_of(value());
  } else if (option == "--csv") {
    options.csv = value();
  } else if (option == "--json") {
    options.json = value();
  } else if (option == "--model") {
    options.model = value();
  } else {
    throw UsageError("unknown option \"" + option + "\"");
  }
}

}  // namespace

Options parse_options(const std::vector<std::string>& arguments) {
  Options options;
  ArgumentWalk walk(arguments);
  bool options_ended = false;
  while (!walk.done()) {
    const std::string& argument = walk.take();
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (!options_ended && argument.size() > 1 && argument[0] == '-') {
      take_option(options, walk, argument);
    } else {
      take_name(options, argument);
    }
  }
  if (options.name.empty() && !options.help && !options.version) {
    throw UsageError("no grid file named");
  }
  if (options.csv && options.json && *options.csv == "-" && *options.json == "-") {
    throw UsageError("--csv - and --json - cannot both take standard output");
  }
  return options;
}

}  // namespace grdpeaks
