// Operations on the experiment file as a whole: converting a file of a foreign physical form
// (plain 80-byte records, or text lines) into 82-byte records, and rewriting the open file into
// a compact working copy while the old one is kept as a numbered backup NAME.O01 ... NAME.OFF,
// NAME.O00.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace expfile {

// What WORKCOPY needs from the start-up, which owns the opening of experiment files and the
// report of failed I/O (the start-up sits above this library, so it lends them at the call).
struct ExperimentOpening {
  // Opens `file_name` as an experiment file in `open_mode` ("NEW" creates it and writes its
  // version record; "SHARED" opens an existing file for update and upgrades an old one) on the
  // first free unit from `unit`, which receives the unit used. Returns 0 or the I/O error number.
  // The start-up's OPNEXP.
  std::function<int(std::string_view open_mode, const std::string& file_name, int& unit)> open;
  // Reports a failed operation on the terminal and ends the run. The start-up's IOERR.
  std::function<void(int status, int unit)> report_failure;
};

// Converts NAME.EXP, whose name is the first `name_length` characters of `name`, into 82-byte
// records: the file is renamed NAME.CRP and read as 80-byte records when its size is a multiple
// of 80, as text lines otherwise, and NAME.EXP is created anew from it. `status` receives the
// result of opening NAME.CRP: 0 when the conversion ran, otherwise the I/O error number. The
// experiment file must be closed before the call. Creating NAME.EXP when it still exists ends
// the run with the I/O failure report.
void CONVERT(std::string_view name, int name_length, int& status);

// Rewrites the experiment file open on `unit` into NAME.NEW holding the version record and then
// every live record in key order (the title record first), closes the old file with `disposition`
// ("KEEP" keeps it as the next backup NAME.Onn, "DELETE" removes it), puts the new file in its
// place and opens it again in the mode "SHARED". On return `unit` designates the rewritten
// file (normally the same unit number), with no index yet. No existing backup is replaced. A
// copy without the last-record marker is fatal and leaves the old file untouched; so is a file
// whose file-name part holds no ".EXP".
void WORKCOPY(int& unit, std::string_view disposition, const ExperimentOpening& opening);

// The four upper-case hexadecimal digits of `n` (0 to 65535), most significant first, into
// `text`.
void HEX4(std::string& text, int n);

// Renames the file `old_name` to `new_name`, never replacing an existing file. Returns 0, or the
// C library's error number when the rename failed (EEXIST when `new_name` exists).
int RENAME(const std::string& old_name, const std::string& new_name);

}  // namespace expfile
