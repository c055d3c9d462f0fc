// Record keys of phases, histograms and phases in histograms: a 6-character prefix naming the
// class and its numbers, followed by a 6-character item name. Because the prefix comes first,
// the records of one phase or histogram stand together in key order.
#pragma once

#include <string>
#include <string_view>

namespace expfile {

// "CRS", the phase as one digit, two blanks.
std::string CRSKEY(int phase);

// "HST ", the histogram as two digits right-justified.
std::string HSTKEY(int histogram);

// "HAP", the phase as one digit, the histogram as two digits right-justified.
std::string HAPKEY(int phase, int histogram);

// Reports that the record with `key` is missing and stops the run without a stop text.
// The unit and the status are accepted for the callers' convenience and not used.
[[noreturn]] void ISAMERR(int unit, std::string_view key, int status);

}  // namespace expfile
