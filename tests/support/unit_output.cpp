#include "support/unit_output.hpp"

#include <string>

#include "textio/list_real.hpp"
#include "textio/records.hpp"

namespace support {

void write_list_real(int unit, float value) {
  char text[textio::kListRealMaxLength];
  std::string record(text, textio::format_list_real(value, text));
  record += textio::record_end(unit);
  textio::write_whole_records(unit, record);
}

void write_direct_bytes(int unit, int record, std::span<const std::byte> bytes) {
  if (int status = textio::try_write_direct_bytes(unit, record, bytes)) {
    textio::raise_io_failure(status);
  }
}

}  // namespace support
