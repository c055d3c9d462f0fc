#include "fuzzing/bytes.hpp"

#include <algorithm>

namespace fuzzing {

std::uint8_t ByteReader::byte() {
  if (empty()) return 0;
  return static_cast<std::uint8_t>(data_[position_++]);
}

std::uint16_t ByteReader::u16() {
  const std::uint16_t low = byte();
  return static_cast<std::uint16_t>(low | byte() << 8);
}

std::uint32_t ByteReader::u32() {
  const std::uint32_t low = u16();
  return low | static_cast<std::uint32_t>(u16()) << 16;
}

std::uint64_t ByteReader::u64() {
  const std::uint64_t low = u32();
  return low | static_cast<std::uint64_t>(u32()) << 32;
}

std::string_view ByteReader::bytes(std::size_t count) {
  const std::size_t start = std::min(position_, data_.size());
  const std::string_view taken = data_.substr(start, count);
  position_ = start + taken.size();
  return taken;
}

std::string_view ByteReader::rest() {
  return bytes(data_.size());
}

ByteWriter& ByteWriter::byte(std::uint8_t value) {
  data_.push_back(static_cast<char>(value));
  return *this;
}

ByteWriter& ByteWriter::little_endian(std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) byte(static_cast<std::uint8_t>(value >> (8 * i)));
  return *this;
}

ByteWriter& ByteWriter::u16(std::uint16_t value) {
  return little_endian(value, 2);
}

ByteWriter& ByteWriter::u32(std::uint32_t value) {
  return little_endian(value, 4);
}

ByteWriter& ByteWriter::u64(std::uint64_t value) {
  return little_endian(value, 8);
}

ByteWriter& ByteWriter::bytes(std::string_view value) {
  data_.append(value);
  return *this;
}

std::vector<std::string_view> split_parts(std::string_view data, std::size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    const std::size_t nul = data.find('\0');
    if (nul == std::string_view::npos) break;
    parts.push_back(data.substr(0, nul));
    data.remove_prefix(nul + 1);
  }
  parts.push_back(data);
  parts.resize(count);
  return parts;
}

std::string join_parts(const std::vector<std::string_view>& parts) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined.push_back('\0');
    joined.append(parts[i]);
  }
  return joined;
}

}  // namespace fuzzing
