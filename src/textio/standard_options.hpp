// The options that every program of the suite answers before it does anything else: a first
// argument of exactly -h, --help or /? (the form Windows users type) prints the usage text, -V or
// --version one version line, both on standard output. Header-only, so that a program which needs
// nothing else of textio can use it without linking the library.
#pragma once

#include <cstdio>
#include <string_view>

namespace textio {

// True when the first argument was one of the options and has been answered: the program then
// ends with status 0 without opening anything.
inline bool answer_standard_option(int argc, char** argv, const char* usage,
                                   const char* version_line) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (first == "-h" || first == "--help" || first == "/?") {
    std::fputs(usage, stdout);
    return true;
  }
  if (first == "-V" || first == "--version") {
    std::puts(version_line);
    return true;
  }
  return false;
}

// True when the first argument starts with "-" and is none of the options: it is refused with
// "<program>: unknown option <argument>" and `usage_line` on standard error (the program then
// ends with status 2), since taken as a name it would only lead to a file the user did not mean.
// A name starting with "-" is given as ./-name.
inline bool refuse_unknown_option(int argc, char** argv, const char* program,
                                  const char* usage_line) {
  if (argc < 2 || argv[1][0] != '-') return false;
  std::fprintf(stderr, "%s: unknown option %s\n", program, argv[1]);
  std::fputs(usage_line, stderr);
  return true;
}

}  // namespace textio
