// The space-group symbol interpreter on arbitrary 20-character symbols: whenever it reports no
// error, the operator set it delivers, with its centring vectors and, for a centric group, the
// inversion, must be a group: no operation twice, every product inside.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzzing/group_oracle.hpp"
#include "fuzzing/inputs.hpp"
#include "fuzzing/session.hpp"
#include "symmetry/interpreter.hpp"
#include "textio/units.hpp"

namespace {

void check_set(const symmetry::OperatorSet& set) {
  if (set.operator_count < 1 || set.operator_count > symmetry::kMaxOperators ||
      set.centring_count < 1 || set.centring_count > symmetry::kMaxCentringVectors) {
    fuzzing::fail("symbol [" + set.symbol + "] gives " + std::to_string(set.operator_count) +
                  " operators and " + std::to_string(set.centring_count) + " centring vectors");
  }
  const std::string defect = fuzzing::group_defect(fuzzing::expand_operator_set(set));
  if (!defect.empty()) {
    fuzzing::fail("symbol [" + set.symbol +
                  "] is accepted but its operators are no group: " + defect);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::SymbolInput input =
      fuzzing::decode_symbol_input({reinterpret_cast<const char*>(data), size});
  fuzzing::ConsoleSession session;
  symmetry::OperatorSet set;
  set.symbol = input.symbol;
  int error = -1;
  const fuzzing::Outcome outcome = session.run([&] {
    error = symmetry::interpret_symbol(set, input.describe ? textio::kConsoleOutput : 0,
                                       input.report_errors ? textio::kConsoleOutput : 0);
  });
  if (outcome.ending != fuzzing::Ending::returned) {
    fuzzing::fail("symbol [" + input.symbol + "] ends the run: " + outcome.stop_text);
  }
  if (error == 0) check_set(set);
  return 0;
}
