// PROVISIONAL: stands in for the suite's full start-up until experiment opening lands in the
// startup subsystem. Takes the experiment name from the first argument and opens NAME.EXP.
#pragma once

#include <string_view>

namespace conversion {

void open_experiment_provisionally(std::string_view program, std::string_view experiment_mode,
                                   std::string_view listing_mode, int& experiment_unit,
                                   int& listing_unit, int& terminal_unit);

}  // namespace conversion
