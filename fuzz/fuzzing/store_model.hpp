// What the keyed record store must answer, worked out from the records alone: how many live
// records hold each key and, where only one does, its value. The store fuzz target checks every
// answer of the store against this model.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

inline constexpr std::size_t kStoreKeyLength = 12;
inline constexpr std::size_t kStoreValueLength = 68;
inline constexpr std::size_t kStoreRecordLength = 82;

class StoreModel {
 public:
  // The records of a file of whole 82-byte records: blank keys and the deleted marker are dead.
  explicit StoreModel(std::string_view file);

  // Every key seen, live or dead, in key order.
  std::vector<std::string> keys() const;

  int count(const std::string& key) const;
  // The value of a key held by exactly one live record, when the model knows it.
  std::optional<std::string> value(const std::string& key) const;
  // The first live key in key order that begins with `prefix`.
  std::optional<std::string> first_with_prefix(std::string_view prefix) const;
  // The first live key in key order above `key`.
  std::optional<std::string> first_above(const std::string& key) const;

  // Keys with characters above "~" sort after the deleted marker, where the store's insertion
  // of new keys does not keep them in order; checks of key order hold only without them.
  bool ordered() const { return ordered_; }

  void write(const std::string& key, std::string_view value);  // value already 68 characters
  void remove(const std::string& key);

 private:
  struct Entry {
    int count = 0;
    std::optional<std::string> value;
  };
  void note_key(const std::string& key);
  std::map<std::string, Entry> entries_;
  bool ordered_ = true;
};

// The 12-character key of a request text as the store pads it.
std::string padded_key(std::string_view key);
// The length of a value without its trailing blanks and NULs, which WRITEXP drops.
std::size_t stored_length(std::string_view value);
// A value as WRITEXP stores it: trailing blanks and NULs dropped, blank-padded to 68.
std::string stored_value(std::string_view value);
bool is_dead_key(std::string_view key);

}  // namespace fuzzing
