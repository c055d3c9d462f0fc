// The format-list engine: an arbitrary format list reads arbitrary text from an internal text
// and from the console, writes arbitrary items into an internal text and onto the console, and
// reads its own output again. Integers written with I and texts written with A must come back
// as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/inputs.hpp"
#include "support/session.hpp"
#include "textio/format.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace {

using fuzzing::Item;
using fuzzing::out_items;

// Variables to read into, one for each item and of its kind; texts as wide as the item's text.
class Targets {
 public:
  explicit Targets(const std::vector<Item>& items) : slots_(items.size()) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      Slot& slot = slots_[i];
      switch (items[i].kind) {
        case Item::Kind::integer:
          in_.push_back({textio::InItem::Kind::int32, &slot.integer});
          break;
        case Item::Kind::real64:
          in_.push_back({textio::InItem::Kind::real64, &slot.real64});
          break;
        case Item::Kind::real32:
          in_.push_back({textio::InItem::Kind::real32, &slot.real32});
          break;
        case Item::Kind::text:
          slot.text.assign(items[i].text.size(), '?');
          in_.push_back({textio::InItem::Kind::text, &slot.text});
          break;
      }
    }
  }
  const std::vector<textio::InItem>& in() const { return in_; }
  int integer(std::size_t i) const { return slots_[i].integer; }
  const std::string& text(std::size_t i) const { return slots_[i].text; }

 private:
  struct Slot {
    int integer = 0;
    double real64 = 0.0;
    float real32 = 0.0f;
    std::string text;
  };
  std::vector<Slot> slots_;
  std::vector<textio::InItem> in_;
};

// A text written with Aw and read back with A into a variable of the text's width: the whole text
// when w is 0 or at least the width, else its first w characters padded with blanks.
bool text_came_back(const std::string& written, const std::string& read) {
  if (read.size() != written.size()) return false;
  std::size_t same = 0;
  while (same < read.size() && read[same] == written[same]) ++same;
  return read.find_first_not_of(' ', same) == std::string::npos;
}

void check_read_back(const fuzzing::FormatInput& input, const std::string& text) {
  Targets targets(input.items);
  if (textio::try_read_text_items(text, input.format, targets.in()) != textio::kOk) return;
  for (std::size_t i = 0; i < input.items.size(); ++i) {
    const Item& item = input.items[i];
    if (item.kind == Item::Kind::integer && targets.integer(i) != item.integer) {
      fuzzing::fail("integer " + std::to_string(item.integer) + " written with " + input.format +
                    " as [" + text + "] reads back as " + std::to_string(targets.integer(i)));
    }
    if (item.kind == Item::Kind::text && !text_came_back(item.text, targets.text(i))) {
      fuzzing::fail("text [" + item.text + "] written with " + input.format + " as [" + text +
                    "] reads back as [" + targets.text(i) + "]");
    }
  }
}

void check_text_widths(const fuzzing::FormatInput& input, const Targets& targets) {
  for (std::size_t i = 0; i < input.items.size(); ++i) {
    if (input.items[i].kind == Item::Kind::text &&
        targets.text(i).size() != input.items[i].text.size()) {
      fuzzing::fail("a text variable changed its width reading with " + input.format);
    }
  }
}

// A format that asks for more than this, as a width, a number of digits, a scale factor or a
// repeat count, is only read with. Its writes would build fields and records of up to megabytes,
// a thousand times the work of a usual input, through the same code as smaller numbers take;
// the sizes where the engine's buffers change lie well below. Reads cost little at any width.
constexpr int kLargestWrittenNumber = 4096;

bool writes_stay_small(const std::string& format) {
  for (const textio::FormatToken& token : textio::parsed_format(format)->tokens) {
    if (token.repeat > kLargestWrittenNumber || std::abs(token.width) > kLargestWrittenNumber ||
        token.digits > kLargestWrittenNumber) {
      return false;
    }
  }
  return true;
}

void exercise(const fuzzing::FormatInput& input) {
  Targets from_text(input.items);
  textio::try_read_text_items(input.input_text, input.format, from_text.in());
  check_text_widths(input, from_text);
  Targets from_console(input.items);
  textio::try_read_record_items(textio::kConsoleInput, input.format, from_console.in());
  check_text_widths(input, from_console);
  if (!writes_stay_small(input.format)) return;

  const std::vector<textio::OutItem> items = out_items(input.items);
  std::string text(static_cast<std::size_t>(input.text_width), ' ');
  const int status = textio::try_write_text_items(text, input.format, items);
  if (text.size() != static_cast<std::size_t>(input.text_width)) {
    fuzzing::fail("the internal text changed its width writing with " + input.format);
  }
  if (status == textio::kOk) check_read_back(input, text);

  textio::try_write_record_items(textio::kConsoleOutput, input.format, items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::FormatInput input =
      fuzzing::decode_format_input({reinterpret_cast<const char*>(data), size});
  fuzzing::ConsoleSession session(input.input_text);
  session.run([&] { exercise(input); });
  return 0;
}
