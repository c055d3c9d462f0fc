#include "support/map_file.hpp"

#include <bit>
#include <stdexcept>

#include "support/files.hpp"

namespace support {
namespace {

constexpr std::size_t kWordBytes = 4;
constexpr std::size_t kTextWidth = 66;
constexpr std::size_t kTypeWidth = 4;

class RecordWriter {
 public:
  explicit RecordWriter(std::size_t record_bytes) : record_bytes_(record_bytes) {}

  void text(std::string_view value, std::size_t width) {
    std::string field(value.substr(0, width));
    field.resize(width, ' ');
    record_ += field;
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
  writer.text(map.phase_name, kTextWidth);
  writer.text(map.second_text, kTextWidth);
  writer.text(map.map_type, kTypeWidth);
  writer.integer(map.header1_integer);
  writer.end_record(file);
  for (const auto* triple : {&map.grid_divisions, &map.block_start, &map.block_steps}) {
    for (std::int32_t value : *triple) writer.integer(value);
  }
  writer.integer(map.rotation_count);
  writer.integer(section_values(map));
  writer.real(map.density_maximum);
  writer.real(map.density_minimum);
  writer.integer(map.header2_integer);
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
