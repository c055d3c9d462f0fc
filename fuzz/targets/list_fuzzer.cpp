// List-directed output of arbitrary float and double bit patterns (and integers and texts
// among them): every real must be written exactly as "%.9G" gives it under the list-directed
// rule, and a write of several items must break its records at 80 columns as the rule says.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/files.hpp"
#include "support/inputs.hpp"
#include "support/list_text.hpp"
#include "support/session.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace {

using fuzzing::Item;
using fuzzing::out_items;

constexpr int kListUnit = 21;
constexpr int kRealUnit = 22;

// The files the target writes, named by their full path so that no input needs a change of
// directory. They outlive the input; see removed().
const std::string& list_file() {
  static const std::string path = (fuzzing::scratch_directory() / "list.txt").string();
  return path;
}

const std::string& real_file() {
  static const std::string path = (fuzzing::scratch_directory() / "reals.txt").string();
  return path;
}

std::string written_text(double value) {
  char buffer[textio::kListRealMaxLength + 8];
  return std::string(buffer, textio::format_list_real(value, buffer));
}

void check_real(double value) {
  const std::string expected = fuzzing::expected_list_real(value);
  const std::string written = written_text(value);
  if (written != expected) {
    fuzzing::fail("list-directed real [" + written + "], expected [" + expected + "]");
  }
}

fuzzing::ListItemText item_text(const Item& item) {
  switch (item.kind) {
    case Item::Kind::integer: {
      const std::string text = fuzzing::expected_list_integer(item.integer);
      return {text, text};
    }
    case Item::Kind::real64: {
      const std::string text = fuzzing::expected_list_real(item.real64);
      return {text, text};
    }
    case Item::Kind::real32: {
      const std::string text = fuzzing::expected_list_real(item.real32);
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

// The bytes of a file of these records, each ended by CR LF.
std::string file_of(const std::vector<std::string>& records) {
  std::string bytes;
  for (const std::string& record : records) bytes += record + "\r\n";
  return bytes;
}

void check_list_write(const std::vector<Item>& items) {
  std::vector<fuzzing::ListItemText> texts;
  std::vector<std::string> real_lines;
  for (const Item& item : items) {
    texts.push_back(item_text(item));
    if (item.kind == Item::Kind::real32) real_lines.push_back(texts.back().at_record_start);
  }
  textio::open_unit(kListUnit, removed(list_file()));
  if (int status = textio::try_write_list_items(kListUnit, out_items(items))) {
    fuzzing::fail("list-directed write failed with status " + std::to_string(status));
  }
  textio::close_unit(kListUnit);
  const std::string expected = file_of(fuzzing::expected_list_records(texts));
  const std::string written = support::read_file_bytes(list_file());
  if (written != expected) {
    fuzzing::fail("list-directed records [" + written + "], expected [" + expected + "]");
  }

  textio::open_unit(kRealUnit, removed(real_file()));
  for (const Item& item : items) {
    if (item.kind == Item::Kind::real32) textio::write_list_real(kRealUnit, item.real32);
  }
  textio::close_unit(kRealUnit);
  const std::string lines = support::read_file_bytes(real_file());
  if (lines != file_of(real_lines)) {
    fuzzing::fail("grid-file reals [" + lines + "], expected [" + file_of(real_lines) + "]");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<Item> items =
      fuzzing::decode_list_input({reinterpret_cast<const char*>(data), size});
  for (const Item& item : items) {
    if (item.kind == Item::Kind::real64) check_real(item.real64);
    if (item.kind == Item::Kind::real32) check_real(item.real32);
  }
  if (items.empty()) return 0;
  fuzzing::ConsoleSession session;
  const fuzzing::Outcome outcome = session.run([&] { check_list_write(items); });
  if (outcome.ending != fuzzing::Ending::returned) fuzzing::fail(outcome.stop_text);
  return 0;
}
