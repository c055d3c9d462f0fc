// The keyed record index as its definition words it, position by position, over a file held in
// memory: the key table, the key order walked from its start, deleted records marked in the key
// table. Slow but plain, it is what the store's faster index must answer exactly, record for
// record, read position and file bytes included.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "expfile/index.hpp"

namespace fuzzing {

class LiteralIndex {
 public:
  // Indexes a file of whole 82-byte records.
  explicit LiteralIndex(std::string file);

  // KEYREAD: exact, prefix or next read, or a delete when `value` is the six characters "DELETE".
  int read(std::string& key, std::string& value);
  // WRITEXP with a value already without its trailing blanks and NULs, of at most 68 characters.
  void write(std::string_view key, std::string_view value);
  // ISAMCLOSE and a new opening: the index is built again from the file.
  void reopen();

  const std::string& file() const { return file_; }

 private:
  int locate(std::string_view key);
  int step_to_next();
  int search(std::string_view prefix);
  int find_exact(const expfile::RecordKey& key) const;
  void remove(const expfile::RecordKey& key);
  int append(const expfile::RecordKey& key);
  void write_record(int record, const expfile::RecordKey& key, std::string_view value);
  const expfile::RecordKey& key_at(int position) const;

  std::string file_;
  std::vector<expfile::RecordKey> keys_;  // keys_[n - 1]: record n, the marker when deleted
  std::vector<int> order_;                // order_[p - 1]: the record at key order position p
  int order_length_ = 0;
  int read_position_ = 0;
};

}  // namespace fuzzing
