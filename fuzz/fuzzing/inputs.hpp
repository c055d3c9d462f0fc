// The layout of each fuzz target's input: decoded by the target, encoded by the seed generator.
// Every byte string decodes to some input, so the fuzzer never wastes a run on a parse error.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzing/bytes.hpp"
#include "textio/items.hpp"

namespace fuzzing {

// ---- Items of a data transfer (format and list-directed targets) ----

struct Item {
  enum class Kind : std::uint8_t { integer, real64, real32, text };
  Kind kind = Kind::integer;
  long long integer = 0;
  double real64 = 0.0;
  float real32 = 0.0f;
  std::string text;
};

// Kind byte, then 8 bytes (integer, double), 4 bytes (float) or a length byte and the text.
Item read_item(ByteReader& reader);
void write_item(ByteWriter& writer, const Item& item);
// The items as the record layer's output items.
std::vector<textio::OutItem> out_items(const std::vector<Item>& items);
std::vector<Item> read_items(ByteReader& reader, std::size_t limit);

// ---- Format-list engine: format NUL input-text NUL width items... ----

struct FormatInput {
  std::string format;
  std::string input_text;  // read with the format
  int text_width = 0;      // of the internal text written, 0 to 255
  std::vector<Item> items;
};
inline constexpr std::size_t kMaxFormatItems = 64;
FormatInput decode_format_input(std::string_view data);
std::string encode_format_input(const FormatInput& input);

// ---- List-directed output: items... ----

inline constexpr std::size_t kMaxListItems = 64;
std::vector<Item> decode_list_input(std::string_view data);
std::string encode_list_input(const std::vector<Item>& items);

// ---- Symbol interpreter: 20 symbol characters, then a byte whose bit 0 asks for the
// description and bit 1 for the error report ----

struct SymbolInput {
  std::string symbol;  // 20 characters, blank-padded
  bool describe = false;
  bool report_errors = false;
};
SymbolInput decode_symbol_input(std::string_view data);
std::string encode_symbol_input(const SymbolInput& input);

// ---- Map sampler: 20 symbol characters, a byte whose bit 0 makes the map Patterson-type, per
// axis a division byte, a start byte (signed) and a steps byte, then the block's codes (i16) ----

struct SamplerInput {
  std::string symbol;  // 20 characters, blank-padded
  bool patterson = false;
  std::array<std::uint8_t, 3> divisions{};  // the grid has 1 + this % kMostSamplerDivisions
  std::array<std::int8_t, 3> starts{};
  std::array<std::uint8_t, 3> steps{};  // the block has 1 + this % (divisions / 2 + 4)
  std::vector<std::int16_t> codes;      // repeated over the block; zeros when empty
};
inline constexpr int kMostSamplerDivisions = 32;
SamplerInput decode_sampler_input(std::string_view data);
std::string encode_sampler_input(const SamplerInput& input);

// ---- Experiment-file store: file length (u16), file bytes, operations... ----

enum class StoreAction : std::uint8_t { read, remove, write, reopen };
enum class KeyForm : std::uint8_t {
  known,         // the key of a record the model knows, by index
  known_prefix,  // the first characters of such a key
  next,          // twelve blanks: the next record in key order
  literal,       // the key as given, 0 to 13 characters
};
struct StoreOp {
  StoreAction action = StoreAction::read;
  KeyForm form = KeyForm::known;
  int index = 0;          // known, known_prefix
  int prefix_length = 0;  // known_prefix: 0 to 11
  std::string literal;    // literal
  std::string value;      // write: 0 to 71 characters
  int width = 68;         // read: the value field's width, 0 to 80
};
struct StoreInput {
  std::string file;
  std::vector<StoreOp> ops;
};
inline constexpr std::size_t kMaxStoreOps = 256;
StoreInput decode_store_input(std::string_view data);
std::string encode_store_input(const StoreInput& input);

// ---- Whole conversion: symbol choice, map type choice, record length in words (u16), map
// bytes ----

struct MapInput {
  int symbol_choice = 0;
  int type_choice = 0;
  int record_words = 0;
  std::string map;
};
MapInput decode_map_input(std::string_view data);
std::string encode_map_input(const MapInput& input);

// ---- Console input: typed text NUL macro file NUL questions ----

struct ConsoleInput {
  std::string typed;
  std::string macro;      // the file "MAC1" beside the program
  std::string questions;  // one byte a question (see console_fuzzer.cpp)
};
ConsoleInput decode_console_input(std::string_view data);
std::string encode_console_input(const ConsoleInput& input);

// ---- Start-up: run choice, typed text length (u8), typed text, experiment file bytes ----

struct StartupInput {
  int run_choice = 0;
  std::string typed;  // at most 255 characters
  std::string file;   // the experiment file FUZZ.EXP
};
StartupInput decode_startup_input(std::string_view data);
std::string encode_startup_input(const StartupInput& input);

}  // namespace fuzzing
