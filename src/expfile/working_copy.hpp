// Rewriting the open experiment file into a compact working copy while the old one is kept as a
// numbered backup NAME.O01 ... NAME.OFF, NAME.O00.
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

// Rewrites the experiment file open on `unit` into NAME.NEW holding the version record and then
// every live record in key order (the title record first), closes the old file with `disposition`
// ("KEEP" keeps it as the next backup NAME.Onn, "DELETE" removes it), puts the new file in its
// place and opens it again in the mode "SHARED". On return `unit` designates the rewritten
// file (normally the same unit number), with no index yet. No existing backup is replaced. A
// copy without the last-record marker is fatal and leaves the old file untouched; so is a file
// whose file-name part holds no ".EXP".
void WORKCOPY(int& unit, std::string_view disposition, const ExperimentOpening& opening);

}  // namespace expfile
