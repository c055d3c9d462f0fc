#include "expfile/index.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "expfile/store.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace expfile {
namespace {

// Positions in the key order count from 1, as the read position does: position 0 is "before the
// first record". Entry numbers are record numbers and count from 1 too.
struct IndexSlot {
  int unit = 0;  // 0 marks a free slot
  int record_count = 0;
  std::vector<RecordKey> keys;  // keys[n - 1] is the key of record n
  std::vector<int> order;       // order[p - 1] is the entry at key order position p
  int order_length = 0;         // positions 1..order_length are searched
  int read_position = 0;
};

// The one home of the index state for the whole run.
struct IndexSlots {
  std::array<IndexSlot, 2> slots;
};

std::array<IndexSlot, 2>& index_slots() {
  return textio::program_state<IndexSlots>().slots;
}

RecordKey to_key(std::string_view text) {
  RecordKey key;
  key.fill(' ');
  std::copy_n(text.begin(), std::min(text.size(), key.size()), key.begin());
  return key;
}

const RecordKey kDeleted = to_key(kDeletedKey);
const RecordKey kBlankKey = to_key("");

bool is_deleted(const RecordKey& key) {
  return key == kDeleted;
}

bool is_next_request(std::string_view key) {
  return key.size() == static_cast<std::size_t>(kKeyLength) && textio::trim_right(key).empty();
}

bool starts_with(const RecordKey& key, std::string_view prefix) {
  return std::equal(prefix.begin(), prefix.end(), key.begin());
}

// Key order compares the key bytes as unsigned values.
int compare_keys(const RecordKey& a, const RecordKey& b, int length) {
  return std::memcmp(a.data(), b.data(), static_cast<std::size_t>(length));
}

IndexSlot* slot_of(int unit) {
  for (IndexSlot& slot : index_slots()) {
    if (slot.unit == unit && unit != 0) return &slot;
  }
  return nullptr;
}

IndexSlot& started_slot(int unit) {
  if (!ISAMSTARTED(unit)) STARTISAM(unit);
  return *slot_of(unit);
}

int entry_at(const IndexSlot& slot, int position) {
  return slot.order[position - 1];
}

const RecordKey& key_at(const IndexSlot& slot, int position) {
  return slot.keys[entry_at(slot, position) - 1];
}

IndexSlot& take_free_slot(int unit) {
  for (IndexSlot& slot : index_slots()) {
    if (slot.unit == 0) {
      slot.unit = unit;
      return slot;
    }
  }
  textio::write_record(textio::kTerminal, "(A)",
                       " *** ERROR *** No more ISAM style files can be opened");
  textio::stop_run("Halt in STARTISAM");
}

// Records read at once while the index is built: about a megabyte, so that even the largest
// file is read in a few system calls.
constexpr std::size_t kRecordsPerRead = 12800;

// The key of the record that starts at `record`, of which `available` bytes were read: the last
// record of a file cut short reads as if blank-padded.
RecordKey key_of_record(const std::byte* record, std::size_t available) {
  RecordKey key;
  key.fill(' ');
  std::memcpy(key.data(), record, std::min(available, key.size()));
  return key == kBlankKey ? kDeleted : key;
}

// Enters the key of every record up to the end of the file. Any other failure ends the run:
// an index that silently missed records would let later appends overwrite them.
void read_all_keys(IndexSlot& slot) {
  // Allocated once per slot; a file beyond the capacity grows the tables rather than losing
  // records.
  slot.keys.reserve(kSlotCapacity);
  slot.order.reserve(kSlotCapacity);
  slot.keys.clear();
  const std::size_t record_length =
      static_cast<std::size_t>(std::max(textio::unit_record_length(slot.unit), 1));
  const std::size_t block_length = kRecordsPerRead * record_length;
  // Left uninitialised: only the pages that a small file fills are ever touched.
  const auto block = std::make_unique_for_overwrite<std::byte[]>(block_length);
  for (int first_record = 1;; first_record += static_cast<int>(kRecordsPerRead)) {
    std::size_t got = 0;
    const int status = textio::try_read_direct_records(slot.unit, first_record,
                                                       std::span(block.get(), block_length), got);
    if (status != textio::kOk) textio::raise_io_failure(status);
    for (std::size_t start = 0; start < got; start += record_length) {
      slot.keys.push_back(key_of_record(block.get() + start, got - start));
    }
    if (got < block_length) break;
  }
  slot.record_count = static_cast<int>(slot.keys.size());
}

// The record at the position that follows the read position, deleted entries skipped, or 0.
int step_to_next(IndexSlot& slot) {
  int& position = slot.read_position;
  if (position >= slot.order_length) return 0;
  ++position;
  while (position < slot.order_length && is_deleted(key_at(slot, position))) ++position;
  return is_deleted(key_at(slot, position)) ? 0 : entry_at(slot, position);
}

// The first live record in key order whose key begins with `prefix`, or 0. The read position
// ends on it, or at the end of the key order.
int search(IndexSlot& slot, std::string_view prefix) {
  slot.read_position = 0;
  for (int position = 1; position <= slot.order_length; ++position) {
    slot.read_position = position;
    const RecordKey& key = key_at(slot, position);
    if (!is_deleted(key) && starts_with(key, prefix)) return entry_at(slot, position);
  }
  return 0;
}

int locate(IndexSlot& slot, std::string_view key) {
  return is_next_request(key) ? step_to_next(slot) : search(slot, key);
}

// The record with exactly this key among the searched positions, or 0.
int find_exact(const IndexSlot& slot, const RecordKey& key) {
  for (int position = 1; position <= slot.order_length; ++position) {
    if (key_at(slot, position) == key) return entry_at(slot, position);
  }
  return 0;
}

// Enters a new record after the last one and inserts it at its place in the key order.
int append_entry(IndexSlot& slot, const RecordKey& key) {
  slot.keys.push_back(key);
  slot.record_count = static_cast<int>(slot.keys.size());
  slot.order.resize(static_cast<std::size_t>(slot.record_count));
  int position = slot.order_length;
  while (position > 0 && compare_keys(key, key_at(slot, position), kKeyLength) < 0) {
    slot.order[position] = slot.order[position - 1];
    --position;
  }
  slot.order[position] = slot.record_count;
  ++slot.order_length;
  // The read position is a place in the key order: it stays on the record it stood on.
  if (position + 1 <= slot.read_position) ++slot.read_position;
  return slot.record_count;
}

std::string read_record_text(int unit, int record) {
  std::string text(kRecordLength - 2, ' ');
  textio::read_direct(unit, record, "(A)", text);
  return text;
}

void write_record_text(int unit, int record, const RecordKey& key, std::string_view value) {
  std::string text(key.begin(), key.end());
  text += textio::fit(value, kValueLength);
  text += "\r\n";
  textio::write_direct(unit, record, "(A)", text);
  textio::flush_unit(unit);
}

}  // namespace

bool ISAMSTARTED(int unit) {
  return slot_of(unit) != nullptr;
}

void STARTISAM(int unit) {
  IndexSlot* indexed = slot_of(unit);
  IndexSlot& slot = indexed != nullptr ? *indexed : take_free_slot(unit);
  read_all_keys(slot);
  slot.order.resize(slot.keys.size());
  KEYSORT(slot.keys, slot.order, slot.record_count, kKeyLength);
  slot.order_length = slot.record_count;
  while (slot.order_length > 0 && is_deleted(key_at(slot, slot.order_length))) {
    --slot.order_length;
  }
  slot.read_position = 0;
}

int ISAMREAD(int unit, std::string& key, std::string& value) {
  require_short_key("ISAMREAD", key);
  IndexSlot& slot = started_slot(unit);
  std::fill(value.begin(), value.end(), ' ');
  const bool next = is_next_request(key);
  const int record = locate(slot, key);
  if (record == 0) return 1;
  const std::string text = read_record_text(unit, record);
  if (next) textio::assign_field(key, std::string_view(text).substr(0, kKeyLength));
  const std::size_t skipped = next ? static_cast<std::size_t>(kKeyLength) : key.size();
  textio::assign_field(value, std::string_view(text).substr(skipped, kValueLength));
  return 0;
}

std::optional<std::string> find_record_key(int unit, std::string_view key) {
  require_short_key("ISAMREAD", key);
  IndexSlot& slot = started_slot(unit);
  const int record = locate(slot, key);
  if (record == 0) return std::nullopt;
  const RecordKey& found = slot.keys[record - 1];
  return std::string(found.begin(), found.end());
}

void ISAMWRITE(int unit, std::string_view key, std::string_view value) {
  IndexSlot& slot = started_slot(unit);
  const RecordKey record_key = to_key(key);
  int record = find_exact(slot, record_key);
  if (record == 0) record = append_entry(slot, record_key);
  write_record_text(unit, record, record_key, value);
}

void ISAMDELETE(int unit, std::string_view key) {
  IndexSlot& slot = started_slot(unit);
  const int record = find_exact(slot, to_key(key));
  if (record == 0) return;
  slot.keys[record - 1] = kDeleted;
  write_record_text(unit, record, kDeleted, "");
}

bool release_index(int unit) {
  IndexSlot* slot = slot_of(unit);
  if (slot == nullptr) return false;
  slot->unit = 0;
  slot->record_count = 0;
  return true;
}

bool next_keysort_gap(int& gap, int& divisor) {
  if (gap == 15) divisor = 4;
  if (gap <= 1) return false;
  gap = gap / divisor * 2 + 1;
  return true;
}

void KEYSORT(std::span<const RecordKey> keys, std::span<int> order, int count, int key_length) {
  for (int i = 0; i < count; ++i) order[i] = i + 1;
  if (count <= 1) return;
  const int length = std::clamp(key_length, 0, kKeyLength);
  auto out_of_order = [&](int first, int second) {
    return compare_keys(keys[order[first] - 1], keys[order[second] - 1], length) > 0;
  };
  int gap = count;
  int divisor = 8;
  while (next_keysort_gap(gap, divisor)) {
    for (int start = 0; start < count - gap; ++start) {
      for (int i = start; i >= 0 && out_of_order(i, i + gap); i -= gap) {
        std::swap(order[i], order[i + gap]);
      }
    }
  }
}

}  // namespace expfile
