// The header records' layout: where each field lies in the record's bytes.
#include "conversion/map_header.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <string>

namespace conversion {
namespace {

template <typename Word, std::size_t N>
Word word_at(const std::array<std::byte, N>& bytes, std::size_t offset) {
  Word value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

TEST(MapHeaderRecords, GeometryFieldsLieAtTheirOffsets) {
  MapHeader header;
  header.grid_divisions = {48, 36, 24};
  header.block_start = {-3, 0, 5};
  header.block_steps = {25, 19, 13};
  header.rotation_count = 2;
  header.section_size = 475;
  header.density_maximum = 12.5f;
  header.density_minimum = -7.25f;
  header.spare_word = 77;
  std::array<std::byte, kGeometryRecordBytes> bytes{};
  write_geometry_record(header, bytes);
  const struct {
    std::size_t offset;
    std::int32_t value;
  } words[] = {{0, 48},  {4, 36},  {8, 24},  {12, -3}, {16, 0},   {20, 5},
               {24, 25}, {28, 19}, {32, 13}, {36, 2},  {40, 475}, {52, 77}};
  for (const auto& w : words)
    EXPECT_EQ(word_at<std::int32_t>(bytes, w.offset), w.value) << w.offset;
  EXPECT_EQ(word_at<float>(bytes, 44), 12.5f);
  EXPECT_EQ(word_at<float>(bytes, 48), -7.25f);

  const MapHeader back = read_geometry_record(bytes);
  EXPECT_EQ(back.block_start, header.block_start);
  EXPECT_EQ(back.density_minimum, header.density_minimum);
  EXPECT_EQ(back.spare_word, header.spare_word);
}

TEST(MapHeaderRecords, TitleTextsArePaddedOrCutToTheirFields) {
  std::array<std::byte, kTitleRecordBytes> bytes{};
  write_title_record({"Silicon", std::string(70, 'x'), "FCLCX", 9}, bytes);
  const std::string text(reinterpret_cast<const char*>(bytes.data()), 136);
  EXPECT_EQ(text.substr(0, 66), "Silicon" + std::string(59, ' '));
  EXPECT_EQ(text.substr(66, 66), std::string(66, 'x'));
  EXPECT_EQ(text.substr(132, 4), "FCLC");
  EXPECT_EQ(word_at<std::int32_t>(bytes, 136), 9);

  const MapTitleRecord back = read_title_record(bytes);
  EXPECT_EQ(back.phase_name, "Silicon" + std::string(59, ' '));
  EXPECT_EQ(back.map_type, "FCLC");
  EXPECT_EQ(back.spare_word, 9);
}

}  // namespace
}  // namespace conversion

namespace conversion {
namespace {

// Words of the map file are little-endian whatever the machine: the bytes below are written out
// by hand, least significant first.
TEST(MapFileWords, AreReadAndWrittenLittleEndian) {
  const struct {
    std::array<unsigned char, 4> bytes;
    std::int32_t integer;
    float real;  // the same bits as a float
  } cases[] = {
      {{0x01, 0x02, 0x03, 0x04}, 0x04030201, 1.5399896e-36f},
      {{0x00, 0x00, 0x80, 0x3F}, 0x3F800000, 1.0f},
      {{0x00, 0x00, 0x48, 0xC1}, -1052246016, -12.5f},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1, std::bit_cast<float>(0xFFFFFFFFu)},
  };
  for (const auto& c : cases) {
    std::array<std::byte, 4> bytes;
    for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<std::byte>(c.bytes[i]);
    EXPECT_EQ(load_little_endian<std::int32_t>(bytes.data()), c.integer);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(load_little_endian<float>(bytes.data())),
              std::bit_cast<std::uint32_t>(c.real));
    std::array<std::byte, 4> written{};
    store_little_endian(c.integer, written.data());
    EXPECT_EQ(written, bytes);
    float section[1] = {};
    load_little_endian_floats(bytes.data(), 1, section);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(section[0]), std::bit_cast<std::uint32_t>(c.real));
  }
}

}  // namespace
}  // namespace conversion
