#include "experiment.hpp"

#include <gtest/gtest.h>

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

// The files after a run, with a temporary file's name cut after ".partial-".
std::map<std::string, std::string> files_by_stable_name(const support::RunResult& run) {
  std::map<std::string, std::string> files;
  for (const auto& [name, bytes] : run.files) {
    const std::size_t partial = name.find(".partial-");
    files[partial == std::string::npos ? name : name.substr(0, partial + 9)] = bytes;
  }
  return files;
}

}  // namespace

support::RunResult run_on_one_and_two_threads(const std::filesystem::path& program,
                                              support::RunRequest request) {
  request.environment["MAPCONV_THREADS"] = "1";
  const support::RunResult one = support::run_built_program(program, request);
  request.environment["MAPCONV_THREADS"] = "2";
  const support::RunResult two = support::run_built_program(program, request);
  EXPECT_EQ(two.timed_out, one.timed_out) << "on two threads";
  EXPECT_EQ(two.signal, one.signal) << "on two threads";
  EXPECT_EQ(two.exit_status, one.exit_status) << "on two threads";
  EXPECT_EQ(two.standard_output, one.standard_output) << "on two threads";
  EXPECT_EQ(two.standard_error, one.standard_error) << "on two threads";
  const auto files_one = files_by_stable_name(one), files_two = files_by_stable_name(two);
  EXPECT_EQ(files_two.size(), files_one.size()) << "on two threads";
  for (const auto& [name, bytes] : files_one) {
    EXPECT_TRUE(files_two.contains(name) && files_two.at(name) == bytes)
        << name << " differs on two threads";
  }
  return one;
}

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

std::vector<support::ExperimentRecord> old_experiment_records(int version, const std::string& title,
                                                              const std::string& symbol,
                                                              const Crystal& crystal) {
  std::vector<support::ExperimentRecord> records = experiment_records(title, symbol, crystal);
  if (version == 0) {
    records.erase(records.begin());
  } else {
    records.front().value = "    " + std::to_string(version) + "     Tue Dec  8 12:00:00 2026";
  }
  records.insert(records.end() - 1,
                 {{" EXPR  NHST ", "    1"},
                  {" EXPR  HTYP1", "  PXC "},
                  {" EXPR NPHAS ", "    1"},
                  {"HAP1 1SCALE1", "   1.2345"},
                  {"HAP1 1SCALE2", "   9.8765"},
                  {"HAP1 1PREFOR", "0123456789abcdefghijklmnopqrstuvwxyz0123WXYZPQRSTU"}});
  return records;
}

std::vector<support::ExperimentRecord> as_version_five(
    std::vector<support::ExperimentRecord> records) {
  records.front().value = "    5     Tue Dec  8 12:00:00 2026";
  records.insert(records.end() - 1, {{" EXPR  NHST ", "    2"},
                                     {" EXPR  HTYP1", "  PXC  SNC "},
                                     {" EXPR NPHAS ", "    1"},
                                     {"HAP1 1SCALE ", "   1.00000"},
                                     {"HAP1 2SCALE1", "   3.00000"},
                                     {"LEQV SCAL   ", "  scale"},
                                     {"INST  ABCDEF", "  inst"}});
  return records;
}

std::vector<support::ExperimentRecord> with_an_atom_type(
    std::vector<support::ExperimentRecord> records) {
  records.insert(records.end() - 1,
                 {{" EXPR  NATYP", "    1"},
                  {" EXPR ATYP 1", "SI        " + std::string(39, ' ') + " 14.00000   28.0860"}});
  return records;
}

support::MapFile two_point_map() {
  support::MapFile map;
  map.phase_name = "Two points";
  map.grid_divisions = {1, 1, 2};
  map.block_steps = {1, 1, 2};
  map.values = {0.0f, 2.0f};
  map.density_minimum = 0.0f;
  map.density_maximum = 2.0f;
  return map;
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
  return run_on_one_and_two_threads(MAPCONV_PROGRAM, request);
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
