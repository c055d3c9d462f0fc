#include "expfile/index.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <span>
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
// first record". Record numbers count from 1 too.
//
// Each position holds its key with the deleted flag beside it, so that a deleted record keeps
// its place among the keys around it. The live keys stay in ascending order (see
// live_keys_ascend), which lets every lookup search the order in logarithmic time instead of
// walking it; where they might not, the lookups walk it as its definition says.
//
// An entry takes sixteen bytes, so that the sort that builds the order moves it in one piece.
struct OrderEntry {
  RecordKey key;
  unsigned record : 31;
  unsigned deleted : 1;
};
static_assert(sizeof(OrderEntry) == 16);

// A key's bytes as two integers, to tell equal keys apart without a library call.
struct KeyWords {
  std::uint64_t head;
  std::uint32_t tail;

  explicit KeyWords(const RecordKey& key) {
    std::memcpy(&head, key.data(), sizeof head);
    std::memcpy(&tail, key.data() + sizeof head, sizeof tail);
  }
};

bool same_key(const RecordKey& a, const RecordKey& b) {
  const KeyWords x(a);
  const KeyWords y(b);
  return x.head == y.head && x.tail == y.tail;
}

// How many entries hold each value of each key byte.
using ByteCounts = std::array<std::array<std::uint32_t, 256>, sizeof(RecordKey)>;

// Counts every key byte in one sweep: each pass of the sort then only moves entries.
void count_key_bytes(std::span<const OrderEntry> entries, ByteCounts& counts) {
  for (auto& byte : counts) byte.fill(0);
  for (const OrderEntry& entry : entries) {
    for (std::size_t b = 0; b < sizeof(RecordKey); ++b) {
      ++counts[b][static_cast<unsigned char>(entry.key[b])];
    }
  }
}

// One stable pass of the radix sort: `from` ordered by key byte `b` into `to`, given how many
// entries hold each value of that byte.
void distribute_by_byte(std::span<const OrderEntry> from, OrderEntry* to, std::size_t b,
                        const std::array<std::uint32_t, 256>& counts) {
  std::array<std::uint32_t, 256> starts;
  std::exclusive_scan(counts.begin(), counts.end(), starts.begin(), std::uint32_t{0});
  for (const OrderEntry& entry : from)
    to[starts[static_cast<unsigned char>(entry.key[b])]++] = entry;
}

// Sorts entries that stand in record order into the order of their keys as unsigned bytes,
// equal keys staying in record order. A radix sort: one stable pass for each key byte, from the
// last; a byte that every key shares takes no part. `scratch` has room for every entry.
void sort_in_record_order(std::vector<OrderEntry>& entries, std::span<OrderEntry> scratch) {
  if (entries.size() < 2) return;
  ByteCounts counts;
  count_key_bytes(entries, counts);
  std::span<OrderEntry> sorted(entries);
  std::span<OrderEntry> other = scratch.first(entries.size());
  for (std::size_t b = sizeof(RecordKey); b-- > 0;) {
    const std::uint32_t sharing_first = counts[b][static_cast<unsigned char>(sorted[0].key[b])];
    if (sharing_first == entries.size()) continue;
    distribute_by_byte(sorted, other.data(), b, counts[b]);
    std::swap(sorted, other);
  }
  if (sorted.data() != entries.data()) std::copy(sorted.begin(), sorted.end(), entries.begin());
}

// Records read at once while the index is built: 164 KB of 82-byte records, so that the largest
// file is read in 15 system calls. The block is a whole number of pages for any even record
// length, so that the C library reads it straight into the buffer, in one call.
constexpr std::size_t kRecordsPerRead = 2048;

// The room a build works in, taken once for the file's size: first the blocks of records read,
// then the sort's second table. Left uninitialised, so that only the pages the file fills are
// ever touched.
class BuildScratch {
 public:
  // For the file `file` (unknown: read in full blocks) with records of `record_length`.
  BuildScratch(const std::optional<textio::FileStamp>& file, std::size_t record_length)
      : record_length_(record_length), block_records_(kRecordsPerRead) {
    const auto file_bytes =
        static_cast<std::size_t>(file ? std::max<std::int64_t>(file->size, 0) : 0);
    const std::size_t records = ceiling(file_bytes, record_length);
    // A small file is read whole at once: one record more than it holds shows its end.
    if (file) block_records_ = std::min(block_records_, records + 1);
    room_for(std::max(ceiling(block_records_ * record_length_, sizeof(OrderEntry)), records));
  }

  std::size_t record_length() const { return record_length_; }
  std::size_t block_records() const { return block_records_; }
  std::span<std::byte> block() {
    const std::size_t length = block_records_ * record_length_;
    return {reinterpret_cast<std::byte*>(room_for(ceiling(length, sizeof(OrderEntry)))), length};
  }
  // Room for `count` entries; a file that grew since its size was taken gets more.
  std::span<OrderEntry> entries(std::size_t count) { return {room_for(count), count}; }

 private:
  static std::size_t ceiling(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit;
  }
  OrderEntry* room_for(std::size_t count) {
    if (count > size_) {
      entries_ = std::make_unique_for_overwrite<OrderEntry[]>(count);
      size_ = count;
    }
    return entries_.get();
  }

  std::size_t record_length_;
  std::size_t block_records_;
  std::unique_ptr<OrderEntry[]> entries_;
  std::size_t size_ = 0;
};

struct IndexSlot {
  int unit = 0;  // 0 marks a free slot
  int record_count = 0;
  std::vector<OrderEntry> order;  // order[p - 1] is key order position p; all are searched
  int read_position = 0;
  // False only after a key sorting after the deleted marker was inserted behind a deleted
  // record: the old insertion rule can then put live keys out of order.
  bool live_keys_ascend = true;
  // The file the index was built from, while nothing has been written through it.
  std::optional<textio::FileStamp> built_from;
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
  return same_key(key, kDeleted);
}

bool is_next_request(std::string_view key) {
  return key.size() == static_cast<std::size_t>(kKeyLength) && textio::trim_right(key).empty();
}

// Key order compares the key bytes as unsigned values.
int compare_keys(const RecordKey& a, const RecordKey& b, int length) {
  return std::memcmp(a.data(), b.data(), static_cast<std::size_t>(length));
}

int compare_prefix(const RecordKey& key, std::string_view prefix) {
  return std::memcmp(key.data(), prefix.data(), prefix.size());
}

// What the insertion rule compares a new key with: a deleted record counts as the marker.
const RecordKey& effective_key(const OrderEntry& entry) {
  return entry.deleted ? kDeleted : entry.key;
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

int order_length(const IndexSlot& slot) {
  return static_cast<int>(slot.order.size());
}

const OrderEntry& entry_at(const IndexSlot& slot, int position) {
  return slot.order[static_cast<std::size_t>(position - 1)];
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

// Enters the record that starts at `bytes`, of which `available` were read, after the last: the
// last record of a file cut short reads as if blank-padded, and a blank key as deleted. The entry
// is written in place, a field at a time: one built aside and copied costs twice as much.
void enter_record(std::vector<OrderEntry>& entries, const std::byte* bytes, std::size_t available) {
  const auto record = static_cast<unsigned>(entries.size()) + 1;
  OrderEntry& entry = entries.emplace_back();
  if (available >= entry.key.size()) {
    std::memcpy(entry.key.data(), bytes, entry.key.size());
  } else {
    entry.key.fill(' ');
    std::memcpy(entry.key.data(), bytes, available);
  }
  entry.record = record;
  entry.deleted = is_deleted(entry.key) || same_key(entry.key, kBlankKey);
  if (entry.deleted) entry.key = kDeleted;
}

// Enters every record up to the end of the file into the order, in record order, reading them
// a block at a time into the scratch. Any other failure ends the run: an index that silently
// missed records would let later appends overwrite them.
void read_all_keys(IndexSlot& slot, BuildScratch& scratch) {
  // Allocated once per slot; a file beyond the capacity grows the table rather than losing
  // records.
  std::vector<OrderEntry>& entries = slot.order;
  entries.reserve(kSlotCapacity);
  entries.clear();
  const std::span<std::byte> block = scratch.block();
  const std::size_t record_length = scratch.record_length();
  for (int first_record = 1;; first_record += static_cast<int>(scratch.block_records())) {
    std::size_t got = 0;
    const int status = textio::try_read_direct_records(slot.unit, first_record, block, got);
    if (status != textio::kOk) textio::raise_io_failure(status);
    for (std::size_t start = 0; start < got; start += record_length) {
      enter_record(entries, block.data() + start, got - start);
    }
    if (got < block.size()) break;
  }
  slot.record_count = static_cast<int>(entries.size());
}

// Puts the entries, one for each record, in the order that KEYSORT gives their keys.
void sort_as_keysort(std::vector<OrderEntry>& entries) {
  std::vector<RecordKey> keys(entries.size());
  std::vector<bool> deleted(entries.size());
  for (const OrderEntry& entry : entries) {
    keys[static_cast<std::size_t>(entry.record - 1)] = entry.key;
    deleted[static_cast<std::size_t>(entry.record - 1)] = entry.deleted;
  }
  std::vector<int> order(entries.size());
  KEYSORT(keys, order, static_cast<int>(order.size()), kKeyLength);
  for (std::size_t p = 0; p < order.size(); ++p) {
    const auto record = static_cast<std::size_t>(order[p] - 1);
    entries[p] = OrderEntry{keys[record], static_cast<unsigned>(order[p]), deleted[record]};
  }
}

// Sorts the records into key order and drops the deleted records that sort last, which are never
// searched. Where no two searched keys are equal the order is fixed by the keys alone, and any
// sort by key gives what KEYSORT gives; equal keys (a file edited by hand, a run cut short) keep
// the order that KEYSORT puts them in.
void sort_records(IndexSlot& slot, BuildScratch& scratch) {
  std::vector<OrderEntry>& entries = slot.order;
  sort_in_record_order(entries, scratch.entries(entries.size()));
  std::size_t searched = entries.size();
  while (searched > 0 && entries[searched - 1].deleted) --searched;
  for (std::size_t p = 1; p < searched; ++p) {
    if (same_key(entries[p - 1].key, entries[p].key)) {
      sort_as_keysort(entries);
      break;
    }
  }
  entries.resize(searched);
}

// The first live position at or after `position`, up to `end`; `end` when there is none.
int live_at_or_after(const IndexSlot& slot, int position, int end) {
  while (position < end && entry_at(slot, position).deleted) ++position;
  return position;
}

// The first live position whose key is not below `target` by `compare`, or past the end. A binary
// search among the live keys, passing over deleted records where it lands on them.
template <typename Compare>
int first_live_not_below(const IndexSlot& slot, Compare compare) {
  int low = 1;
  int high = order_length(slot) + 1;
  int found = high;
  while (low < high) {
    const int middle = low + (high - low) / 2;
    const int live = live_at_or_after(slot, middle, high);
    if (live == high) {
      high = middle;
    } else if (compare(entry_at(slot, live).key) < 0) {
      low = live + 1;
    } else {
      found = live;
      high = middle;
    }
  }
  return found;
}

// The record at the position that follows the read position, deleted entries skipped, or 0.
int step_to_next(IndexSlot& slot) {
  int& position = slot.read_position;
  const int length = order_length(slot);
  if (position >= length) return 0;
  ++position;
  while (position < length && entry_at(slot, position).deleted) ++position;
  const OrderEntry& entry = entry_at(slot, position);
  return entry.deleted ? 0 : entry.record;
}

// The first live position whose key begins with `prefix`, or past the end.
int find_prefix(const IndexSlot& slot, std::string_view prefix) {
  const int length = order_length(slot);
  if (slot.live_keys_ascend) {
    const int position = first_live_not_below(
        slot, [prefix](const RecordKey& key) { return compare_prefix(key, prefix); });
    const bool matches =
        position <= length && compare_prefix(entry_at(slot, position).key, prefix) == 0;
    return matches ? position : length + 1;
  }
  for (int position = 1; position <= length; ++position) {
    const OrderEntry& entry = entry_at(slot, position);
    if (!entry.deleted && compare_prefix(entry.key, prefix) == 0) return position;
  }
  return length + 1;
}

// The first live record in key order whose key begins with `prefix`, or 0. The read position
// ends on it, or at the end of the key order.
int search(IndexSlot& slot, std::string_view prefix) {
  const int position = find_prefix(slot, prefix);
  if (position > order_length(slot)) {
    slot.read_position = order_length(slot);
    return 0;
  }
  slot.read_position = position;
  return entry_at(slot, position).record;
}

int locate(IndexSlot& slot, std::string_view key) {
  return is_next_request(key) ? step_to_next(slot) : search(slot, key);
}

// The first position whose key is exactly this one, the deleted marker matching deleted records,
// or 0.
int find_exact(const IndexSlot& slot, const RecordKey& key) {
  if (is_deleted(key)) {
    for (int position = 1; position <= order_length(slot); ++position) {
      if (entry_at(slot, position).deleted) return position;
    }
    return 0;
  }
  const int position = find_prefix(slot, std::string_view(key.data(), key.size()));
  return position <= order_length(slot) ? position : 0;
}

// Where a new key goes: after the last position whose key is not above it, a deleted record
// counting as the deleted marker.
int insertion_index(const IndexSlot& slot, const RecordKey& key) {
  if (slot.live_keys_ascend && compare_keys(key, kDeleted, kKeyLength) < 0) {
    // Deleted records count as above every such key: the new key follows the last live one
    // not above it.
    int after = first_live_not_below(slot, [&key](const RecordKey& other) {
      return compare_keys(other, key, kKeyLength) > 0 ? 0 : -1;
    });
    while (after > 1 && entry_at(slot, after - 1).deleted) --after;
    return after - 1;
  }
  int index = order_length(slot);
  while (index > 0 && compare_keys(key, effective_key(entry_at(slot, index)), kKeyLength) < 0) {
    --index;
  }
  return index;
}

bool live_keys_in_order(const IndexSlot& slot) {
  const OrderEntry* previous = nullptr;
  for (const OrderEntry& entry : slot.order) {
    if (entry.deleted) continue;
    if (previous && compare_keys(previous->key, entry.key, kKeyLength) > 0) return false;
    previous = &entry;
  }
  return true;
}

// Enters a new record after the last one and inserts it at its place in the key order.
int append_entry(IndexSlot& slot, const RecordKey& key) {
  const int index = insertion_index(slot, key);
  ++slot.record_count;
  slot.order.insert(slot.order.begin() + index,
                    OrderEntry{key, static_cast<unsigned>(slot.record_count), is_deleted(key)});
  if (compare_keys(key, kDeleted, kKeyLength) >= 0)
    slot.live_keys_ascend = live_keys_in_order(slot);
  // The read position is a place in the key order: it stays on the record it stood on.
  if (index + 1 <= slot.read_position) ++slot.read_position;
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
  slot.built_from = textio::unit_file_stamp(unit);
  BuildScratch scratch(slot.built_from,
                       static_cast<std::size_t>(std::max(textio::unit_record_length(unit), 1)));
  read_all_keys(slot, scratch);
  sort_records(slot, scratch);
  slot.live_keys_ascend = true;
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
  const RecordKey& found = entry_at(slot, slot.read_position).key;
  return std::string(found.begin(), found.end());
}

void ISAMWRITE(int unit, std::string_view key, std::string_view value) {
  IndexSlot& slot = started_slot(unit);
  slot.built_from.reset();
  const RecordKey record_key = to_key(key);
  const int position = find_exact(slot, record_key);
  const int record =
      position != 0 ? entry_at(slot, position).record : append_entry(slot, record_key);
  write_record_text(unit, record, record_key, value);
}

void ISAMDELETE(int unit, std::string_view key) {
  IndexSlot& slot = started_slot(unit);
  const int position = find_exact(slot, to_key(key));
  if (position == 0) return;
  slot.built_from.reset();
  OrderEntry& entry = slot.order[static_cast<std::size_t>(position - 1)];
  entry.deleted = true;
  write_record_text(unit, entry.record, kDeleted, "");
}

bool release_index(int unit) {
  IndexSlot* slot = slot_of(unit);
  if (slot == nullptr) return false;
  slot->unit = 0;
  slot->record_count = 0;
  slot->order.clear();
  slot->built_from.reset();
  return true;
}

struct KeptIndex::Tables {
  IndexSlot slot;
};

KeptIndex::KeptIndex() = default;
KeptIndex::KeptIndex(KeptIndex&&) noexcept = default;
KeptIndex& KeptIndex::operator=(KeptIndex&&) noexcept = default;
KeptIndex::~KeptIndex() = default;

KeptIndex release_index_keeping_tables(int unit) {
  KeptIndex kept;
  IndexSlot* slot = slot_of(unit);
  if (slot == nullptr) return kept;
  if (slot->built_from) kept.tables_.reset(new KeptIndex::Tables{std::move(*slot)});
  release_index(unit);
  return kept;
}

void adopt_index(int unit, KeptIndex& kept, const std::optional<textio::FileStamp>& file) {
  std::unique_ptr<KeptIndex::Tables> tables = std::move(kept.tables_);
  if (!tables || ISAMSTARTED(unit) || !file || file != tables->slot.built_from) return;
  IndexSlot& slot = take_free_slot(unit);
  slot = std::move(tables->slot);
  slot.unit = unit;
  slot.read_position = 0;
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
