#include "conversion/symmetry_loader.hpp"

#include <string>

#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "symmetry/interpreter.hpp"
#include "textio/status.hpp"

namespace conversion {

symmetry::OperatorSet phase_symmetry(const ConversionRun& run, int phase) {
  std::string key = expfile::CRSKEY(phase) + std::string(expfile::kSpaceGroupItem);
  std::string value(expfile::kValueLength, ' ');
  if (int status = expfile::KEYREAD(run.experiment_unit, key, value)) {
    expfile::ISAMERR(run.experiment_unit, key, status);
  }
  symmetry::OperatorSet operators;
  operators.symbol = value.substr(0, symmetry::kSymbolWidth);
  const int error = symmetry::interpret_symbol(operators, symmetry::kSilent, symmetry::kSilent);
  if (error == 0) return operators;
  symmetry::report_symbol_error(run.terminal_unit, operators.symbol, error);
  // A translation conflict leaves a complete operator set to convert with; any other error
  // leaves none, and a grid file of zeros would look valid.
  if (error != symmetry::kTranslationConflict) textio::stop_run("REDFMP");
  return operators;
}

symmetry::OperatorSet map_symmetry(symmetry::OperatorSet operators, std::string_view map_type) {
  if (map_type != "PTSN" && map_type != "DPTS") return operators;
  operators.centric = 1;
  for (int k = 0; k < operators.operator_count; ++k) operators.operators[k].translation = {0, 0, 0};
  return operators;
}

}  // namespace conversion
