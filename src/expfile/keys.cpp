#include "expfile/keys.hpp"

#include "expfile/store.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace expfile {
namespace {

constexpr std::size_t kPrefixLength = 6;

}  // namespace

std::string CRSKEY(int phase) {
  return textio::write_text(kPrefixLength, "(A,I1,A)", "CRS", phase, "  ");
}

std::string HSTKEY(int histogram) {
  return textio::write_text(kPrefixLength, "(A,I2)", "HST ", histogram);
}

std::string map_record_length_key(std::string_view map_type) {
  return " EXPR " + std::string(map_type) + "RL";
}

std::string HAPKEY(int phase, int histogram) {
  return textio::write_text(kPrefixLength, "(A,I1,I2)", "HAP", phase, histogram);
}

void ISAMERR([[maybe_unused]] int unit, std::string_view key, [[maybe_unused]] int status) {
  textio::write_record(textio::kTerminal, "(A,A,A,A,A)", " ISAM record with KEY = ", "\"",
                       without_trailing_padding(key), "\"", " has problems.");
  textio::stop_run("");
}

}  // namespace expfile
