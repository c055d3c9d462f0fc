// The in-memory index of an experiment file: two program-wide slots, each serving one open file
// by its unit number. The index is built from the keys of every record on the first access and
// afterwards every lookup is done in memory; only the record concerned is read or written.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "textio/units.hpp"

namespace expfile {

// The 12 key characters of one record, blank-padded.
using RecordKey = std::array<char, 12>;

// Number of records each slot holds without growing its tables.
inline constexpr int kSlotCapacity = 30000;

// True when a slot holds the index of `unit`.
bool ISAMSTARTED(int unit);

// Builds the index of the file open on `unit` in the first free slot. Stops the run with
// "Halt in STARTISAM" when both slots are in use.
void STARTISAM(int unit);

// The lookup behind KEYREAD (exact, prefix or next read, by the key's length and content);
// returns 0 when a record was found, 1 when none was. `key` has at most 12 characters.
int ISAMREAD(int unit, std::string& key, std::string& value);

// The lookup of ISAMREAD without reading the record: moves the read position the same way and
// returns the full 12-character key of the record found.
std::optional<std::string> find_record_key(int unit, std::string_view key);

// Overwrites the live record with this key in place, or appends a new record. `value` holds at
// most 68 characters.
void ISAMWRITE(int unit, std::string_view key, std::string_view value);

// Marks the live record with this 12-character key as deleted, in the index and in the file.
void ISAMDELETE(int unit, std::string_view key);

// Frees the slot of `unit`. Returns false when no slot held it.
bool release_index(int unit);

// The tables of an index taken from its slot while its file is closed and opened again: the
// start-up reads a file, closes it and opens it again for update, and building the index twice
// doubled its cost. Whoever closes the file holds them until it is open again; empty when there
// is nothing to keep.
class KeptIndex {
 public:
  KeptIndex();
  KeptIndex(KeptIndex&&) noexcept;
  KeptIndex& operator=(KeptIndex&&) noexcept;
  ~KeptIndex();

  struct Tables;  // the slot's tables, as the index keeps them

 private:
  friend KeptIndex release_index_keeping_tables(int unit);
  friend void adopt_index(int unit, KeptIndex& kept, const std::optional<textio::FileStamp>& file);
  std::unique_ptr<Tables> tables_;
};

// Frees the slot of `unit` as release_index does, and hands back its tables when nothing was
// written through it since they were built (empty otherwise, and when no slot held it).
KeptIndex release_index_keeping_tables(int unit);

// Gives `unit`, just opened, the kept tables when `file` (the file open on it, or the file that
// it is an unwritten copy of) is the file they were built from, with the same identity, size and
// times, and so holds what a new build would give; otherwise the next access builds the index
// afresh. `kept` is empty afterwards either way. Call it only under the experiment's lock, which
// every writer of the file takes.
void adopt_index(int unit, KeptIndex& kept, const std::optional<textio::FileStamp>& file);

// Fills order[0..count) with the entry numbers 1..count and sorts it so that the keys they
// designate (entry n is keys[n - 1]) ascend over their first `key_length` characters, compared
// as unsigned bytes.
void KEYSORT(std::span<const RecordKey> keys, std::span<int> order, int count, int key_length);

// One step of KEYSORT's gap sequence: starting from gap = count and divisor = 8, each call
// moves to the next gap and returns true, or returns false when the sort is complete.
bool next_keysort_gap(int& gap, int& divisor);

}  // namespace expfile
