#include "fuzzing/inputs.hpp"

#include <bit>

namespace fuzzing {

namespace {

constexpr std::size_t kSymbolWidth = 20;
constexpr int kLiteralKeyLimit = 14;  // 0 to 13 characters: 13 is one too many
constexpr int kValueLimit = 72;       // 0 to 71 characters: beyond 68 the write is refused
constexpr int kWidthLimit = 81;

std::string fitted(std::string_view text, std::size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  return field;
}

}  // namespace

Item read_item(ByteReader& reader) {
  Item item;
  item.kind = static_cast<Item::Kind>(reader.byte() % 4);
  switch (item.kind) {
    case Item::Kind::integer:
      item.integer = static_cast<long long>(reader.u64());
      break;
    case Item::Kind::real64:
      item.real64 = std::bit_cast<double>(reader.u64());
      break;
    case Item::Kind::real32:
      item.real32 = std::bit_cast<float>(reader.u32());
      break;
    case Item::Kind::text:
      item.text = std::string(reader.bytes(reader.byte()));
      break;
  }
  return item;
}

void write_item(ByteWriter& writer, const Item& item) {
  writer.byte(static_cast<std::uint8_t>(item.kind));
  switch (item.kind) {
    case Item::Kind::integer:
      writer.u64(static_cast<std::uint64_t>(item.integer));
      break;
    case Item::Kind::real64:
      writer.u64(std::bit_cast<std::uint64_t>(item.real64));
      break;
    case Item::Kind::real32:
      writer.u32(std::bit_cast<std::uint32_t>(item.real32));
      break;
    case Item::Kind::text:
      writer.byte(static_cast<std::uint8_t>(item.text.size())).bytes(item.text);
      break;
  }
}

std::vector<Item> read_items(ByteReader& reader, std::size_t limit) {
  std::vector<Item> items;
  while (!reader.empty() && items.size() < limit) items.push_back(read_item(reader));
  return items;
}

FormatInput decode_format_input(std::string_view data) {
  const std::vector<std::string_view> parts = split_parts(data, 3);
  FormatInput input;
  input.format = parts[0];
  input.input_text = parts[1];
  ByteReader reader(parts[2]);
  input.text_width = reader.byte();
  input.items = read_items(reader, kMaxFormatItems);
  return input;
}

std::string encode_format_input(const FormatInput& input) {
  ByteWriter writer;
  writer.byte(static_cast<std::uint8_t>(input.text_width));
  for (const Item& item : input.items) write_item(writer, item);
  return join_parts({input.format, input.input_text, writer.data()});
}

std::vector<Item> decode_list_input(std::string_view data) {
  ByteReader reader(data);
  return read_items(reader, kMaxListItems);
}

std::string encode_list_input(const std::vector<Item>& items) {
  ByteWriter writer;
  for (const Item& item : items) write_item(writer, item);
  return writer.data();
}

SymbolInput decode_symbol_input(std::string_view data) {
  ByteReader reader(data);
  SymbolInput input;
  input.symbol = fitted(reader.bytes(kSymbolWidth), kSymbolWidth);
  const std::uint8_t flags = reader.byte();
  input.describe = (flags & 1) != 0;
  input.report_errors = (flags & 2) != 0;
  return input;
}

std::string encode_symbol_input(const SymbolInput& input) {
  ByteWriter writer;
  writer.bytes(fitted(input.symbol, kSymbolWidth));
  writer.byte(static_cast<std::uint8_t>((input.describe ? 1 : 0) | (input.report_errors ? 2 : 0)));
  return writer.data();
}

SamplerInput decode_sampler_input(std::string_view data) {
  ByteReader reader(data);
  SamplerInput input;
  input.symbol = fitted(reader.bytes(kSymbolWidth), kSymbolWidth);
  input.patterson = (reader.byte() & 1) != 0;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    input.divisions[axis] = reader.byte();
    input.starts[axis] = static_cast<std::int8_t>(reader.byte());
    input.steps[axis] = reader.byte();
  }
  while (!reader.empty()) input.codes.push_back(static_cast<std::int16_t>(reader.u16()));
  return input;
}

std::string encode_sampler_input(const SamplerInput& input) {
  ByteWriter writer;
  writer.bytes(fitted(input.symbol, kSymbolWidth));
  writer.byte(input.patterson ? 1 : 0);
  for (std::size_t axis = 0; axis < 3; ++axis) {
    writer.byte(input.divisions[axis]);
    writer.byte(static_cast<std::uint8_t>(input.starts[axis]));
    writer.byte(input.steps[axis]);
  }
  for (std::int16_t code : input.codes) writer.u16(static_cast<std::uint16_t>(code));
  return writer.data();
}

namespace {

StoreOp read_store_op(ByteReader& reader) {
  const std::uint8_t code = reader.byte();
  StoreOp op;
  op.action = static_cast<StoreAction>(code & 3);
  // Reopening is costly: one code in four of its slot reopens, the others read.
  if (op.action == StoreAction::reopen && (code >> 2 & 3) != 0) op.action = StoreAction::read;
  op.form = static_cast<KeyForm>(code >> 4 & 3);
  if (op.action == StoreAction::reopen) return op;
  switch (op.form) {
    case KeyForm::known:
      op.index = reader.byte();
      break;
    case KeyForm::known_prefix:
      op.index = reader.byte();
      op.prefix_length = reader.byte() % 12;
      break;
    case KeyForm::next:
      break;
    case KeyForm::literal:
      op.literal = std::string(reader.bytes(reader.byte() % kLiteralKeyLimit));
      break;
  }
  if (op.action == StoreAction::write) {
    op.value = std::string(reader.bytes(reader.byte() % kValueLimit));
  } else if (op.action == StoreAction::read) {
    op.width = reader.byte() % kWidthLimit;
  }
  return op;
}

void write_store_op(ByteWriter& writer, const StoreOp& op) {
  writer.byte(
      static_cast<std::uint8_t>(static_cast<int>(op.action) | static_cast<int>(op.form) << 4));
  if (op.action == StoreAction::reopen) return;
  switch (op.form) {
    case KeyForm::known:
      writer.byte(static_cast<std::uint8_t>(op.index));
      break;
    case KeyForm::known_prefix:
      writer.byte(static_cast<std::uint8_t>(op.index));
      writer.byte(static_cast<std::uint8_t>(op.prefix_length));
      break;
    case KeyForm::next:
      break;
    case KeyForm::literal:
      writer.byte(static_cast<std::uint8_t>(op.literal.size())).bytes(op.literal);
      break;
  }
  if (op.action == StoreAction::write) {
    writer.byte(static_cast<std::uint8_t>(op.value.size())).bytes(op.value);
  } else if (op.action == StoreAction::read) {
    writer.byte(static_cast<std::uint8_t>(op.width));
  }
}

}  // namespace

StoreInput decode_store_input(std::string_view data) {
  ByteReader reader(data);
  StoreInput input;
  input.file = std::string(reader.bytes(reader.u16()));
  while (!reader.empty() && input.ops.size() < kMaxStoreOps) {
    input.ops.push_back(read_store_op(reader));
  }
  return input;
}

std::string encode_store_input(const StoreInput& input) {
  ByteWriter writer;
  writer.u16(static_cast<std::uint16_t>(input.file.size())).bytes(input.file);
  for (const StoreOp& op : input.ops) write_store_op(writer, op);
  return writer.data();
}

MapInput decode_map_input(std::string_view data) {
  ByteReader reader(data);
  MapInput input;
  input.symbol_choice = reader.byte();
  input.type_choice = reader.byte();
  input.record_words = reader.u16();
  input.map = std::string(reader.rest());
  return input;
}

std::string encode_map_input(const MapInput& input) {
  ByteWriter writer;
  writer.byte(static_cast<std::uint8_t>(input.symbol_choice))
      .byte(static_cast<std::uint8_t>(input.type_choice))
      .u16(static_cast<std::uint16_t>(input.record_words))
      .bytes(input.map);
  return writer.data();
}

ConsoleInput decode_console_input(std::string_view data) {
  const std::vector<std::string_view> parts = split_parts(data, 3);
  return {std::string(parts[0]), std::string(parts[1]), std::string(parts[2])};
}

std::string encode_console_input(const ConsoleInput& input) {
  return join_parts({input.typed, input.macro, input.questions});
}

StartupInput decode_startup_input(std::string_view data) {
  ByteReader reader(data);
  StartupInput input;
  input.run_choice = reader.byte();
  input.typed = std::string(reader.bytes(reader.byte()));
  input.file = std::string(reader.rest());
  return input;
}

std::string encode_startup_input(const StartupInput& input) {
  ByteWriter writer;
  writer.byte(static_cast<std::uint8_t>(input.run_choice))
      .byte(static_cast<std::uint8_t>(input.typed.size()))
      .bytes(input.typed)
      .bytes(input.file);
  return writer.data();
}

std::vector<textio::OutItem> out_items(const std::vector<Item>& items) {
  std::vector<textio::OutItem> out;
  for (const Item& item : items) {
    if (item.kind == Item::Kind::integer) {
      out.push_back({textio::OutItem::Kind::integer, item.integer, 0.0, {}});
    } else if (item.kind == Item::Kind::text) {
      out.push_back({textio::OutItem::Kind::text, 0, 0.0, item.text});
    } else {
      out.push_back({textio::OutItem::Kind::real,
                     0,
                     item.kind == Item::Kind::real64 ? item.real64 : item.real32,
                     {}});
    }
  }
  return out;
}

}  // namespace fuzzing
