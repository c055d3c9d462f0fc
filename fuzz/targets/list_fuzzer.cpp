// List-directed output of arbitrary float and double bit patterns (and integers and texts
// among them): every real must be written exactly as "%.9G" gives it under the list-directed
// rule, and a write of several items must break its records at 80 columns as the rule says.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzzing/inputs.hpp"
#include "fuzzing/list_text.hpp"
#include "fuzzing/session.hpp"
#include "support/files.hpp"
#include "support/unit_output.hpp"
#include "textio/list_real.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace {

using fuzzing::Item;
using fuzzing::out_items;

constexpr int kListUnit = 21;

// The file the target writes, named by its full path so that no input needs a change of
// directory. It outlives the input; see removed().
const std::string& list_file() {
  static const std::string path = (fuzzing::scratch_directory() / "list.txt").string();
  return path;
}

// The expected text of a real, once the list-directed writer's own text of it has been found
// to be the same.
std::string checked_real(double value) {
  std::string expected = fuzzing::expected_list_real(value);
  char buffer[textio::kListRealMaxLength + 8];
  const std::string_view written(buffer, textio::format_list_real(value, buffer));
  if (written != expected) {
    fuzzing::fail("list-directed real [" + std::string(written) + "], expected [" + expected + "]");
  }
  return expected;
}

fuzzing::ListItemText item_text(const Item& item) {
  switch (item.kind) {
    case Item::Kind::integer: {
      const std::string text = fuzzing::expected_list_integer(item.integer);
      return {text, text};
    }
    case Item::Kind::real64: {
      const std::string text = checked_real(item.real64);
      return {text, text};
    }
    case Item::Kind::real32: {
      const std::string text = checked_real(item.real32);
      return {text, text};
    }
    case Item::Kind::text:
      return {" " + item.text, item.text};
  }
  return {};
}

// The path of a file that does not exist, so that the unit opening it starts a new file as
// the input before it did. Cutting the file to nothing instead would make the file system
// write it to the disk when it is closed again.
const std::string& removed(const std::string& path) {
  std::error_code missing;
  std::filesystem::remove(path, missing);
  return path;
}

// Appends these records, each ended by CR LF, to the bytes of a file.
void append_records(std::string& bytes, const std::vector<std::string>& records) {
  for (const std::string& record : records) bytes.append(record).append("\r\n");
}

// One file holds the list-directed write of all the items, then each single-precision real
// again on a line of its own, as the grid file writes them.
void check_list_write(const std::vector<Item>& items,
                      const std::vector<fuzzing::ListItemText>& texts) {
  std::string expected;
  append_records(expected, fuzzing::expected_list_records(texts));
  textio::open_unit(kListUnit, removed(list_file()));
  if (int status = textio::try_write_list_items(kListUnit, out_items(items))) {
    fuzzing::fail("list-directed write failed with status " + std::to_string(status));
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind != Item::Kind::real32) continue;
    support::write_list_real(kListUnit, items[i].real32);
    expected.append(texts[i].at_record_start).append("\r\n");
  }
  textio::close_unit(kListUnit);
  const std::string written = support::read_file_bytes(list_file());
  if (written != expected) {
    fuzzing::fail("list-directed records [" + written + "], expected [" + expected + "]");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<Item> items =
      fuzzing::decode_list_input({reinterpret_cast<const char*>(data), size});
  if (items.empty()) return 0;
  std::vector<fuzzing::ListItemText> texts;
  for (const Item& item : items) texts.push_back(item_text(item));
  fuzzing::ConsoleSession session;
  const fuzzing::Outcome outcome = session.run([&] { check_list_write(items, texts); });
  if (outcome.ending != fuzzing::Ending::returned) fuzzing::fail(outcome.stop_text);
  return 0;
}
