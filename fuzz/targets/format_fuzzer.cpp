// The format-list engine: an arbitrary format list reads arbitrary text from an internal text
// and from the console, writes arbitrary items into an internal text and onto the console, and
// reads its own output again. Integers written with I and texts written with A must come back
// as written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzzing/inputs.hpp"
#include "fuzzing/session.hpp"
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

// The most characters one pass through a format list may stand for, each edit counted as often
// as its own repeat count and those of its groups make it run. Beyond this the input is only
// parsed: repeat counts and widths of up to a million each, nested, would make fields and records
// of megabytes and walks of millions of edits, a thousand times the work of a usual input,
// through the same code as smaller numbers take. The sizes where the engine's buffers change lie
// well below.
constexpr std::uint64_t kMostWork = 1 << 14;

std::uint64_t capped_product(std::uint64_t a, std::uint64_t b) {
  return std::min(a * b, kMostWork + 1);  // both factors are at most 10^6 or kMostWork + 1
}

// The characters an edit stands for: its width, its digits, its text or its scale factor.
std::uint64_t edit_size(const textio::FormatToken& token) {
  const std::uint64_t size =
      std::max({std::abs(token.width), token.digits, static_cast<int>(token.literal.size()), 1});
  return capped_product(size, token.is_data() ? static_cast<std::uint64_t>(token.repeat) : 1);
}

bool work_stays_small(const std::string& format) {
  std::vector<std::uint64_t> repeats{1};  // of the groups the walk is in, multiplied out
  std::uint64_t work = 0;
  for (const textio::FormatToken& token : textio::parsed_format(format)->tokens) {
    if (token.kind == textio::FormatToken::Kind::group_start) {
      repeats.push_back(capped_product(repeats.back(), static_cast<std::uint64_t>(token.repeat)));
    } else if (token.kind == textio::FormatToken::Kind::group_end) {
      repeats.pop_back();
    } else {
      work += capped_product(repeats.back(), edit_size(token));
      if (work > kMostWork) return false;
    }
  }
  return true;
}

void exercise(const fuzzing::FormatInput& input) {
  if (!work_stays_small(input.format)) return;
  Targets from_text(input.items);
  textio::try_read_text_items(input.input_text, input.format, from_text.in());
  check_text_widths(input, from_text);
  Targets from_console(input.items);
  textio::try_read_record_items(textio::kConsoleInput, input.format, from_console.in());
  check_text_widths(input, from_console);

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
