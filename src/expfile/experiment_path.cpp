#include "expfile/experiment_path.hpp"

#include "os/os.hpp"

namespace expfile {

namespace {

constexpr std::size_t kMapExtensionLength = 3;

}  // namespace

ExperimentPath ExperimentPath::of_name(std::string_view name) {
  const std::size_t name_start = os::file_name_start(name);
  return {std::string(name.substr(0, name_start)), std::string(name.substr(name_start))};
}

std::optional<ExperimentPath> ExperimentPath::of_file(std::string_view file_name) {
  ExperimentPath path = of_name(file_name);
  const std::size_t extension = path.name.find(kExperimentExtension);
  if (extension == std::string::npos) return std::nullopt;
  path.name.resize(extension);
  return path;
}

std::string ExperimentPath::map_file(std::string_view map_type) const {
  return stem() + "." + std::string(map_type.substr(0, kMapExtensionLength));
}

std::string ExperimentPath::backup(int number) const {
  std::string digits;
  HEX4(digits, number);
  return stem() + ".O" + digits.substr(2);
}

void HEX4(std::string& text, int n) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  const auto value = static_cast<unsigned>(n);
  text.assign(4, ' ');
  for (int place = 0; place < 4; ++place) {
    text[static_cast<std::size_t>(3 - place)] = kDigits[(value >> (4 * place)) & 15U];
  }
}

}  // namespace expfile
