#include "textio/entry.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/units.hpp"

namespace textio {

namespace {

struct Arguments {
  int count = 0;
  char** values = nullptr;
};

Arguments& arguments() {
  static Arguments instance;
  return instance;
}

void write_error_text(const std::string& text) {
  flush_unit(kConsoleOutput);
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

int argument_count() {
  return arguments().count;
}

const char* argument(int index) {
  return index >= 0 && index < arguments().count ? arguments().values[index] : nullptr;
}

int run_program(int argc, char** argv, const std::function<void(int, char**)>& body) {
  arguments() = {argc, argv};
  try {
    body(argc, argv);
  } catch (const StopRun& stop) {
    close_all_units();
    if (!stop.text.empty()) write_error_text("STOP " + stop.text + " statement executed\n");
  } catch (const IoFailure& failure) {
    close_all_units();
    write_error_text(failure.report);
    std::abort();
  }
  close_all_units();
  return 0;
}

}  // namespace textio
