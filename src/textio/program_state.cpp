#include "textio/program_state.hpp"

#include <mutex>
#include <vector>

#include "textio/units.hpp"

namespace textio {

namespace {

struct Registry {
  std::mutex lock;
  std::vector<void (*)()> resets;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

void register_state_reset(void (*reset)()) {
  Registry& state = registry();
  std::lock_guard<std::mutex> hold(state.lock);
  state.resets.push_back(reset);
}

void reset_program_state() {
  // The units go first: closing them still needs the unit table as the run left it, and a
  // unit left open (a macro file, a listing) is closed with keep like at the end of a run.
  close_all_units();
  std::vector<void (*)()> resets;
  {
    Registry& state = registry();
    std::lock_guard<std::mutex> hold(state.lock);
    resets = state.resets;
  }
  for (void (*reset)() : resets) reset();
}

}  // namespace textio
