// Test driver for the console input and the banner.
//
//   console_driver banner NAME TITLE
//       writes the banner of program NAME with TITLE on the terminal, then a line with the page
//       length and the terminal's line count.
//   console_driver STEP...
//       asks one question per step and writes what it got as " got [<field>]":
//         ask MODE WIDTH DEFAULT PROMPT   GETANS into a field of WIDTH holding DEFAULT
//         line WIDTH PROMPT               RDLINE into a field of WIDTH
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "startup/banner.hpp"
#include "startup/console_input.hpp"
#include "startup/page_settings.hpp"
#include "textio/entry.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace {

using textio::kTerminal;

int field_width(const std::string& text) {
  const int width = std::atoi(text.c_str());
  if (width < 0 || width > 1000) textio::stop_run("console_driver: bad field width");
  return width;
}

void report(const std::string& field) {
  textio::write_record(kTerminal, "(3A)", " got [", field, "]");
}

void write_banner(const std::vector<std::string>& arguments) {
  if (arguments.size() != 3) textio::stop_run("console_driver: banner NAME TITLE");
  startup::BANNER(kTerminal, arguments[1], arguments[2]);
  textio::write_record(kTerminal, "(A,I4,A,I4)", " page length", startup::page_length(),
                       " line count", startup::line_count(kTerminal));
}

// Runs the steps from `arguments`; returns the index after the step run.
std::size_t run_step(const std::vector<std::string>& arguments, std::size_t at) {
  const std::string& step = arguments[at];
  if (step == "ask" && at + 4 < arguments.size()) {
    std::string answer = textio::fit(arguments[at + 3], field_width(arguments[at + 2]));
    startup::GETANS(arguments[at + 4], std::atoi(arguments[at + 1].c_str()), answer);
    report(answer);
    return at + 5;
  }
  if (step == "line" && at + 2 < arguments.size()) {
    std::string line(field_width(arguments[at + 1]), ' ');
    startup::RDLINE(arguments[at + 2], line);
    report(line);
    return at + 3;
  }
  textio::stop_run("console_driver: bad step " + step);
}

void drive(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments[0] == "banner") {
    write_banner(arguments);
    return;
  }
  for (std::size_t at = 0; at < arguments.size();) at = run_step(arguments, at);
}

}  // namespace

int main(int argc, char** argv) {
  return textio::run_program(argc, argv, drive);
}
