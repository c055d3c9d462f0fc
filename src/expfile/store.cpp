#include "expfile/store.hpp"

#include "expfile/index.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace expfile {
namespace {

// A field holding "DELETE" is a delete request only at exactly that width: the same text in a
// value field of ordinary width is just what a previous read left there.
bool is_delete_request(const std::string& value) {
  return value == kDeleteRequest;
}

void ensure_index(int unit) {
  if (!ISAMSTARTED(unit)) STARTISAM(unit);
}

[[noreturn]] void report_long_value(std::string_view key, std::string_view value,
                                    std::size_t length) {
  const int out = textio::kTerminal;
  textio::write_record(out, "(A)",
                       " *****  PROGRAMMER ERROR ****  String length greater than 68 characters");
  textio::write_record(out, "(A)", "");
  textio::write_record(out, "(A,I3)", " The string length is ", length);
  textio::write_record(out, "(A,A)", " KEYVAL : ", textio::fit(key, kKeyLength));
  textio::write_record(out, "(A,A)", " String : ", value);
  textio::write_record(out, "(A)", "");
  textio::stop_run("***** PROGRAMMER error detected in WRITEXP *****");
}

}  // namespace

std::string_view without_trailing_padding(std::string_view text) {
  const std::size_t last = text.find_last_not_of(std::string_view(" \0", 2));
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

void require_short_key(std::string_view routine, std::string_view key) {
  if (key.size() <= static_cast<std::size_t>(kKeyLength)) return;
  const int out = textio::kTerminal;
  textio::write_record(out, "(A)",
                       " *****  PROGRAMMER ERROR ****  Key length greater than 12 characters");
  textio::write_record(out, "(A)", "");
  textio::write_record(out, "(A,I3)", " The key length is ", key.size());
  textio::write_record(out, "(A,A)", " KEYVAL : ", key);
  textio::write_record(out, "(A)", "");
  textio::stop_run(std::string("***** PROGRAMMER error detected in ") + std::string(routine) +
                   " *****");
}

int KEYREAD(int unit, std::string& key, std::string& value) {
  require_short_key("KEYREAD", key);
  ensure_index(unit);
  if (!is_delete_request(value)) return ISAMREAD(unit, key, value);
  const std::optional<std::string> found = find_record_key(unit, key);
  if (!found) return 1;
  ISAMDELETE(unit, *found);
  return 0;
}

int KEYREAD(int unit, std::string_view key, std::string& value) {
  std::string own_key(key);
  return KEYREAD(unit, own_key, value);
}

void WRITEXP(int unit, std::string_view key, std::string_view value) {
  require_short_key("WRITEXP", key);
  const std::string_view stored = without_trailing_padding(value);
  if (stored.size() > static_cast<std::size_t>(kValueLength)) {
    report_long_value(key, value, stored.size());
  }
  ensure_index(unit);
  ISAMWRITE(unit, key, stored);
}

void ISAMCLOSE(int unit, std::string_view disposition) {
  if (!release_index(unit)) return;
  const bool remove = disposition.starts_with('D');
  textio::close_unit(unit, remove ? textio::Disposition::remove : textio::Disposition::keep);
}

KeptIndex close_keeping_index(int unit) {
  KeptIndex kept = release_index_keeping_tables(unit);
  textio::close_unit(unit, textio::Disposition::keep);
  return kept;
}

}  // namespace expfile
