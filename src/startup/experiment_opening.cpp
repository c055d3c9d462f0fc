#include "startup/experiment_opening.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "expfile/foreign_form.hpp"
#include "expfile/index.hpp"
#include "expfile/store.hpp"
#include "os/os.hpp"
#include "startup/console_input.hpp"
#include "startup/experiment_hold.hpp"
#include "startup/failure_cause.hpp"
#include "startup/platform.hpp"
#include "startup/upgrade.hpp"
#include "startup/working_copy.hpp"
#include "textio/entry.hpp"
#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace startup {
namespace {

using textio::kTerminal;
constexpr std::size_t kProgramNameWidth = 20;
constexpr std::size_t kNameReplyWidth = 255;
constexpr std::size_t kTitleWidth = 66;
constexpr int kTypesPerRecord = 12;
constexpr char kBell = '\a';

constexpr std::string_view kNamePrompt = "Enter the experiment name for ";
constexpr std::string_view kCreateQuestion = "Do you wish to create it (Y/<N>)?";
constexpr std::string_view kReformatQuestion = "Do you wish to try reformatting it (Y/<N>)?";
constexpr std::string_view kTitlePrompt = " Enter a title for this experiment|";
constexpr std::string_view kNewLastRecordValue = "  Last EXP file record";
constexpr std::string_view kIncomplete = " *** ERROR - Experiment file is incomplete ***";
constexpr std::string_view kStillIncomplete =
    " *** ERROR - Experiment file is still incomplete ***";
constexpr std::string_view kNoLeastSquaresData = " *** ERROR - No data available for least squares";

// A declined question ends the run with one stop text, an error with the other.
constexpr std::string_view kDeclinedStop = "Run terminated in STRTRN";
constexpr std::string_view kErrorStop = " Run terminated in STRTRN";
constexpr std::string_view kRefusedFileStop = "Program terminated in OPNEXP";

// Mode words of the callers, and the programs that the start-up treats apart.
constexpr std::string_view kNewMode = "NEW";
constexpr std::string_view kReadMode = "READ";
constexpr std::string_view kNotNeededMode = "NOTNEEDED";
constexpr std::string_view kCopyMode = "COPY";
constexpr std::string_view kSharedMode = "SHARED";
constexpr std::string_view kListMode = "LIST";
constexpr std::string_view kKeepFile = "KEEP";
constexpr std::string_view kExperimentEditor = "VETRIS";
constexpr std::string_view kLeastSquaresProgram = "SOLVAN";

// What STRTRN keeps for the run.
struct OpeningState {
  std::string reply = " ";  // the answer to the last yes/no question
};

OpeningState& opening() {
  return textio::program_state<OpeningState>();
}

bool is_mode(std::string_view mode, std::string_view word) {
  return textio::same_text(mode, word);
}

std::string_view up_to_first_blank(std::string_view text) {
  return text.substr(0, text.find(' '));
}

// File names are case-sensitive here, so only the name is upper-cased, not the directory part.
expfile::ExperimentPath typed_path(std::string_view text) {
  expfile::ExperimentPath path = expfile::ExperimentPath::of_name(up_to_first_blank(text));
  path.name = textio::upper_case(path.name);
  return path;
}

// The argument names the experiment whole, blanks and dots included, as the shell passed it:
// cutting it would open an experiment the user did not name. Only an argument naming the
// experiment file itself (abc.exp) loses its extension, and only at its end.
expfile::ExperimentPath path_from_argument(std::string_view argument) {
  expfile::ExperimentPath path = expfile::ExperimentPath::of_name(argument);
  path.name = textio::upper_case(path.name);
  if (path.name.ends_with(expfile::kExperimentExtension)) {
    path.name.resize(path.name.size() - expfile::kExperimentExtension.size());
  }
  return path;
}

expfile::ExperimentPath path_from_prompt(std::string_view program_name) {
  const std::string prompt =
      std::string(kNamePrompt) +
      std::string(textio::trim_right(textio::fit(program_name, kProgramNameWidth)));
  std::string reply(kNameReplyWidth, ' ');
  expfile::ExperimentPath path;
  while (path.stem().empty()) {
    GETANS(prompt, kNewLine, reply);
    path = typed_path(reply);
  }
  return path;
}

std::string current_directory() {
  return os::current_directory();
}

bool ask_yes_no(std::string_view question) {
  std::string& reply = opening().reply;
  GETANS(question, kNewLine, reply);
  UPCASE(reply, 1);
  return reply == "Y";
}

bool has_record(int unit, std::string_view key) {
  std::string value(expfile::kValueLength, ' ');
  return expfile::KEYREAD(unit, key, value) == 0;
}

[[noreturn]] void refuse_experiment_file(const std::string& file_name, const std::string& reason) {
  textio::write_record(
      kTerminal, "(A)",
      " **** ERROR - File " + file_name + " is left as it is: " + reason + " ****");
  write_failure_cause(file_name + " is left as it is: " + reason);
  textio::stop_run(kRefusedFileStop);
}

// Only a regular file is an experiment file: a device or a FIFO never ends or cannot be read
// twice, and a directory is no file at all. Checked before any read, links followed; a file
// that is not there is left to the opening, which reports it or creates it.
void refuse_unless_regular(const std::string& file_name) {
  if (const std::optional<std::string> refusal = textio::refusal_of_file_kind(file_name)) {
    refuse_experiment_file(file_name, *refusal);
  }
}

}  // namespace

void refuse_streams_onto(const std::string& file_name, std::string_view description) {
  struct Stream {
    int unit;
    const char* name;
    int other;
  };
  for (const Stream& stream :
       {Stream{textio::kConsoleOutput, "standard output", textio::kErrorOutput},
        Stream{textio::kErrorOutput, "standard error", kTerminal}}) {
    if (!textio::unit_is_file(stream.unit, file_name)) continue;
    textio::write_record(stream.other, "(A)",
                         textio::program_name() + ": " + stream.name + " is " +
                             std::string(description) + " " + file_name + ": nothing was done");
    textio::stop_run("");
  }
}

namespace {

// A version that is not a whole number from 0 up names no layout: taking it for one would
// rewrite the records of one layout as if they were of another.
[[noreturn]] void refuse_version(int unit, const std::string& value) {
  refuse_experiment_file(textio::unit_file_name(unit),
                         "its version record \"" + std::string(expfile::kVersionKey) +
                             std::string(textio::trim_right(value)) +
                             "\" does not hold a version of 0 or more");
}

// The version of the file open on `unit`: 0 without a version record.
int file_version(int unit) {
  std::string value(expfile::kValueLength, ' ');
  if (expfile::KEYREAD(unit, expfile::kVersionKey, value) != 0) return 0;
  int version = 0;
  if (textio::try_read_text(value, "(I5)", version) != textio::kOk || version < 0) {
    refuse_version(unit, value);
  }
  return version;
}

// A file that is not whole records (a copy cut short, another program's file) is never changed:
// rewriting it would fill its last record out with bytes it never held.
void require_whole_records(const std::string& file_name, int unit) {
  os::FileStatus file;
  if (int status = os::file_status(file_name, file)) IOERR(status, unit);
  const std::int64_t size = file.size;
  if (size % expfile::kRecordLength == 0) return;
  refuse_experiment_file(file_name, "its " + std::to_string(size) + " bytes are not whole " +
                                        std::to_string(expfile::kRecordLength) + "-byte records");
}

void write_version_record(int unit) {
  expfile::WRITEXP(
      unit, expfile::kVersionKey,
      textio::write_text(expfile::kValueLength, "(I5,5X,A)", kCurrentExperimentVersion, PRGDAT()));
}

void warn_old_file(int version) {
  textio::write_record(kTerminal, "(A)", " **** WARNING *****   This is an old EXP file");
  textio::write_record(kTerminal, "(2(A,I3))", "  It is version ", version,
                       " and current files are version ", kCurrentExperimentVersion);
  textio::write_record(kTerminal, "(A)", " Use VETRIS to convert it.");
}

[[noreturn]] void refuse_later_version() {
  const std::string bell(1, kBell);
  textio::write_record(
      kTerminal, "(A)",
      " ******" + bell + "  This file is from a " + "later version of TARN than this one.");
  textio::write_record(kTerminal, "(1X,A)",
                       bell + " It cannot be processed with" + " this version of TARN.");
  textio::stop_run(kRefusedFileStop);
}

// Other runs may work on the same experiment at the same time. The whole opening, with every
// change of the experiment file (creation, upgrade, conversion of its form, working copy), is
// done under this lock, so that a run reads the version of the file it changes and finds another
// run's change complete.
void lock_experiment(ExperimentHold& hold) {
  const int status = hold.lock();
  if (status == textio::kOk) return;
  textio::write_record(kTerminal, "(A)",
                       " **** ERROR - File " + hold.file_name() + " could not be locked against " +
                           "other runs: " + textio::status_message(status) + " ****");
  textio::stop_run(kErrorStop);
}

void check_version(std::string_view open_mode, ExperimentHold& hold) {
  const int unit = hold.unit();
  const int version = file_version(unit);
  if (version > kCurrentExperimentVersion) refuse_later_version();
  if (version == kCurrentExperimentVersion) return;
  if (is_mode(open_mode, kReadMode)) {
    warn_old_file(version);
    return;
  }
  upgrade_experiment_file(hold, version);
}

void create_experiment(const ExperimentName& experiment, ExperimentHold& hold, int& unit) {
  textio::write_record(kTerminal, "(3A)", " Experiment - ", experiment.path.stem(),
                       " - was not found in directory");
  textio::write_record(kTerminal, "(1X,A)", experiment.current_directory);
  if (!ask_yes_no(kCreateQuestion)) textio::stop_run(kDeclinedStop);
  if (int status = open_experiment_file(kNewMode, hold, unit)) IOERR(status, unit);
  expfile::WRITEXP(unit, expfile::kLastRecordKey, kNewLastRecordValue);
  textio::write_record(kTerminal, "(3A)", " The new experiment - ", experiment.path.stem(),
                       " - has been created.");
  std::string title(kTitleWidth, ' ');
  RDLINE(kTitlePrompt, title);
  expfile::WRITEXP(unit, expfile::kDescriptionKey, "  " + title);
}

[[noreturn]] void report_unopened(std::string_view experiment_mode, const std::string& file_name,
                                  int status, int unit) {
  const std::string_view reason = is_mode(experiment_mode, kNotNeededMode)
                                      ? " is in error or else not accessible"
                                      : " does not exist - check your directory";
  textio::write_record(kTerminal, "(3A)", " ERROR - File ", file_name, reason);
  write_io_error_report(status, unit);
  write_failure_cause(file_name + " does not exist");
  if (const std::optional<std::string> other = file_name_in_other_case(file_name)) {
    textio::write_record(kTerminal, "(3A)", " **** ", *other,
                         " is there, but experiment names are upper-cased: rename it ****");
  }
  textio::stop_run("");
}

// Only the suite's experiment editor offers to reformat an incomplete file.
void require_complete_file(std::string_view program_name, const ExperimentName& experiment,
                           ExperimentHold& hold, int& unit) {
  if (has_record(unit, expfile::kLastRecordKey)) return;
  textio::write_record(kTerminal, "(A)", kIncomplete);
  if (!textio::same_text(program_name, kExperimentEditor)) textio::stop_run(kErrorStop);
  if (!ask_yes_no(kReformatQuestion)) textio::stop_run(kDeclinedStop);
  hold.close();
  int status = 0;
  const std::string name = experiment.path.stem();
  expfile::CONVERT(name, static_cast<int>(name.size()), status);
  if (status == 0) status = open_experiment_file(kReadMode, hold, unit);
  if (status != 0 || !has_record(unit, expfile::kLastRecordKey)) {
    textio::write_record(kTerminal, "(A)", kStillIncomplete);
    textio::stop_run(kErrorStop);
  }
}

// Least squares needs a histogram whose type has a blank or "D" in its fourth column.
void require_least_squares_data(int unit) {
  const HistogramList histograms = HSTTYP(unit);
  const bool usable =
      std::any_of(histograms.types.begin(), histograms.types.end(),
                  [](const std::string& type) { return type[3] == ' ' || type[3] == 'D'; });
  if (usable) return;
  textio::write_record(kTerminal, "(A)", kNoLeastSquaresData);
  textio::stop_run(kErrorStop);
}

void prepare_access(std::string_view experiment_mode, ExperimentHold& hold, int& unit) {
  if (is_mode(experiment_mode, kCopyMode)) {
    require_whole_records(hold.file_name(), unit);
    // A copy of a file of version 0 has no version record either, so its reopening upgrades it.
    WORKCOPY(unit, kKeepFile);
    return;
  }
  if (is_mode(experiment_mode, kReadMode) || is_mode(experiment_mode, kNotNeededMode)) return;
  // The file is opened again under the same lock: its index is taken over if it is unchanged.
  hold.close();
  if (int status = open_experiment_file(kSharedMode, hold, unit)) IOERR(status, unit);
}

// A typed name always lists on the terminal, whatever the listing mode.
int open_listing(const ExperimentName& experiment, std::string_view listing_mode, int unit) {
  if (experiment.source != NameSource::given || !is_mode(listing_mode, kListMode)) return kTerminal;
  textio::NEWUNT(unit);
  textio::open_unit(unit, experiment.path.listing_file(), {.status = "UNKNOWN", .append = true});
  return unit;
}

}  // namespace

void STRTRN(std::string_view program_name, std::string_view experiment_mode,
            std::string_view listing_mode, int& experiment_unit, int& listing_unit,
            int& terminal_unit) {
  start_experiment(program_name, experiment_mode, listing_mode, experiment_unit, listing_unit,
                   terminal_unit);
}

ExperimentName start_experiment(
    std::string_view program_name, std::string_view experiment_mode, std::string_view listing_mode,
    int& experiment_unit, int& listing_unit, int& terminal_unit,
    const std::function<void(const expfile::ExperimentPath&)>& check_files) {
  terminal_unit = kTerminal;
  const ExperimentName experiment = GETNAM(program_name);
  const std::string file_name = experiment.path.experiment_file();
  ExperimentHold hold(file_name);
  lock_experiment(hold);
  refuse_streams_onto(file_name, "the experiment file");
  if (check_files) check_files(experiment.path);
  refuse_unless_regular(file_name);
  if (int status = open_experiment_file(kReadMode, hold, experiment_unit)) {
    // Only a missing file is absent: one that is there but cannot be read is neither reported
    // missing nor created anew.
    if (status != ENOENT) {
      refuse_experiment_file(file_name, "it cannot be read: " + textio::status_message(status));
    }
    if (!is_mode(experiment_mode, kNewMode)) {
      report_unopened(experiment_mode, file_name, status, experiment_unit);
    }
    create_experiment(experiment, hold, experiment_unit);
  } else {
    require_complete_file(program_name, experiment, hold, experiment_unit);
    if (textio::same_text(program_name, kLeastSquaresProgram))
      require_least_squares_data(experiment_unit);
    prepare_access(experiment_mode, hold, experiment_unit);
  }
  listing_unit = open_listing(experiment, listing_mode, listing_unit);
  return experiment;
}

int OPNEXP(std::string_view open_mode, const std::string& file_name, int& unit) {
  ExperimentHold unlocked(file_name);
  return open_experiment_file(open_mode, unlocked, unit);
}

int open_experiment_file(std::string_view open_mode, ExperimentHold& hold, int& unit) {
  const bool creating = is_mode(open_mode, kNewMode);
  const textio::OpenOptions options{.status = creating ? "UNKNOWN" : "OLD",
                                    .access = textio::Access::direct,
                                    .form = textio::Form::formatted,
                                    .record_length = expfile::kRecordLength};
  const int status = hold.try_open(options, unit);
  unit = hold.unit();
  if (status != textio::kOk) return status;
  if (!creating && !is_mode(open_mode, kReadMode)) require_whole_records(hold.file_name(), unit);
  if (creating) write_version_record(unit);
  check_version(open_mode, hold);
  unit = hold.unit();
  return textio::kOk;
}

int open_replacement_experiment(const std::string& file_name, bool versioned, int& unit) {
  textio::NEWUNT(unit);
  const textio::OpenOptions options{.status = "UNKNOWN",
                                    .access = textio::Access::direct,
                                    .form = textio::Form::formatted,
                                    .record_length = expfile::kRecordLength,
                                    .through_temporary = true,
                                    .starts_empty = true};
  if (int status = textio::try_open_unit(unit, file_name, options)) return status;
  if (versioned) write_version_record(unit);
  return textio::kOk;
}

ExperimentName GETNAM(std::string_view program_name) {
  ExperimentName experiment;
  const char* argument = textio::argument(1);
  if (argument != nullptr) experiment.path = path_from_argument(argument);
  if (experiment.path.stem().empty()) {
    experiment.path = path_from_prompt(program_name);
    experiment.source = NameSource::prompted;
  } else {
    experiment.source = NameSource::given;
  }
  experiment.current_directory = current_directory();
  return experiment;
}

HistogramList HSTTYP(int unit) {
  HistogramList histograms;
  std::string value(expfile::kValueLength, ' ');
  if (expfile::KEYREAD(unit, expfile::kHistogramCountKey, value) != 0) return histograms;
  textio::read_text(value, "(I5)", histograms.count);
  const int stored = std::clamp(histograms.count, 0, kMaxHistograms);
  const int records = (histograms.count - 1) / kTypesPerRecord + 1;
  for (int n = 1; n <= records && kTypesPerRecord * (n - 1) < stored; ++n) {
    expfile::KEYREAD(
        unit, textio::write_text(expfile::kKeyLength, "(A,I1)", expfile::kHistogramTypesKey, n),
        value);
    std::array<std::string, kTypesPerRecord> types;
    types.fill(std::string(kHistogramTypeWidth, ' '));
    textio::read_text(value, "(2X,12(A,1X))", types);
    histograms.types.insert(histograms.types.end(), types.begin(), types.end());
  }
  histograms.types.resize(stored);
  return histograms;
}

}  // namespace startup
