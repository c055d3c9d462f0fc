// Converting an experiment file of a foreign physical form (plain 80-byte records, or text
// lines) into the 82-byte records of the experiment file.
#pragma once

#include <string_view>

namespace expfile {

// Converts NAME.EXP, whose name is the first `name_length` characters of `name`, into 82-byte
// records: the file is renamed NAME.CRP and read as 80-byte records when its size is a multiple
// of 80, as text lines otherwise, and NAME.EXP is created anew from it. `status` receives the
// result of opening NAME.CRP: 0 when the conversion ran, otherwise the I/O error number. The
// experiment file must be closed before the call. Creating NAME.EXP when it still exists ends
// the run with the I/O failure report.
void CONVERT(std::string_view name, int name_length, int& status);

}  // namespace expfile
