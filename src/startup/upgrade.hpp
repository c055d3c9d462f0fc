// The upgrade of experiment files written by older versions of the suite: one version step
// after the other, each rewriting the records whose layout changed, through the record
// operations only.
#pragma once

#include "startup/experiment_hold.hpp"

namespace startup {

// Brings the experiment file open on `unit` from layout `version` (0 to 5) to the current
// version and says so on the terminal; `version` is then the current version. The caller
// writes the new version into the file's version record.
void UPGEXP(int unit, int& version);

// Upgrades the experiment file that `hold` has open from layout `version` as UPGEXP does and writes
// the current version into its version record, working on a copy beside the file: the file keeps
// its old bytes until the copy is complete and on the disk, and the copy then takes its place in
// one rename. A run that ends during the upgrade, however it ends, leaves the file as it was. On
// return the hold has the upgraded file open again; its index is built on the next access.
void upgrade_experiment_file(ExperimentHold& hold, int version);

// UPGEXP on the records of the file open on `unit`, in place, followed by the current version
// record: for a file that is itself a temporary one, not yet in its place.
void upgrade_records(int unit, int version);

}  // namespace startup
