// Fourier map files for tests: header records 1 and 2 and the block's sections, each section
// split into records of at most 8191 values, the last record of a section carrying two more
// 4-byte fields. Little-endian 4-byte integers and reals; every record padded with zero bytes
// to the record length.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace support {

inline constexpr int kMapValuesPerRecord = 8191;

struct MapFile {
  // Header record 1.
  std::string phase_name;   // 66 characters
  std::string second_text;  // 66 characters
  std::string map_type = "FOBS";
  std::int32_t header1_integer = 0;
  // Header record 2; per-axis triples in the file's own axis order.
  std::array<std::int32_t, 3> grid_divisions{};
  std::array<std::int32_t, 3> block_start{};
  std::array<std::int32_t, 3> block_steps{};
  std::int32_t rotation_count = 0;
  std::int32_t section_size = 0;  // 0: block steps 1 x block steps 2
  float density_maximum = 0.0f;
  float density_minimum = 0.0f;
  std::int32_t header2_integer = 0;
  // The two fields after the last value of every section.
  std::array<std::int32_t, 2> section_trailer{};
  // Record length in 4-byte words; 8193 holds any section.
  int record_words = 8193;
  // The block's values in file order: section after section, first axis fastest.
  std::vector<float> values;
};

// Values per section: the section size, or block steps 1 x 2 when that is 0.
int section_values(const MapFile& map);

// Records per section: ceil(values per section / 8191).
int records_per_section(const MapFile& map);

// The file's bytes; throws std::invalid_argument when the values do not fill the sections or a
// record does not fit the record length.
std::string map_file_bytes(const MapFile& map);

void write_map_file(const std::filesystem::path& path, const MapFile& map);

}  // namespace support
