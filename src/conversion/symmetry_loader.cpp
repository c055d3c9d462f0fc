#include "conversion/symmetry_loader.hpp"

#include <string>

#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "symmetry/interpreter.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

void load_phase_symmetry(int experiment_unit, int map_phase, symmetry::OperatorSet& operators) {
  std::string key = expfile::CRSKEY(map_phase) + std::string(expfile::kSpaceGroupItem);
  std::string value(expfile::kValueLength, ' ');
  if (int status = expfile::KEYREAD(experiment_unit, key, value)) {
    expfile::ISAMERR(experiment_unit, key, status);
  }
  operators = symmetry::OperatorSet{};
  operators.symbol = value.substr(0, symmetry::kSymbolWidth);
  int error = symmetry::interpret_symbol(operators, symmetry::kNoOutput, symmetry::kNoOutput);
  if (error == 0) return;
  symmetry::report_symbol_error(textio::kTerminal, operators.symbol, error);
  // A translation conflict leaves a complete operator set to convert with; any other error
  // leaves none, and a grid file of zeros would look valid.
  if (error != symmetry::kTranslationConflict) textio::stop_run("REDFMP");
}

}  // namespace conversion
