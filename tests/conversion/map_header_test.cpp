// The header records' layout: where each field lies in the record's bytes.
#include "conversion/map_header.hpp"

#include <gtest/gtest.h>

#include <array>
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
