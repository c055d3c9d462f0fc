#include "textio/records.hpp"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "textio/edit.hpp"
#include "textio/format.hpp"
#include "textio/list_real.hpp"
#include "textio/program_state.hpp"
#include "textio/status.hpp"
#include "unit_io.hpp"

namespace textio {

namespace {

using Kind = FormatToken::Kind;

// Bounds on what one formatted transfer does, so that nested repeat counts of up to a million each
// end at once instead of running for hours or filling the memory. A walk that goes this many
// edits without a data item only repeats control edits (status 100)...
constexpr std::size_t kMostEditsWithoutData = std::size_t{1} << 22;
// ...no output transfer writes more records than this (status 100)...
constexpr std::size_t kMostRecords = std::size_t{1} << 20;
// ...and no record is longer: a position beyond it is off the record (status 110).
constexpr std::size_t kLongestRecord = std::size_t{1} << 20;

struct GroupFrame {
  int start;
  int remaining;
};

// Walks a parsed format list: control edits are handed to `control`, data edits to `data`
// (one call per item), and the reversion rule starts a new record when items remain at the end.
// `data` and `control` return a status; the walk ends at the first non-zero one.
class FormatWalk {
 public:
  FormatWalk(const ParsedFormat& format, std::size_t item_count)
      : format_(format), item_count_(item_count) {}

  template <typename Data, typename Control, typename NewRecord>
  int run(Data&& data, Control&& control, NewRecord&& new_record) {
    const std::vector<FormatToken>& tokens = format_.tokens;
    std::vector<GroupFrame> groups;
    std::size_t item = 0;
    int pc = 0;
    std::size_t edits_without_data = 0;
    while (true) {
      if (++edits_without_data > kMostEditsWithoutData) return kErrFormat;
      if (pc == static_cast<int>(tokens.size())) {
        if (item == item_count_) return kOk;
        if (!format_.reversion_has_data) return kErrFormat;
        if (int status = new_record()) return status;
        pc = format_.reversion_start;
        groups.clear();
        continue;
      }
      const FormatToken& token = tokens[static_cast<std::size_t>(pc)];
      if (token.kind == Kind::group_start) {
        groups.push_back({pc, token.repeat});
      } else if (token.kind == Kind::group_end) {
        if (--groups.back().remaining > 0) {
          pc = groups.back().start + 1;
          continue;
        }
        groups.pop_back();
      } else if (token.is_data()) {
        for (int r = 0; r < token.repeat; ++r) {
          if (item == item_count_) return kOk;
          if (int status = data(token, item++)) return status;
          edits_without_data = 0;
        }
      } else if (token.kind == Kind::colon) {
        if (item == item_count_) return kOk;
      } else if (token.kind == Kind::slash) {
        if (int status = new_record()) return status;
      } else if (int status = control(token)) {
        return status;
      }
      ++pc;
    }
  }

 private:
  const ParsedFormat& format_;
  std::size_t item_count_;
};

// ---- Output ----

struct OutputRecords {
  std::vector<std::string> records{std::string()};
  bool leave_open = false;
};

int edit_item(const FormatToken& token, const OutItem& item, int scale, std::string& out) {
  bool is_text = item.kind == OutItem::Kind::text;
  if ((token.kind == Kind::text) != is_text) return kErrBadVariableType;
  if (token.kind == Kind::integer && item.kind != OutItem::Kind::integer)
    return kErrBadVariableType;
  double real = item.kind == OutItem::Kind::integer ? static_cast<double>(item.integer) : item.real;
  switch (token.kind) {
    case Kind::integer:
      out += edit_integer(item.integer, token.width);
      break;
    case Kind::fixed:
      out += edit_fixed(real, token.width, token.digits, scale);
      break;
    case Kind::exponent:
      out += edit_exponent(real, token.width, token.digits, scale);
      break;
    case Kind::general:
      out += edit_general(real, token.width, token.digits, scale);
      break;
    default:
      out += edit_text(item.text, token.width);
      break;
  }
  return kOk;
}

int format_output(std::string_view format, const std::vector<OutItem>& items,
                  OutputRecords& output) {
  std::shared_ptr<const ParsedFormat> parsed = parsed_format(format);
  if (!parsed->valid) return kErrFormat;
  int scale = 0;
  auto within_record = [&] {
    return output.records.back().size() <= kLongestRecord ? kOk : kErrOffEndOfRecord;
  };
  auto data = [&](const FormatToken& token, std::size_t index) {
    if (int status = edit_item(token, items[index], scale, output.records.back())) return status;
    return within_record();
  };
  auto control = [&](const FormatToken& token) {
    std::string& record = output.records.back();
    if (token.kind == Kind::skip) record.append(static_cast<std::size_t>(token.width), ' ');
    if (token.kind == Kind::literal) record += token.literal;
    if (token.kind == Kind::scale) scale = token.width;
    if (token.kind == Kind::dollar) output.leave_open = true;
    return within_record();
  };
  auto new_record = [&] {
    if (output.records.size() == kMostRecords) return kErrFormat;
    output.records.emplace_back();
    return kOk;
  };
  return FormatWalk(*parsed, items.size()).run(data, control, new_record);
}

// ---- Input ----

// Hands out the records of one input statement; returns a status (-1 at the end).
using RecordSource = std::function<int(std::string&)>;

// A edits text variables only, I integer variables only; F, E and G edit reals.
bool descriptor_suits_item(const FormatToken& token, const InItem& item) {
  switch (item.kind) {
    case InItem::Kind::text:
      return token.kind == Kind::text;
    case InItem::Kind::int32:
      return token.kind == Kind::integer;
    default:
      return token.kind != Kind::text;
  }
}

// Reads one field into an item that the descriptor suits.
int read_item(const FormatToken& token, std::string_view field, int scale, const InItem& item) {
  switch (item.kind) {
    case InItem::Kind::int32:
      return read_integer(field, *static_cast<int*>(item.target));
    case InItem::Kind::real32:
      return read_real(field, token.digits, scale, *static_cast<float*>(item.target));
    case InItem::Kind::real64:
      return read_real(field, token.digits, scale, *static_cast<double*>(item.target));
    case InItem::Kind::text:
      read_text_field(field, *static_cast<std::string*>(item.target));
      return kOk;
  }
  return kErrBadVariableType;
}

int format_input(std::string_view format, const std::vector<InItem>& items,
                 const RecordSource& next_record) {
  std::shared_ptr<const ParsedFormat> parsed = parsed_format(format);
  if (!parsed->valid) return kErrFormat;
  std::string record;
  if (int status = next_record(record)) return status;
  std::size_t pos = 0;
  int scale = 0;
  auto data = [&](const FormatToken& token, std::size_t index) {
    const InItem& item = items[index];
    // The type comes first: A without a width takes its width from the text variable.
    if (!descriptor_suits_item(token, item)) return kErrBadVariableType;
    std::size_t width = token.width > 0 ? static_cast<std::size_t>(token.width)
                                        : static_cast<std::string*>(item.target)->size();
    std::string field = pos < record.size() ? record.substr(pos, width) : std::string();
    std::size_t advance = width;
    if (token.kind == Kind::text) {
      field.resize(width, ' ');
    } else if (std::size_t comma = field.find(','); comma != std::string::npos) {
      field.resize(comma);
      advance = comma + 1;
    }
    pos += advance;
    return read_item(token, field, scale, item);
  };
  auto control = [&](const FormatToken& token) {
    if (token.kind == Kind::skip) pos += static_cast<std::size_t>(token.width);
    if (token.kind == Kind::literal) pos += token.literal.size();
    if (token.kind == Kind::scale) scale = token.width;
    return pos <= kLongestRecord ? kOk : kErrOffEndOfRecord;
  };
  auto new_record = [&] {
    pos = 0;
    return next_record(record);
  };
  return FormatWalk(*parsed, items.size()).run(data, control, new_record);
}

std::span<const std::byte> as_bytes(std::string_view text) {
  return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

// ---- Transfer set-up ----

enum class Direction { reading, writing };

Transfer unit_transfer(Direction direction, int unit, std::string_view format,
                       Access access = Access::sequential, Form form = Form::formatted) {
  const bool reading = direction == Direction::reading;
  return {.operation = reading ? "read" : "write",
          .unit = unit,
          .format = std::string(format),
          .reading = reading,
          .sequential = access == Access::sequential,
          .formatted = form == Form::formatted};
}

Transfer text_transfer(Direction direction, std::string_view format) {
  Transfer transfer = unit_transfer(direction, 0, format);
  transfer.internal = true;
  return transfer;
}

// ---- The transfers, each on its own Transfer ----

int formatted_sequential_write(Transfer& transfer, std::string_view format,
                               const std::vector<OutItem>& items) {
  int status = kOk;
  Unit* target = unit_for_transfer(transfer, status);
  if (!target) return status;
  OutputRecords output;
  status = format_output(format, items, output);
  if (status != kOk) return status;
  for (std::size_t i = 0; i < output.records.size(); ++i) {
    bool last = i + 1 == output.records.size();
    if (int s = write_sequential_record(*target, output.records[i], last && output.leave_open)) {
      return s;
    }
  }
  return kOk;
}

int formatted_sequential_read(Transfer& transfer, std::string_view format,
                              const std::vector<InItem>& items) {
  int status = kOk;
  Unit* source = unit_for_transfer(transfer, status);
  if (!source) return status;
  return format_input(format, items, [source](std::string& record) {
    return read_sequential_record(*source, record);
  });
}

int formatted_direct_write(Transfer& transfer, int record, std::string_view format,
                           const std::vector<OutItem>& items) {
  int status = kOk;
  Unit* target = unit_for_transfer(transfer, status);
  if (!target) return status;
  OutputRecords output;
  if ((status = format_output(format, items, output))) return status;
  for (std::string& text : output.records) {
    if (text.size() > target->record_length) return kErrOffEndOfRecord;
    text.resize(target->record_length, ' ');
    if ((status = write_direct_record(*target, record++, as_bytes(text)))) return status;
  }
  return kOk;
}

int formatted_direct_read(Transfer& transfer, int record, std::string_view format,
                          const std::vector<InItem>& items) {
  int status = kOk;
  Unit* source = unit_for_transfer(transfer, status);
  if (!source) return status;
  return format_input(format, items, [source, &record](std::string& text) {
    text.assign(source->record_length, ' ');
    std::span<std::byte> bytes(reinterpret_cast<std::byte*>(text.data()), text.size());
    return read_direct_record(*source, record++, bytes, true);
  });
}

int unformatted_direct_read(Transfer& transfer, int record, std::span<std::byte> bytes) {
  int status = kOk;
  Unit* source = unit_for_transfer(transfer, status);
  if (!source) return status;
  return read_direct_record(*source, record, bytes, false);
}

int internal_write(std::string& text, std::string_view format, const std::vector<OutItem>& items) {
  OutputRecords output;
  if (int status = format_output(format, items, output)) return status;
  if (output.records.size() > 1 || output.records[0].size() > text.size()) {
    return kErrOffEndOfRecord;
  }
  std::string& record = output.records[0];
  record.resize(text.size(), ' ');
  text = record;
  return kOk;
}

int internal_read(std::string_view text, std::string_view format,
                  const std::vector<InItem>& items) {
  bool consumed = false;
  return format_input(format, items, [&](std::string& record) {
    if (consumed) return kEndOfFile;
    consumed = true;
    record.assign(text);
    return kOk;
  });
}

constexpr std::size_t kListRecordLength = 80;

std::string list_item_text(const OutItem& item, bool starts_record) {
  switch (item.kind) {
    case OutItem::Kind::integer:
      return " " + std::to_string(item.integer);
    case OutItem::Kind::real: {
      char buffer[64];
      return std::string(buffer, format_list_real(item.real, buffer));
    }
    case OutItem::Kind::text:
      return (starts_record ? " " : "") + std::string(item.text);
  }
  return {};
}

int list_directed_write(Transfer& transfer, const std::vector<OutItem>& items) {
  int status = kOk;
  Unit* target = unit_for_transfer(transfer, status);
  if (!target) return status;
  std::string record;
  for (const OutItem& item : items) {
    std::string text = list_item_text(item, record.empty());
    if (!record.empty() && record.size() + text.size() >= kListRecordLength) {
      if ((status = write_sequential_record(*target, record, false))) return status;
      record.clear();
      text = list_item_text(item, true);
    }
    record += text;
  }
  return write_sequential_record(*target, record, false);
}

// Touches only the unit's own entry, as a worker thread in its turn may.
int whole_records_write(Transfer& transfer, std::string_view records) {
  int status = kOk;
  Unit* target = unit_for_transfer(transfer, status);
  if (target && target->access != Access::sequential) status = kErrDirectNotAllowed;
  if (status != kOk) return status;
  target->written = true;
  return append_output(*target, records.data(), records.size());
}

}  // namespace

// ---- Formatted sequential ----

int try_write_record_items(int unit, std::string_view format, const std::vector<OutItem>& items) {
  Transfer transfer = unit_transfer(Direction::writing, unit, format);
  return end_transfer(transfer, formatted_sequential_write(transfer, format, items));
}

void write_record_items(int unit, std::string_view format, const std::vector<OutItem>& items) {
  Transfer transfer = unit_transfer(Direction::writing, unit, format);
  end_transfer_or_raise(transfer, formatted_sequential_write(transfer, format, items));
}

int try_read_record_items(int unit, std::string_view format, const std::vector<InItem>& items) {
  Transfer transfer = unit_transfer(Direction::reading, unit, format);
  return end_transfer(transfer, formatted_sequential_read(transfer, format, items));
}

void read_record_items(int unit, std::string_view format, const std::vector<InItem>& items) {
  Transfer transfer = unit_transfer(Direction::reading, unit, format);
  end_transfer_or_raise(transfer, formatted_sequential_read(transfer, format, items));
}

// ---- Formatted direct ----

int try_write_direct_items(int unit, int record, std::string_view format,
                           const std::vector<OutItem>& items) {
  Transfer transfer = unit_transfer(Direction::writing, unit, format, Access::direct);
  return end_transfer(transfer, formatted_direct_write(transfer, record, format, items));
}

void write_direct_items(int unit, int record, std::string_view format,
                        const std::vector<OutItem>& items) {
  Transfer transfer = unit_transfer(Direction::writing, unit, format, Access::direct);
  end_transfer_or_raise(transfer, formatted_direct_write(transfer, record, format, items));
}

int try_read_direct_items(int unit, int record, std::string_view format,
                          const std::vector<InItem>& items) {
  Transfer transfer = unit_transfer(Direction::reading, unit, format, Access::direct);
  return end_transfer(transfer, formatted_direct_read(transfer, record, format, items));
}

void read_direct_items(int unit, int record, std::string_view format,
                       const std::vector<InItem>& items) {
  Transfer transfer = unit_transfer(Direction::reading, unit, format, Access::direct);
  end_transfer_or_raise(transfer, formatted_direct_read(transfer, record, format, items));
}

int try_read_direct_records(int unit, int first_record, std::span<std::byte> bytes,
                            std::size_t& got) {
  got = 0;
  Transfer transfer = unit_transfer(Direction::reading, unit, "(A)", Access::direct);
  int status = kOk;
  if (Unit* source = unit_for_transfer(transfer, status)) {
    status = read_direct_records(*source, first_record, bytes, got);
  }
  return end_transfer(transfer, status);
}

// ---- Unformatted direct ----

int try_read_direct_bytes(int unit, int record, std::span<std::byte> bytes) {
  Transfer transfer =
      unit_transfer(Direction::reading, unit, "", Access::direct, Form::unformatted);
  return end_transfer(transfer, unformatted_direct_read(transfer, record, bytes));
}

void read_direct_bytes(int unit, int record, std::span<std::byte> bytes) {
  Transfer transfer =
      unit_transfer(Direction::reading, unit, "", Access::direct, Form::unformatted);
  end_transfer_or_raise(transfer, unformatted_direct_read(transfer, record, bytes));
}

int try_write_direct_bytes(int unit, int record, std::span<const std::byte> bytes) {
  Transfer transfer =
      unit_transfer(Direction::writing, unit, "", Access::direct, Form::unformatted);
  int status = kOk;
  if (Unit* target = unit_for_transfer(transfer, status)) {
    status = write_direct_record(*target, record, bytes);
  }
  return end_transfer(transfer, status);
}

// ---- Internal files ----

int try_write_text_items(std::string& text, std::string_view format,
                         const std::vector<OutItem>& items) {
  return end_transfer(text_transfer(Direction::writing, format),
                      internal_write(text, format, items));
}

void write_text_items(std::string& text, std::string_view format,
                      const std::vector<OutItem>& items) {
  end_transfer_or_raise(text_transfer(Direction::writing, format),
                        internal_write(text, format, items));
}

int try_read_text_items(std::string_view text, std::string_view format,
                        const std::vector<InItem>& items) {
  return end_transfer(text_transfer(Direction::reading, format),
                      internal_read(text, format, items));
}

void read_text_items(std::string_view text, std::string_view format,
                     const std::vector<InItem>& items) {
  end_transfer_or_raise(text_transfer(Direction::reading, format),
                        internal_read(text, format, items));
}

// ---- List-directed output ----

int try_write_list_items(int unit, const std::vector<OutItem>& items) {
  Transfer transfer = unit_transfer(Direction::writing, unit, "");
  return end_transfer(transfer, list_directed_write(transfer, items));
}

void write_list_items(int unit, const std::vector<OutItem>& items) {
  Transfer transfer = unit_transfer(Direction::writing, unit, "");
  end_transfer_or_raise(transfer, list_directed_write(transfer, items));
}

// Worker threads call this, one at a time: its transfer is its own and is not recorded as the
// program's latest, and only the unit's own entry changes.
void write_whole_records(int unit, std::string_view records) {
  Transfer transfer = unit_transfer(Direction::writing, unit, "");
  if (int status = whole_records_write(transfer, records)) raise_io_failure(transfer, status);
}

std::string_view record_end(int unit) {
  static const Unit unattached_file;
  const Unit* target = find_unit(unit);
  return line_end(target ? *target : unattached_file);
}

// ---- The I/O failure report ----

namespace {

// The latest operation that the main thread ended, for raise_io_failure(status).
struct LatestTransfer {
  Transfer transfer;
};

}  // namespace

int end_transfer(const Transfer& transfer, int status) {
  program_state<LatestTransfer>().transfer = transfer;
  return status;
}

void end_transfer_or_raise(const Transfer& transfer, int status) {
  end_transfer(transfer, status);
  if (status != kOk) raise_io_failure(transfer, status);
}

void raise_io_failure(const Transfer& transfer, int status) {
  std::string report = std::string(transfer.operation) + ": " + status_message(status) + "\n";
  if (transfer.internal) {
    report += "apparent state: internal I/O\n";
  } else {
    const Unit* unit = find_unit(transfer.unit);
    std::string name = unit && unit->connected && !unit->console ? unit->name : transfer.file_name;
    report += "apparent state: unit " + std::to_string(transfer.unit) + " ";
    report += name.empty() ? "(unnamed)\n" : "named " + name + "\n";
  }
  if (!transfer.format.empty()) report += "last format: " + transfer.format + "\n";
  report += std::string("lately ") + (transfer.reading ? "reading " : "writing ") +
            (transfer.sequential ? "sequential " : "direct ") +
            (transfer.formatted ? "formatted " : "unformatted ") +
            (transfer.internal ? "internal" : "external") + " IO\n";
  throw IoFailure{status, report};
}

void raise_io_failure(int status) {
  raise_io_failure(program_state<LatestTransfer>().transfer, status);
}

}  // namespace textio
