#include "experiment.hpp"

#include <cmath>
#include <cstdio>

namespace e2e {

namespace {

std::string fixed_triple(const std::array<double, 3>& values, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%10.*f%10.*f%10.*f", digits, values[0], digits, values[1],
                digits, values[2]);
  return buffer;
}

}  // namespace

std::vector<support::ExperimentRecord> experiment_records(const std::string& title,
                                                          const std::string& symbol,
                                                          const Crystal& crystal) {
  return {
      {"     VERSION", "    6     Tue Dec  8 12:00:00 2026"},
      {"      DESCR ", "  " + title},
      {"  FOUR CDAT1", "           1"},
      {"CRS1  ABC   ", fixed_triple(crystal.lengths, 5)},
      {"CRS1  ANGLES", fixed_triple(crystal.angles, 4)},
      {"CRS1  SG SYM", symbol},
      {" EXPR FOBSRL", "      8193"},
      {"ZZZZZZZZZZZZ", ""},
  };
}

support::MapFile map_of_field(const DensityField& field, const Triple& grid,
                              const Triple& block_end, int rotation) {
  // File axis a holds the x, y, z axis file_axis[a].
  Triple file_axis = {0, 1, 2};
  for (int r = 0; r < rotation % 3; ++r) file_axis = {file_axis[1], file_axis[2], file_axis[0]};
  support::MapFile map;
  map.phase_name = "Phase made of Gaussian atoms";
  map.map_type = "FOBS";
  map.rotation_count = rotation;
  for (int a = 0; a < 3; ++a) {
    map.grid_divisions[a] = grid[file_axis[a]];
    map.block_start[a] = 0;
    map.block_steps[a] = block_end[file_axis[a]] + 1;
  }
  float minimum = 1e30f, maximum = -1e30f;
  Triple index{};
  for (int s = 0; s < map.block_steps[2]; ++s) {
    for (int j = 0; j < map.block_steps[1]; ++j) {
      for (int i = 0; i < map.block_steps[0]; ++i) {
        index[file_axis[0]] = i;
        index[file_axis[1]] = j;
        index[file_axis[2]] = s;
        float value = static_cast<float>(field.at({static_cast<double>(index[0]) / grid[0],
                                                   static_cast<double>(index[1]) / grid[1],
                                                   static_cast<double>(index[2]) / grid[2]}));
        map.values.push_back(value);
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
      }
    }
  }
  map.density_minimum = minimum;
  map.density_maximum = maximum;
  return map;
}

double expected_scale(double minimum, double maximum) {
  long e = std::lround(std::log10(std::max(maximum, -minimum)));
  return e == 0 || e == 1 ? 1.0 : std::pow(10.0, 1 - e);
}

support::RunResult run_mapconv(const std::map<std::string, std::string>& files,
                               const std::string& name, const std::string& input) {
  support::RunRequest request;
  request.arguments = {name};
  request.files = files;
  request.standard_input = input;
  request.environment = {{"LC_ALL", "C"}, {"TZ", "UTC"}};
  return support::run_built_program(MAPCONV_PROGRAM, request);
}

std::vector<std::string> crlf_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) return {};
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace e2e
