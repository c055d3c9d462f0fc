#include "fuzzing/store_model.hpp"

#include <algorithm>

namespace fuzzing {

namespace {

constexpr std::string_view kDeletedKey = "~~~~~~~~~~~~";

// Key order compares bytes as unsigned values, which std::string's comparison also does.
bool above_deleted_marker(std::string_view key) {
  return std::any_of(key.begin(), key.end(),
                     [](char c) { return static_cast<unsigned char>(c) > '~'; });
}

}  // namespace

std::string padded_key(std::string_view key) {
  std::string padded(key.substr(0, kStoreKeyLength));
  padded.resize(kStoreKeyLength, ' ');
  return padded;
}

std::size_t stored_length(std::string_view value) {
  const std::size_t last = value.find_last_not_of(std::string_view(" \0", 2));
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string stored_value(std::string_view value) {
  std::string stored(value.substr(0, stored_length(value)));
  stored.resize(kStoreValueLength, ' ');
  return stored;
}

bool is_dead_key(std::string_view key) {
  return key == kDeletedKey || key.find_first_not_of(' ') == std::string_view::npos;
}

StoreModel::StoreModel(std::string_view file) {
  for (std::size_t start = 0; start + kStoreRecordLength <= file.size();
       start += kStoreRecordLength) {
    const std::string key(file.substr(start, kStoreKeyLength));
    if (is_dead_key(key)) continue;
    note_key(key);
    Entry& entry = entries_[key];
    ++entry.count;
    entry.value =
        entry.count == 1
            ? std::optional<std::string>(file.substr(start + kStoreKeyLength, kStoreValueLength))
            : std::nullopt;
  }
}

void StoreModel::note_key(const std::string& key) {
  ordered_ = ordered_ && !above_deleted_marker(key);
  entries_.try_emplace(key);
}

std::vector<std::string> StoreModel::keys() const {
  std::vector<std::string> keys;
  for (const auto& [key, entry] : entries_) keys.push_back(key);
  return keys;
}

int StoreModel::count(const std::string& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? 0 : found->second.count;
}

std::optional<std::string> StoreModel::value(const std::string& key) const {
  const auto found = entries_.find(key);
  if (found == entries_.end() || found->second.count != 1) return std::nullopt;
  return found->second.value;
}

std::optional<std::string> StoreModel::first_with_prefix(std::string_view prefix) const {
  for (auto it = entries_.lower_bound(std::string(prefix)); it != entries_.end(); ++it) {
    if (!it->first.starts_with(prefix)) break;
    if (it->second.count > 0) return it->first;
  }
  return std::nullopt;
}

std::optional<std::string> StoreModel::first_above(const std::string& key) const {
  for (auto it = entries_.upper_bound(key); it != entries_.end(); ++it) {
    if (it->second.count > 0) return it->first;
  }
  return std::nullopt;
}

void StoreModel::write(const std::string& key, std::string_view value) {
  note_key(key);
  Entry& entry = entries_[key];
  if (entry.count == 0) entry.count = 1;
  // With several records of this key, the one written is not known.
  entry.value = entry.count == 1 ? std::optional<std::string>(value) : std::nullopt;
}

void StoreModel::remove(const std::string& key) {
  Entry& entry = entries_[key];
  if (entry.count == 0) return;
  --entry.count;
  if (entry.count > 0) entry.value.reset();
}

}  // namespace fuzzing
