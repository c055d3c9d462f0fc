// The upgrade of experiment files written by older versions of the suite: one version step
// after the other, each rewriting the records whose layout changed, through the record
// operations only.
#pragma once

namespace startup {

// Brings the experiment file open on `unit` from layout `version` (0 to 5) to the current
// version and says so on the terminal; `version` is then the current version. The caller
// writes the new version into the file's version record.
void UPGEXP(int unit, int& version);

}  // namespace startup
