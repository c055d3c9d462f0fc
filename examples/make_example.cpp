// Writes the example experiment SILICON into the directory given as the argument: silicon in
// the diamond structure (F d -3 m, origin at the centre of symmetry), its Fourier map stored as
// one eighth of the cell, computed from Gaussian atoms at the 8 atom sites of the cell.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Point = std::array<double, 3>;

constexpr int kGrid = 24;
constexpr int kBlockSteps = kGrid / 2 + 1;  // x, y and z from 0 to 1/2, both ends included
constexpr int kSectionValues = kBlockSteps * kBlockSteps;
constexpr int kRecordWords = kSectionValues + 2;  // a section and its two trailing fields
constexpr double kCellEdge = 5.4307;
constexpr double kAtomHeight = 14.0;
constexpr double kAtomWidth = 0.45;  // Gaussian sigma in Angstrom

// The silicon atoms of the cell: 1/8, 1/8, 1/8 and its images under F d -3 m.
constexpr std::array<Point, 8> kAtoms = {{{0.125, 0.125, 0.125},
                                          {0.125, 0.625, 0.625},
                                          {0.625, 0.125, 0.625},
                                          {0.875, 0.375, 0.375},
                                          {0.875, 0.875, 0.875},
                                          {0.625, 0.625, 0.125},
                                          {0.375, 0.375, 0.875},
                                          {0.375, 0.875, 0.375}}};

// The density at a fractional point: the Gaussians of every atom and of its images in the
// neighbouring cells.
double density(const Point& point) {
  const double c = std::cos(90.0 * std::numbers::pi / 180.0);
  const double diagonal = kCellEdge * kCellEdge;
  const double off_diagonal = kCellEdge * kCellEdge * c;
  const double metric[3][3] = {{diagonal, off_diagonal, off_diagonal},
                               {off_diagonal, diagonal, off_diagonal},
                               {off_diagonal, off_diagonal, diagonal}};
  double sum = 0.0;
  for (const Point& atom : kAtoms) {
    for (int n0 = -1; n0 <= 1; ++n0) {
      for (int n1 = -1; n1 <= 1; ++n1) {
        for (int n2 = -1; n2 <= 1; ++n2) {
          const Point d = {point[0] - atom[0] - n0, point[1] - atom[1] - n1,
                           point[2] - atom[2] - n2};
          double squared = 0.0;
          for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) squared += d[i] * metric[i][j] * d[j];
          }
          sum += kAtomHeight * std::exp(-squared / (2.0 * kAtomWidth * kAtomWidth));
        }
      }
    }
  }
  return sum;
}

// The stored block, section (z) after section, x fastest.
std::vector<float> map_block() {
  std::vector<float> values;
  for (int k = 0; k < kBlockSteps; ++k) {
    for (int j = 0; j < kBlockSteps; ++j) {
      for (int i = 0; i < kBlockSteps; ++i) {
        values.push_back(
            static_cast<float>(density({double(i) / kGrid, double(j) / kGrid, double(k) / kGrid})));
      }
    }
  }
  return values;
}

// One direct-access record of the map file: text, little-endian 4-byte numbers, zero padding.
class MapRecord {
 public:
  void text(const std::string& value, std::size_t width) {
    std::string field = value.substr(0, width);
    field.resize(width, ' ');
    bytes_ += field;
  }
  void integer(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes_ += static_cast<char>((bits >> shift) & 0xFF);
  }
  void real(float value) { integer(std::bit_cast<std::int32_t>(value)); }
  void write_to(std::ofstream& file) {
    bytes_.resize(kRecordWords * 4, '\0');
    file.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    bytes_.clear();
  }

 private:
  std::string bytes_;
};

void write_map_file(const std::filesystem::path& path, const std::vector<float>& values) {
  std::ofstream file(path, std::ios::binary);
  MapRecord record;
  record.text("Silicon", 66);
  record.text("", 66);
  record.text("FOBS", 4);
  record.integer(0);
  record.write_to(file);
  for (int value : {kGrid, kGrid, kGrid, 0, 0, 0, kBlockSteps, kBlockSteps, kBlockSteps}) {
    record.integer(value);
  }
  record.integer(0);  // axis order x, y, z
  record.integer(kSectionValues);
  record.real(*std::max_element(values.begin(), values.end()));
  record.real(*std::min_element(values.begin(), values.end()));
  record.integer(0);
  record.write_to(file);
  for (std::size_t start = 0; start < values.size(); start += kSectionValues) {
    for (int m = 0; m < kSectionValues; ++m) record.real(values[start + m]);
    record.integer(0);
    record.integer(0);
    record.write_to(file);
  }
}

// An experiment file record: a 12-character key, a 68-character value, CR LF.
std::string experiment_record(const std::string& key, const std::string& value) {
  std::string record = key;
  record.resize(12, ' ');
  record += value;
  record.resize(80, ' ');
  return record + "\r\n";
}

void write_experiment_file(const std::filesystem::path& path) {
  char record_length[16];
  std::snprintf(record_length, sizeof record_length, "%10d", kRecordWords);
  std::ofstream file(path, std::ios::binary);
  file << experiment_record("     VERSION", "    6     Tue Dec  8 12:00:00 2026")
       << experiment_record("      DESCR ", "  Silicon, diamond structure: example Fourier map")
       << experiment_record("  FOUR CDAT1", "           1")
       << experiment_record("CRS1  ABC   ", "   5.43070   5.43070   5.43070")
       << experiment_record("CRS1  ANGLES", "  90.00000  90.00000  90.00000")
       << experiment_record("CRS1  SG SYM", "F d -3 m")
       << experiment_record(" EXPR FOBSRL", record_length) << experiment_record("ZZZZZZZZZZZZ", "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_example DIRECTORY\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory);
  write_map_file(directory / "SILICON.FOB", map_block());
  write_experiment_file(directory / "SILICON.EXP");
  return 0;
}
