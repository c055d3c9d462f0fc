// PROVISIONAL: replaced by the startup subsystem's experiment opening.
#include "conversion/startup_provisional.hpp"

#include <string>

#include "expfile/store.hpp"
#include "startup/console_input.hpp"
#include "textio/entry.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

void open_experiment_provisionally(std::string_view, std::string_view, std::string_view,
                                   int& experiment_unit, int& listing_unit, int& terminal_unit) {
  std::string name = textio::argument(1) ? textio::argument(1) : "";
  std::size_t slash = name.find_last_of('/');
  std::size_t file_part = slash == std::string::npos ? 0 : slash + 1;
  name = name.substr(0, file_part) + textio::upper_case(name.substr(file_part));
  if (name.size() > 4 && name.substr(name.size() - 4) == ".EXP") name.resize(name.size() - 4);
  experiment_unit = 0;
  textio::NEWUNT(experiment_unit);
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = expfile::kRecordLength;
  if (int status = textio::try_open_unit(experiment_unit, name + ".EXP", options)) {
    startup::IOERR(status, experiment_unit);
  }
  listing_unit = textio::kConsoleOutput;
  terminal_unit = textio::kConsoleOutput;
}

}  // namespace conversion
