// The experiment-file store: arbitrary bytes as FUZZ.EXP, then exact, prefix and next reads,
// deletes, writes and reopenings. Every answer is checked against a model worked out from the
// records alone, and at the end the file, indexed afresh, must hold what the model holds. The
// index as its definition words it must give every answer and every byte of the file exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "expfile/index.hpp"
#include "expfile/store.hpp"
#include "fuzzing/inputs.hpp"
#include "fuzzing/literal_index.hpp"
#include "fuzzing/session.hpp"
#include "fuzzing/store_model.hpp"
#include "support/files.hpp"
#include "textio/units.hpp"

namespace {

using fuzzing::KeyForm;
using fuzzing::StoreAction;
using fuzzing::StoreModel;
using fuzzing::StoreOp;

constexpr int kUnit = 11;
constexpr const char* kFileName = "FUZZ.EXP";
constexpr std::size_t kFinalLookups = 64;
const std::string kDeleteRequest = "DELETE";
const std::string kNextKey(fuzzing::kStoreKeyLength, ' ');

void open_file() {
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = static_cast<int>(fuzzing::kStoreRecordLength);
  textio::open_unit(kUnit, kFileName, options);
}

std::string bracketed(const std::string& text) {
  return "[" + text + "]";
}

std::string listed(const std::vector<std::string>& keys) {
  std::string text;
  for (const std::string& key : keys) text += bracketed(key);
  return text.empty() ? "nothing" : text;
}

// Where next reads go on from: the key of the record the read position stands on, while the
// model can tell.
struct ReadPosition {
  bool known = true;
  std::string key;          // empty: before the first record
  bool on_deleted = false;  // the record there has been deleted since
};

class StoreRun {
 public:
  StoreRun(fuzzing::Session& session, StoreModel& model, fuzzing::LiteralIndex& literal)
      : session_(session), model_(model), literal_(literal) {}

  void apply(const StoreOp& op) {
    if (op.action == StoreAction::reopen) {
      reopen();
      return;
    }
    std::optional<std::string> key = request_key(op);
    if (!key) return;
    if (key->size() > fuzzing::kStoreKeyLength) {
      expect_stop(*key, op);
      return;
    }
    switch (op.action) {
      case StoreAction::read:
        read(*key, op.width);
        break;
      case StoreAction::remove:
        remove(*key);
        break;
      case StoreAction::write:
        write(*key, op.value);
        break;
      case StoreAction::reopen:
        break;
    }
  }

  void reopen() {
    fuzzing::trace("reopen");
    run([] {
      expfile::ISAMCLOSE(kUnit, "KEEP");
      open_file();
    });
    literal_.reopen();
    position_ = {};
  }

  // All live records through next reads from a fresh index, then every key through exact reads.
  void check_contents() {
    reopen();
    const std::vector<std::string> keys = model_.keys();
    std::vector<std::string> expected;
    for (const std::string& key : keys) expected.insert(expected.end(), model_.count(key), key);
    std::vector<std::string> delivered;
    run([&] {
      std::string value(fuzzing::kStoreValueLength, ' ');
      for (std::string key = kNextKey;
           delivered.size() <= expected.size() && expfile::KEYREAD(kUnit, key, value) == 0;
           key = kNextKey) {
        delivered.push_back(key);
      }
    });
    if (!model_.ordered()) std::sort(delivered.begin(), delivered.end());
    if (delivered != expected) {
      fuzzing::fail("next reads from a fresh index deliver " + listed(delivered) + " instead of " +
                    listed(expected));
    }
    for (std::size_t i = 0; i < keys.size() && i < kFinalLookups; ++i) {
      read(keys[i], static_cast<int>(fuzzing::kStoreValueLength));
    }
  }

 private:
  template <typename Body>
  void run(Body&& body) {
    const fuzzing::Outcome outcome = session_.run(body);
    if (outcome.ending != fuzzing::Ending::returned) {
      fuzzing::fail("a store operation ended the run: " + outcome.stop_text);
    }
  }

  std::optional<std::string> request_key(const StoreOp& op) const {
    const std::vector<std::string> keys = model_.keys();
    switch (op.form) {
      case KeyForm::known:
        if (keys.empty()) return std::nullopt;
        return keys[static_cast<std::size_t>(op.index) % keys.size()];
      case KeyForm::known_prefix:
        if (keys.empty()) return std::nullopt;
        return keys[static_cast<std::size_t>(op.index) % keys.size()].substr(
            0, static_cast<std::size_t>(op.prefix_length));
      case KeyForm::next:
        return kNextKey;
      case KeyForm::literal:
        return op.literal;
    }
    return std::nullopt;
  }

  // A key or a value too long for a record is a programmer error that stops the run.
  void expect_stop(const std::string& key, const StoreOp& op) {
    std::string value(static_cast<std::size_t>(op.width), ' ');
    const fuzzing::Outcome outcome = session_.run([&] {
      if (op.action == StoreAction::write) {
        expfile::WRITEXP(kUnit, key, op.value);
      } else {
        std::string own_key = key;
        expfile::KEYREAD(kUnit, own_key, value);
      }
    });
    if (outcome.ending != fuzzing::Ending::stopped ||
        outcome.stop_text.find("PROGRAMMER error") == std::string::npos) {
      fuzzing::fail("a key of 13 characters did not stop the run");
    }
  }

  static bool is_next(const std::string& key) { return key == kNextKey; }
  static bool is_prefix(const std::string& key) { return key.size() < fuzzing::kStoreKeyLength; }

  // The record that a request finds when the model can tell, and whether it can.
  std::optional<std::string> expected_find(const std::string& key, bool& predictable) const {
    predictable = true;
    if (is_prefix(key)) {
      predictable = model_.ordered();
      return model_.first_with_prefix(key);
    }
    if (!is_next(key)) return model_.count(key) > 0 ? std::optional(key) : std::nullopt;
    const int here = model_.count(position_.key);
    predictable =
        position_.known && model_.ordered() && (here == 0 || (here == 1 && !position_.on_deleted));
    return model_.first_above(position_.key);
  }

  void read(const std::string& request, int width) {
    std::string key = request;
    std::string value(static_cast<std::size_t>(width), ' ');
    int status = 1;
    run([&] { status = expfile::KEYREAD(kUnit, key, value); });
    if (value.size() != static_cast<std::size_t>(width)) fuzzing::fail("a value changed width");
    check_literal(request, std::string(value.size(), ' '), status, key, value);
    // A prefix read delivers the rest of the key found at the start of the value.
    const std::size_t rest = fuzzing::kStoreKeyLength - request.size();
    if (is_prefix(request) && status == 0 && value.size() < rest) {
      check_found(request, status);
      position_ = {false, "", false};
      return;
    }
    const std::string found_key =
        is_prefix(request) && status == 0 ? request + value.substr(0, rest) : key;
    fuzzing::trace("read " + bracketed(request) + ": " + std::to_string(status) + " " +
                   bracketed(found_key) + " " + bracketed(value));
    check_read(request, status, found_key, value);
    position_ = {status == 0, found_key, false};
  }

  // The same request of the literal index, which must answer exactly as the store did.
  void check_literal(const std::string& request, const std::string& request_value, int status,
                     const std::string& key, const std::string& value) {
    std::string literal_key = request;
    std::string literal_value = request_value;
    const int literal_status = literal_.read(literal_key, literal_value);
    if (literal_status != status || literal_key != key || literal_value != value) {
      fuzzing::fail("a read of " + bracketed(request) + " gives " + std::to_string(status) + " " +
                    bracketed(key) + " " + bracketed(value) + " where the literal index gives " +
                    std::to_string(literal_status) + " " + bracketed(literal_key) + " " +
                    bracketed(literal_value));
    }
  }

  void check_found(const std::string& request, int status) const {
    bool predictable = true;
    if ((status == 0) != expected_find(request, predictable).has_value()) {
      fuzzing::fail("a read of " + bracketed(request) + " returns " + std::to_string(status));
    }
  }

  void check_read(const std::string& request, int status, const std::string& found_key,
                  const std::string& value) const {
    bool predictable = true;
    const std::optional<std::string> expected = expected_find(request, predictable);
    if (is_next(request)) {
      if (status == 0 && model_.count(found_key) == 0) {
        fuzzing::fail("a next read delivers the dead key " + bracketed(found_key));
      }
      if (status == 0 && position_.known && model_.ordered() && found_key != position_.key &&
          found_key != expected) {
        fuzzing::fail("a next read after " + bracketed(position_.key) + " delivers " +
                      bracketed(found_key));
      }
      if (status != 0 && position_.known && model_.ordered() && expected) {
        fuzzing::fail("a next read after " + bracketed(position_.key) + " misses " +
                      bracketed(*expected));
      }
    } else if ((status == 0) != expected.has_value()) {
      fuzzing::fail("a read of " + bracketed(request) + " returns " + std::to_string(status));
    } else if (status == 0 && predictable && found_key != *expected) {
      fuzzing::fail("a read of " + bracketed(request) + " finds " + bracketed(found_key) +
                    " instead of " + bracketed(*expected));
    }
    if (status != 0) {
      if (value.find_first_not_of(' ') != std::string::npos) fuzzing::fail("a miss is not blank");
      return;
    }
    check_value(request, found_key, value);
  }

  void check_value(const std::string& request, const std::string& found_key,
                   const std::string& value) const {
    const std::optional<std::string> stored = model_.value(found_key);
    if (!stored) return;
    const std::size_t skipped = is_next(request) ? fuzzing::kStoreKeyLength : request.size();
    std::string expected = (found_key + *stored).substr(skipped, fuzzing::kStoreValueLength);
    expected.resize(value.size(), ' ');
    if (value != expected) {
      fuzzing::fail("a read of " + bracketed(request) + " gives " + bracketed(value) +
                    " instead of " + bracketed(expected));
    }
  }

  void remove(const std::string& request) {
    bool predictable = true;
    const std::optional<std::string> expected = expected_find(request, predictable);
    // A delete of the next record removes a record that the model cannot name.
    if (is_next(request) && !predictable) return;
    std::optional<std::string> target = expected;
    if (is_prefix(request)) {
      run([&] { target = expfile::find_record_key(kUnit, request); });
      if (predictable && target != expected) {
        fuzzing::fail("a delete of " + bracketed(request) + " would remove " +
                      bracketed(target.value_or("nothing")));
      }
    }
    std::string value = kDeleteRequest;
    int status = 1;
    run([&] { status = expfile::KEYREAD(kUnit, request, value); });
    check_literal(request, kDeleteRequest, status, request, value);
    if ((status == 0) != target.has_value()) {
      fuzzing::fail("a delete of " + bracketed(request) + " returns " + std::to_string(status));
    }
    fuzzing::trace("delete " + bracketed(request) + ": " + std::to_string(status) + " " +
                   bracketed(target.value_or("")));
    if (target) model_.remove(*target);
    position_ = {target.has_value(), target.value_or(""), true};
  }

  void write(const std::string& request, const std::string& value) {
    const std::string key = fuzzing::padded_key(request);
    // A blank key or the deleted marker would write a record that the index cannot name.
    if (fuzzing::is_dead_key(key)) return;
    const fuzzing::Outcome outcome = session_.run([&] { expfile::WRITEXP(kUnit, request, value); });
    const std::string stored = fuzzing::stored_value(value);
    const bool too_long = fuzzing::stored_length(value) > fuzzing::kStoreValueLength;
    if (too_long != (outcome.ending == fuzzing::Ending::stopped) ||
        (!too_long && outcome.ending != fuzzing::Ending::returned)) {
      fuzzing::fail("a write of " + std::to_string(fuzzing::stored_length(value)) +
                    " characters to " + bracketed(key) +
                    " ends as it should not: " + outcome.stop_text);
    }
    fuzzing::trace("write " + bracketed(key) + " " + bracketed(stored));
    if (too_long) return;
    literal_.write(request, std::string_view(value).substr(0, fuzzing::stored_length(value)));
    // A deleted record takes the deleted marker as its key, and a new record is placed by
    // comparing with that marker: where it lands beside a deleted record the read position
    // stands on is not fixed by the key order.
    if (model_.count(key) == 0 && position_.on_deleted) position_.known = false;
    model_.write(key, stored);
  }

  fuzzing::Session& session_;
  StoreModel& model_;
  fuzzing::LiteralIndex& literal_;
  ReadPosition position_;
};

// A trailing part of a record is completed with blanks, as the store reads it the first time.
std::string whole_records(std::string file) {
  const std::size_t part = file.size() % fuzzing::kStoreRecordLength;
  if (part != 0) file.append(fuzzing::kStoreRecordLength - part, ' ');
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::StoreInput input =
      fuzzing::decode_store_input({reinterpret_cast<const char*>(data), size});
  const std::string file = whole_records(input.file);
  fuzzing::Session session;
  support::write_file_bytes(kFileName, file);
  StoreModel model(file);
  fuzzing::LiteralIndex literal(file);
  StoreRun store(session, model, literal);
  session.run(open_file);
  for (const StoreOp& op : input.ops) store.apply(op);
  store.check_contents();
  session.run([] { expfile::ISAMCLOSE(kUnit, "KEEP"); });
  const std::string bytes = support::read_file_bytes(kFileName);
  if (bytes.size() % fuzzing::kStoreRecordLength != 0 || bytes.size() < file.size()) {
    fuzzing::fail("the file holds " + std::to_string(bytes.size()) + " bytes after the run");
  }
  if (bytes != literal.file()) fuzzing::fail("the file differs from the literal index's file");
  return 0;
}
