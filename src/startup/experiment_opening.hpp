// The suite's common start-up: which experiment the user means, opening (or creating) its
// experiment file, the checks of completeness and version, the access the calling program asks
// for, and where the listing goes. Every message goes to the terminal, never to the listing.
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "expfile/experiment_path.hpp"
#include "expfile/index.hpp"
#include "startup/experiment_hold.hpp"

namespace startup {

// The layout version that experiment files of this suite are written in.
inline constexpr int kCurrentExperimentVersion = 6;

// Room for histogram types; a histogram number is two key columns.
inline constexpr int kMaxHistograms = 99;
inline constexpr std::size_t kHistogramTypeWidth = 4;

enum class NameSource { prompted, given };

// The experiment the run works on, named once by GETNAM and held for the run.
struct ExperimentName {
  // Upper case in its name; a directory part is kept as typed.
  expfile::ExperimentPath path;
  // The current working directory, shown when an experiment is not found.
  std::string current_directory;
  NameSource source = NameSource::prompted;
};

// The histograms of an experiment: the number recorded in the file and the types of the first
// min(count, 99) of them, 4 characters each ("P" powder, "S" single crystal in the first column).
struct HistogramList {
  int count = 0;
  std::vector<std::string> types;
};

// Opens the experiment of this run for `program_name` (up to 20 characters).
// `experiment_mode`: "NEW" may create a missing experiment; "COPY" works on a working copy;
// "READ" and "NOTNEEDED" leave the file as first opened; any other word reopens it for update,
// brought to the current version. `listing_mode` "LIST" appends the listing to NAME.LST when
// the name came from the command line; otherwise the listing goes to the terminal.
// On entry `experiment_unit` and `listing_unit` are where the search for a free unit starts.
// Returns only with the experiment file open; every failure stops the run.
void STRTRN(std::string_view program_name, std::string_view experiment_mode,
            std::string_view listing_mode, int& experiment_unit, int& listing_unit,
            int& terminal_unit);

// STRTRN, returning the experiment it opened, for callers that work on its other files.
// `check_files`, when given, is called with the experiment once it is named and locked, before
// anything is written or opened: the caller's refusals of its own files come first.
ExperimentName start_experiment(
    std::string_view program_name, std::string_view experiment_mode, std::string_view listing_mode,
    int& experiment_unit, int& listing_unit, int& terminal_unit,
    const std::function<void(const expfile::ExperimentPath&)>& check_files = nullptr);

// Opens the experiment file `file_name` for direct access on the first free unit from `unit`
// (which receives the unit used) and checks its version. `open_mode` "NEW" creates an absent
// file and writes its version record; "READ" never changes the file and warns about an old one;
// any other word upgrades an old file. A file of a later version stops the run. Returns 0, or
// the I/O error number of the failed open.
int OPNEXP(std::string_view open_mode, const std::string& file_name, int& unit);

// OPNEXP through `hold`, which carries the index of a file the run closed a moment ago and
// holds the experiment's lock. On return `unit` is the unit the file is open on.
int open_experiment_file(std::string_view open_mode, ExperimentHold& hold, int& unit);

// Opens a fresh experiment file, holding the current version record when `versioned`, on the
// first free unit from `unit` (which receives the unit used). It is written through a temporary
// file that takes the place of `file_name` (of the file a symbolic link leads to) only when the
// unit is closed with "KEEP". Returns 0, or the I/O error number of the failed open.
int open_replacement_experiment(const std::string& file_name, bool versioned, int& unit);

// Ends the run before anything is written when standard output or standard error is the file
// `file_name` (`description` says which, as "the grid file"): the terminal lines would be written
// into it. The line that says so goes to the other stream.
void refuse_streams_onto(const std::string& file_name, std::string_view description);

// Names the experiment: the first command-line argument (without its ".EXP"), or the reply to
// the prompt "Enter the experiment name for " followed by `program_name`, asked until a name
// is given.
ExperimentName GETNAM(std::string_view program_name);

// The histograms of the experiment file open on `unit`; none when its count record is missing.
HistogramList HSTTYP(int unit);

}  // namespace startup
