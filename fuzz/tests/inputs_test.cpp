// The input layouts: what the seed generator encodes, the targets decode unchanged, and any bytes
// decode to something.
#include "fuzzing/inputs.hpp"

#include <gtest/gtest.h>

namespace fuzzing {
namespace {

bool same_items(const std::vector<Item>& a, const std::vector<Item>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].integer != b[i].integer || a[i].text != b[i].text ||
        a[i].real64 != b[i].real64 || a[i].real32 != b[i].real32) {
      return false;
    }
  }
  return true;
}

std::vector<Item> sample_items() {
  std::vector<Item> items(4);
  items[0].integer = -1234567890123LL;
  items[1].kind = Item::Kind::real64;
  items[1].real64 = 5.4307;
  items[2].kind = Item::Kind::real32;
  items[2].real32 = -0.25f;
  items[3].kind = Item::Kind::text;
  items[3].text = std::string("text\0with NUL", 13);
  return items;
}

TEST(Inputs, FormatAndListInputsSurviveEncoding) {
  const FormatInput format{"(I5,F10.3,E12.4,A)", "   12  3.5", 80, sample_items()};
  const FormatInput decoded = decode_format_input(encode_format_input(format));
  EXPECT_EQ(decoded.format, format.format);
  EXPECT_EQ(decoded.input_text, format.input_text);
  EXPECT_EQ(decoded.text_width, 80);
  EXPECT_TRUE(same_items(decoded.items, format.items));
  EXPECT_TRUE(same_items(decode_list_input(encode_list_input(sample_items())), sample_items()));
}

TEST(Inputs, StoreInputsSurviveEncoding) {
  StoreInput input{std::string(164, 'r'), {}};
  input.ops.push_back({StoreAction::read, KeyForm::known, 3, 0, "", "", 40});
  input.ops.push_back({StoreAction::remove, KeyForm::known_prefix, 7, 5, "", "", 68});
  input.ops.push_back({StoreAction::write, KeyForm::literal, 0, 0, "CRS1  ABC   ", "value", 68});
  input.ops.push_back({StoreAction::reopen, KeyForm::known, 0, 0, "", "", 68});
  input.ops.push_back({StoreAction::read, KeyForm::next, 0, 0, "", "", 0});
  const StoreInput decoded = decode_store_input(encode_store_input(input));
  EXPECT_EQ(decoded.file, input.file);
  ASSERT_EQ(decoded.ops.size(), input.ops.size());
  for (std::size_t i = 0; i < input.ops.size(); ++i) {
    EXPECT_EQ(decoded.ops[i].action, input.ops[i].action) << i;
    EXPECT_EQ(decoded.ops[i].form, input.ops[i].form) << i;
    EXPECT_EQ(decoded.ops[i].literal, input.ops[i].literal) << i;
    EXPECT_EQ(decoded.ops[i].value, input.ops[i].value) << i;
  }
  EXPECT_EQ(decoded.ops[0].width, 40);
  EXPECT_EQ(decoded.ops[1].prefix_length, 5);
}

TEST(Inputs, OtherLayoutsSurviveEncoding) {
  const SymbolInput symbol = decode_symbol_input(encode_symbol_input({"P 21/c", true, false}));
  EXPECT_EQ(symbol.symbol, "P 21/c              ");
  EXPECT_TRUE(symbol.describe);
  EXPECT_FALSE(symbol.report_errors);
  const MapInput map = decode_map_input(encode_map_input({8, 3, 8193, "map bytes"}));
  EXPECT_EQ(map.symbol_choice, 8);
  EXPECT_EQ(map.type_choice, 3);
  EXPECT_EQ(map.record_words, 8193);
  EXPECT_EQ(map.map, "map bytes");
  const ConsoleInput console = decode_console_input(encode_console_input({"@R\n", "m\n", "\x01"}));
  EXPECT_EQ(console.typed, "@R\n");
  EXPECT_EQ(console.macro, "m\n");
  EXPECT_EQ(console.questions, "\x01");
  const SamplerInput sampler = decode_sampler_input(
      encode_sampler_input({"F d -3 m", true, {23, 7, 9}, {-3, 0, 5}, {4, 5, 6}, {-2, 300}}));
  EXPECT_EQ(sampler.symbol, "F d -3 m            ");
  EXPECT_TRUE(sampler.patterson);
  EXPECT_EQ(sampler.divisions, (std::array<std::uint8_t, 3>{23, 7, 9}));
  EXPECT_EQ(sampler.starts, (std::array<std::int8_t, 3>{-3, 0, 5}));
  EXPECT_EQ(sampler.steps, (std::array<std::uint8_t, 3>{4, 5, 6}));
  EXPECT_EQ(sampler.codes, (std::vector<std::int16_t>{-2, 300}));
  const StartupInput startup = decode_startup_input(encode_startup_input({5, "Y\n", "file"}));
  EXPECT_EQ(startup.run_choice, 5);
  EXPECT_EQ(startup.typed, "Y\n");
  EXPECT_EQ(startup.file, "file");
}

TEST(Inputs, ShortAndEmptyInputsDecode) {
  EXPECT_EQ(split_parts("a", 3), (std::vector<std::string_view>{"a", "", ""}));
  EXPECT_EQ(split_parts(std::string_view("a\0b\0c\0d", 7), 3),
            (std::vector<std::string_view>{"a", "b", std::string_view("c\0d", 3)}));
  EXPECT_EQ(decode_symbol_input("").symbol, std::string(20, ' '));
  EXPECT_EQ(decode_store_input(std::string_view("\xff\xff"
                                                "abc",
                                                5))
                .file,
            "abc");
  ByteReader reader(std::string_view("\x01\x02", 2));
  EXPECT_EQ(reader.u32(), 0x0201u);
  EXPECT_TRUE(reader.empty());
}

}  // namespace
}  // namespace fuzzing
