#include "fuzzing/literal_index.hpp"

#include <algorithm>
#include <cstring>

namespace fuzzing {

namespace {

constexpr std::size_t kKey = 12;
constexpr std::size_t kValue = 68;
constexpr std::size_t kRecord = 82;

expfile::RecordKey to_key(std::string_view text) {
  expfile::RecordKey key;
  key.fill(' ');
  std::copy_n(text.begin(), std::min(text.size(), kKey), key.begin());
  return key;
}

const expfile::RecordKey kDeleted = to_key("~~~~~~~~~~~~");

bool is_next(std::string_view key) {
  return key.size() == kKey && key.find_first_not_of(' ') == std::string_view::npos;
}

void assign(std::string& field, std::string_view text) {
  for (std::size_t i = 0; i < field.size(); ++i) field[i] = i < text.size() ? text[i] : ' ';
}

}  // namespace

LiteralIndex::LiteralIndex(std::string file) : file_(std::move(file)) {
  reopen();
}

void LiteralIndex::reopen() {
  keys_.clear();
  for (std::size_t start = 0; start < file_.size(); start += kRecord) {
    const expfile::RecordKey key = to_key(std::string_view(file_).substr(start, kKey));
    keys_.push_back(key == to_key("") ? kDeleted : key);
  }
  const int count = static_cast<int>(keys_.size());
  order_.assign(keys_.size(), 0);
  expfile::KEYSORT(keys_, order_, count, static_cast<int>(kKey));
  order_length_ = count;
  while (order_length_ > 0 && key_at(order_length_) == kDeleted) --order_length_;
  read_position_ = 0;
}

const expfile::RecordKey& LiteralIndex::key_at(int position) const {
  return keys_[static_cast<std::size_t>(order_[static_cast<std::size_t>(position - 1)] - 1)];
}

int LiteralIndex::step_to_next() {
  if (read_position_ >= order_length_) return 0;
  ++read_position_;
  while (read_position_ < order_length_ && key_at(read_position_) == kDeleted) ++read_position_;
  return key_at(read_position_) == kDeleted ? 0 : order_[read_position_ - 1];
}

int LiteralIndex::search(std::string_view prefix) {
  read_position_ = 0;
  for (int position = 1; position <= order_length_; ++position) {
    read_position_ = position;
    const expfile::RecordKey& key = key_at(position);
    if (key != kDeleted && std::equal(prefix.begin(), prefix.end(), key.begin())) {
      return order_[position - 1];
    }
  }
  return 0;
}

int LiteralIndex::locate(std::string_view key) {
  return is_next(key) ? step_to_next() : search(key);
}

int LiteralIndex::find_exact(const expfile::RecordKey& key) const {
  for (int position = 1; position <= order_length_; ++position) {
    if (key_at(position) == key) return order_[position - 1];
  }
  return 0;
}

int LiteralIndex::read(std::string& key, std::string& value) {
  if (value == "DELETE") {
    const int record = locate(key);
    if (record == 0) return 1;
    remove(keys_[record - 1]);
    return 0;
  }
  std::fill(value.begin(), value.end(), ' ');
  const bool next = is_next(key);
  const int record = locate(key);
  if (record == 0) return 1;
  const std::string_view text = std::string_view(file_).substr((record - 1) * kRecord, kRecord - 2);
  if (next) assign(key, text.substr(0, kKey));
  assign(value, text.substr(next ? kKey : key.size(), kValue));
  return 0;
}

void LiteralIndex::remove(const expfile::RecordKey& key) {
  const int record = find_exact(key);
  if (record == 0) return;
  keys_[record - 1] = kDeleted;
  write_record(record, kDeleted, "");
}

int LiteralIndex::append(const expfile::RecordKey& key) {
  keys_.push_back(key);
  const int record = static_cast<int>(keys_.size());
  order_.resize(keys_.size());
  int position = order_length_;
  while (position > 0 && std::memcmp(key.data(), key_at(position).data(), kKey) < 0) {
    order_[position] = order_[position - 1];
    --position;
  }
  order_[position] = record;
  ++order_length_;
  if (position + 1 <= read_position_) ++read_position_;
  return record;
}

void LiteralIndex::write(std::string_view key, std::string_view value) {
  const expfile::RecordKey record_key = to_key(key);
  int record = find_exact(record_key);
  if (record == 0) record = append(record_key);
  write_record(record, record_key, value);
}

void LiteralIndex::write_record(int record, const expfile::RecordKey& key, std::string_view value) {
  std::string text(key.begin(), key.end());
  text += value;
  text.resize(kKey + kValue, ' ');
  text += "\r\n";
  const std::size_t start = static_cast<std::size_t>(record - 1) * kRecord;
  if (file_.size() < start + kRecord) file_.resize(start + kRecord, ' ');
  file_.replace(start, kRecord, text);
}

}  // namespace fuzzing
