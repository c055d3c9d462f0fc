#include "support/map_file.hpp"

#include <bit>
#include <span>
#include <stdexcept>

#include "conversion/map_header.hpp"
#include "support/files.hpp"

namespace support {
namespace {

constexpr std::size_t kWordBytes = conversion::kMapWordBytes;

class RecordWriter {
 public:
  explicit RecordWriter(std::size_t record_bytes) : record_bytes_(record_bytes) {}

  void bytes(std::span<const std::byte> bytes) {
    record_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  void integer(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
      record_ += static_cast<char>((bits >> shift) & 0xFF);
  }
  void real(float value) { integer(std::bit_cast<std::int32_t>(value)); }

  // Pads the record to the record length and appends it to the file's bytes.
  void end_record(std::string& file) {
    if (record_.size() > record_bytes_) {
      throw std::invalid_argument("map record of " + std::to_string(record_.size()) +
                                  " bytes exceeds the record length of " +
                                  std::to_string(record_bytes_));
    }
    record_.resize(record_bytes_, '\0');
    file += record_;
    record_.clear();
  }

 private:
  std::size_t record_bytes_;
  std::string record_;
};

void write_headers(const MapFile& map, RecordWriter& writer, std::string& file) {
  std::array<std::byte, conversion::kTitleRecordBytes> title{};
  conversion::write_title_record(
      {map.phase_name, map.second_text, map.map_type, map.header1_integer}, title);
  writer.bytes(title);
  writer.end_record(file);
  conversion::MapHeader geometry;
  geometry.grid_divisions = map.grid_divisions;
  geometry.block_start = map.block_start;
  geometry.block_steps = map.block_steps;
  geometry.rotation_count = map.rotation_count;
  geometry.section_size = section_values(map);
  geometry.density_maximum = map.density_maximum;
  geometry.density_minimum = map.density_minimum;
  geometry.spare_word = map.header2_integer;
  std::array<std::byte, conversion::kGeometryRecordBytes> bytes{};
  conversion::write_geometry_record(geometry, bytes);
  writer.bytes(bytes);
  writer.end_record(file);
}

void write_section(const MapFile& map, std::size_t first, RecordWriter& writer, std::string& file) {
  const int count = section_values(map);
  for (int done = 0; done < count;) {
    const int in_record = std::min(kMapValuesPerRecord, count - done);
    for (int m = 0; m < in_record; ++m) writer.real(map.values[first + done + m]);
    done += in_record;
    if (done == count) {
      for (std::int32_t field : map.section_trailer) writer.integer(field);
    }
    writer.end_record(file);
  }
}

}  // namespace

int section_values(const MapFile& map) {
  return map.section_size != 0 ? map.section_size : map.block_steps[0] * map.block_steps[1];
}

int records_per_section(const MapFile& map) {
  return (section_values(map) + kMapValuesPerRecord - 1) / kMapValuesPerRecord;
}

std::string map_file_bytes(const MapFile& map) {
  const int per_section = section_values(map);
  const int sections = map.block_steps[2];
  if (per_section < 0 || sections < 0 ||
      map.values.size() !=
          static_cast<std::size_t>(per_section) * static_cast<std::size_t>(sections)) {
    throw std::invalid_argument("map values do not fill " + std::to_string(sections) +
                                " sections of " + std::to_string(per_section));
  }
  RecordWriter writer(static_cast<std::size_t>(map.record_words) * kWordBytes);
  std::string file;
  write_headers(map, writer, file);
  for (int s = 0; s < sections; ++s) {
    write_section(map, static_cast<std::size_t>(s) * static_cast<std::size_t>(per_section), writer,
                  file);
  }
  return file;
}

void write_map_file(const std::filesystem::path& path, const MapFile& map) {
  write_file_bytes(path, map_file_bytes(map));
}

}  // namespace support
