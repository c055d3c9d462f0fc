// Test driver for the suite's start-up.
//
//   strtrn_driver PROGRAM EXPERIMENT_MODE LISTING_MODE [NAME]
//       runs STRTRN for PROGRAM with the two modes, NAME standing as the program's first
//       command-line argument, then writes the units it got on the terminal and one line on the
//       listing unit.
#include <vector>

#include "os/os.hpp"
#include "startup/experiment_opening.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace {

struct StartRequest {
  const char* program = nullptr;
  const char* experiment_mode = nullptr;
  const char* listing_mode = nullptr;
};

void start(const StartRequest& request) {
  int experiment_unit = 0;
  int listing_unit = 0;
  int terminal_unit = 0;
  startup::STRTRN(request.program, request.experiment_mode, request.listing_mode, experiment_unit,
                  listing_unit, terminal_unit);
  textio::write_record(textio::kConsoleOutput, "(A,I3,A,I3,A,I3)", " experiment unit",
                       experiment_unit, " listing unit", listing_unit, " terminal unit",
                       terminal_unit);
  textio::write_record(listing_unit, "(A)", " listed");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::vector<char*> usage = {argv[0]};
    return textio::run_program(1, usage.data(), [](int, char**) {
      textio::stop_run("strtrn_driver PROGRAM EXPERIMENT_MODE LISTING_MODE [NAME]");
    });
  }
  std::vector<std::string> typed = os::program_arguments(argc, argv);
  const StartRequest request{typed[1].c_str(), typed[2].c_str(), typed[3].c_str()};
  // The start-up takes the experiment name from the first argument, so the program sees only
  // the name.
  std::vector<char*> arguments = {typed[0].data()};
  if (argc == 5) arguments.push_back(typed[4].data());
  arguments.push_back(nullptr);
  return textio::run_program(static_cast<int>(arguments.size()) - 1, arguments.data(),
                             [&request](int, char**) { start(request); });
}
