// Converting an experiment file of a foreign physical form (plain 80-byte records, or text
// lines) into the 82-byte records of the experiment file.
#pragma once

#include <string_view>

namespace expfile {

// Converts NAME.EXP, whose name is the first `name_length` characters of `name`, into 82-byte
// records: the file is kept as NAME.CRP (a second name of it, or a copy) and read as 80-byte
// records when its size is a multiple of 80, as text lines otherwise, and NAME.EXP is replaced
// by the converted file when that is whole. `status` receives the result of opening NAME.CRP: 0
// when the conversion ran, otherwise the I/O error number; a NAME.CRP that is there already is
// said on the terminal and standard error and gives EEXIST, with both files left as they are.
// The experiment file must be closed before the call.
void CONVERT(std::string_view name, int name_length, int& status);

}  // namespace expfile
