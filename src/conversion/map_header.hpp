// The two header records of a Fourier map file, field by field. Each record's layout is listed
// once, in visit_title_record and visit_geometry_record, and serves both reading and writing:
// texts are blank-padded fields of fixed width, numbers 4-byte little-endian words, whatever the
// byte order of the machine that reads or writes them.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace conversion {

inline constexpr int kMapWordBytes = 4;  // signed: it scales record counts and lengths
inline constexpr std::size_t kMapTextLength = 66;
inline constexpr std::size_t kMapTypeLength = 4;

// Header record 1: the phase name, a second text, the map type and one word.
struct MapTitleRecord {
  std::string phase_name;
  std::string second_text;
  std::string map_type;
  std::int32_t spare_word = 0;
};

// Header record 2; per-axis triples in the file's own axis order.
struct MapHeader {
  std::array<std::int32_t, 3> grid_divisions{};
  std::array<std::int32_t, 3> block_start{};
  std::array<std::int32_t, 3> block_steps{};
  std::int32_t rotation_count = 0;
  std::int32_t section_size = 0;
  float density_maximum = 0.0f;
  float density_minimum = 0.0f;
  std::int32_t spare_word = 0;
};

template <typename Record, typename Fields>
void visit_title_record(Record& record, Fields& fields) {
  fields.text(record.phase_name, kMapTextLength);
  fields.text(record.second_text, kMapTextLength);
  fields.text(record.map_type, kMapTypeLength);
  fields.word(record.spare_word);
}

template <typename Record, typename Fields>
void visit_geometry_record(Record& record, Fields& fields) {
  for (auto* triple : {&record.grid_divisions, &record.block_start, &record.block_steps}) {
    for (auto& value : *triple) fields.word(value);
  }
  fields.word(record.rotation_count);
  fields.word(record.section_size);
  fields.word(record.density_maximum);
  fields.word(record.density_minimum);
  fields.word(record.spare_word);
}

inline constexpr std::size_t kTitleRecordBytes =
    2 * kMapTextLength + kMapTypeLength + kMapWordBytes;
inline constexpr std::size_t kGeometryRecordBytes = 14 * kMapWordBytes;

// The 4-byte little-endian word at `bytes` as an int32 or a float, and back.
template <typename Word>
Word load_little_endian(const std::byte* bytes) {
  static_assert(sizeof(Word) == kMapWordBytes);
  std::uint32_t bits = 0;
  for (std::size_t i = kMapWordBytes; i-- > 0;)
    bits = bits << 8 | std::to_integer<std::uint32_t>(bytes[i]);
  return std::bit_cast<Word>(bits);
}

template <typename Word>
void store_little_endian(const Word& value, std::byte* bytes) {
  static_assert(sizeof(Word) == kMapWordBytes);
  auto bits = std::bit_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < kMapWordBytes; ++i, bits >>= 8)
    bytes[i] = static_cast<std::byte>(bits & 0xFF);
}

// `count` little-endian floats from `bytes` into `values`; a plain copy on a little-endian machine.
inline void load_little_endian_floats(const std::byte* bytes, std::size_t count, float* values) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(values, bytes, count * kMapWordBytes);
  } else {
    for (std::size_t i = 0; i < count; ++i)
      values[i] = load_little_endian<float>(bytes + i * kMapWordBytes);
  }
}

namespace map_header_detail {

class FieldReader {
 public:
  explicit FieldReader(std::span<const std::byte> bytes) : bytes_(bytes) {}
  void text(std::string& value, std::size_t width) {
    value.assign(reinterpret_cast<const char*>(take(width).data()), width);
  }
  template <typename Word>
  void word(Word& value) {
    value = load_little_endian<Word>(take(kMapWordBytes).data());
  }

 private:
  std::span<const std::byte> take(std::size_t count) {
    std::span<const std::byte> field = bytes_.subspan(offset_, count);
    offset_ += count;
    return field;
  }
  std::span<const std::byte> bytes_;
  std::size_t offset_ = 0;
};

class FieldWriter {
 public:
  explicit FieldWriter(std::span<std::byte> bytes) : bytes_(bytes) {}
  void text(const std::string& value, std::size_t width) {
    std::span<std::byte> field = take(width);
    for (std::size_t i = 0; i < width; ++i)
      field[i] = static_cast<std::byte>(i < value.size() ? value[i] : ' ');
  }
  template <typename Word>
  void word(const Word& value) {
    store_little_endian(value, take(kMapWordBytes).data());
  }

 private:
  std::span<std::byte> take(std::size_t count) {
    std::span<std::byte> field = bytes_.subspan(offset_, count);
    offset_ += count;
    return field;
  }
  std::span<std::byte> bytes_;
  std::size_t offset_ = 0;
};

}  // namespace map_header_detail

inline MapTitleRecord read_title_record(std::span<const std::byte, kTitleRecordBytes> bytes) {
  MapTitleRecord record;
  map_header_detail::FieldReader fields(bytes);
  visit_title_record(record, fields);
  return record;
}

inline MapHeader read_geometry_record(std::span<const std::byte, kGeometryRecordBytes> bytes) {
  MapHeader record;
  map_header_detail::FieldReader fields(bytes);
  visit_geometry_record(record, fields);
  return record;
}

inline void write_title_record(const MapTitleRecord& record,
                               std::span<std::byte, kTitleRecordBytes> bytes) {
  map_header_detail::FieldWriter fields(bytes);
  visit_title_record(record, fields);
}

inline void write_geometry_record(const MapHeader& record,
                                  std::span<std::byte, kGeometryRecordBytes> bytes) {
  map_header_detail::FieldWriter fields(bytes);
  visit_geometry_record(record, fields);
}

}  // namespace conversion
