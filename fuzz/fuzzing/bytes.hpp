// Reading a fuzz input as a stream of small fields, and writing one the same way (the seed
// generator builds its inputs with the writer, the targets take them apart with the reader).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

// Takes fields from the front of the input. A field asked for beyond the end reads as zeros (or
// as the shorter rest, for byte runs), so that every input decodes to something.
class ByteReader {
 public:
  explicit ByteReader(std::string_view data) : data_(data) {}

  bool empty() const { return position_ >= data_.size(); }
  std::uint8_t byte();
  std::uint16_t u16();  // little-endian
  std::uint32_t u32();
  std::uint64_t u64();
  std::string_view bytes(std::size_t count);
  std::string_view rest();

 private:
  std::string_view data_;
  std::size_t position_ = 0;
};

class ByteWriter {
 public:
  ByteWriter& byte(std::uint8_t value);
  ByteWriter& u16(std::uint16_t value);
  ByteWriter& u32(std::uint32_t value);
  ByteWriter& u64(std::uint64_t value);
  ByteWriter& bytes(std::string_view value);

  const std::string& data() const { return data_; }

 private:
  ByteWriter& little_endian(std::uint64_t value, int size);
  std::string data_;
};

// Splits `data` at its first `count - 1` NUL bytes into exactly `count` parts; missing parts are
// empty and the last part keeps any further NULs.
std::vector<std::string_view> split_parts(std::string_view data, std::size_t count);

// The parts joined with NUL bytes: the inverse of split_parts for parts without NULs (the last
// part may hold them).
std::string join_parts(const std::vector<std::string_view>& parts);

}  // namespace fuzzing
