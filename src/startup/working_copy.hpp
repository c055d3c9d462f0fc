// Rewriting the open experiment file into a compact working copy while the old one is kept as a
// numbered backup NAME.O01 ... NAME.OFF, NAME.O00.
#pragma once

#include <string_view>

namespace startup {

// Rewrites the experiment file open on `unit` into a fresh file holding the version record and
// then every live record in key order (the title record first), closes the old file with
// `disposition` ("KEEP" keeps its content as the next backup NAME.Onn, "DELETE" lets it go), puts
// the new file in its place and opens it again through OPNEXP in the mode "SHARED". The fresh
// file is written through a temporary file that replaces the experiment file only when whole; an
// experiment file that is a symbolic link stays one, and the file it leads to takes the copy. On
// return `unit` designates the rewritten file (normally the same unit number). No existing backup
// is replaced.
// A failure to create or reopen the file ends the run through IOERR; so does a copy without the
// last-record marker, which leaves the old file untouched. A file whose file-name part holds no
// ".EXP" stops the run before anything is written.
void WORKCOPY(int& unit, std::string_view disposition);

}  // namespace startup
