// Plain lines on the terminal, for the experiment file's messages.
#pragma once

#include <string_view>

#include "textio/records.hpp"
#include "textio/units.hpp"

namespace expfile {

// Writes `text` as one line on the terminal.
inline void write_line(std::string_view text) {
  textio::write_record(textio::kTerminal, "(A)", text);
}

}  // namespace expfile
