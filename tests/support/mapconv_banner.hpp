// The banner of MAPCONV as a run shows it when the program file's modification time is
// kBannerProgramTime and the time zone is UTC: what the end-to-end tests expect, written out.
#pragma once

#include <ctime>
#include <string>

namespace support {

inline constexpr std::time_t kBannerProgramTime = 1000000000;  // Sun Sep  9 01:46:40 2001 UTC

inline const std::string kMapconvBanner =
    "\n"
    "                   |-----------------------------------------|\n"
    "                   |      Program MAPCONV Version Win32      |\n"
    "                   |  Fourier map to grid convertion program |\n"
    "                   | Distributed on Sun Sep  9 01:46:40 2001 |\n"
    "                   |-----------------------------------------|\n"
    "\n"
    "        |---------------------------------------------------------------|\n"
    "        | One of a family of programs for crystal structure analysis,   |\n"
    "        | all working on one shared description of an experiment.       |\n"
    "        | The family is distributed free of charge, with its sources.   |\n"
    "        |                                                               |\n"
    "        | It is provided as it is, without warranty of any kind.        |\n"
    "        |---------------------------------------------------------------|\n"
    "\n";

}  // namespace support
