// The list-directed text of reals, and a cache of it for writers that meet the same values again
// and again.
// Threads: any; the functions keep no state, and a ListRealCache belongs to the thread using it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace textio {

// The list-directed text of one real: a blank, "-" or a blank, the magnitude with nine
// significant digits and a decimal point ("%.9G" widened to double, exponent "E+012").
// Appends to `out` and returns the number of characters appended.
std::size_t format_list_real(double value, char* out);
inline constexpr std::size_t kListRealMaxLength = 20;

// format_list_real for a single-precision value: the same text as the double form of it.
std::size_t format_list_real(float value, char* out);

// A record's line end of one or two characters, copied as two at once: a second character
// beyond a one-character end is overwritten by whatever follows.
class ShortLineEnd {
 public:
  explicit ShortLineEnd(std::string_view text)
      : bytes_{text.empty() ? '\0' : text[0], text.size() > 1 ? text[1] : '\0'},
        size_(std::min<std::size_t>(text.size(), 2)) {}

  std::size_t size() const { return size_; }

  // Writes the end to `out`, which has room for two characters; returns its length.
  std::size_t put(char* out) const {
    std::memcpy(out, bytes_, sizeof bytes_);
    return size_;
  }

 private:
  char bytes_[2];
  std::size_t size_;
};

// How many values format_list_real_lines takes.
inline constexpr std::size_t kListRealBatch = 8;

// The texts of kListRealBatch values, each followed by `line_end`, to `out`, which has room for
// kListRealBatch x (kListRealMaxLength + line_end.size()) characters; returns how many it wrote.
// The characters are those of format_list_real, converted eight at a time where the processor
// can.
std::size_t format_list_real_lines(const float* values, const ShortLineEnd& line_end, char* out);

// Remembers the text of the values it has formatted, one per slot chosen from the value's bits,
// so that a value met again is copied instead of converted. A map decoded from 16-bit codes
// holds at most 65,535 different values at its stored points. An instance is used by one thread
// at a time.
class ListRealCache {
 public:
  // A cache with room for `distinct_values` values, at most 65,536: a small map's few values get
  // a small table, which costs less to make than it would save when full.
  explicit ListRealCache(std::size_t distinct_values = kMostSlots);

  // Writes the list-directed text of `value` to `out`, which has room for kListRealMaxLength
  // characters, and returns its length.
  std::size_t format(float value, char* out);
  // The same with the slot chosen by the caller: values that come with a small key of their own
  // (a 16-bit code) take the slots in the keys' order, so that neighbouring keys stay close in
  // memory. Any slot gives the right text.
  std::size_t format(float value, std::uint16_t slot, char* out);
  // Asks the processor to fetch a slot that is about to be used: the table is larger than a
  // core's own cache, and keys that jump about would otherwise wait for memory at every value.
  void prefetch(std::uint16_t slot) const { __builtin_prefetch(&entries_[slot & slot_mask_]); }

 private:
  static constexpr std::size_t kMostSlots = std::size_t{1} << 16;
  static constexpr std::size_t kLeastSlots = 256;
  // The text as the conversion stores it: characters 0-15, then 16 and 17. A length of 0 marks
  // a slot not yet filled, so that a zeroed table is an empty one.
  struct Entry {
    std::uint32_t bits;
    std::uint8_t length;
    std::uint16_t tail;
    char head[16];
  };
  Entry& entry_of(std::uint16_t slot) { return entries_[slot & slot_mask_]; }

  int slot_bits_;
  std::uint16_t slot_mask_;
  std::unique_ptr<Entry[]> entries_;
};

}  // namespace textio
