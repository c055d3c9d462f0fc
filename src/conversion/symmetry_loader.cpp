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

namespace {

constexpr int kTranslationConflict = 18;

// The interpreter's own two-line report of a numbered error.
void write_symbol_report(const std::string& symbol, int error) {
  textio::write_record(textio::kConsoleOutput, "(2A,/,2A)", " ****** Error processing symbol ",
                       symbol, " ", std::string(symmetry::error_message(error)));
}

}  // namespace

void load_phase_symmetry(int experiment_unit, int map_phase, symmetry::OperatorSet& operators) {
  std::string key = expfile::CRSKEY(map_phase) + "SG SYM";
  std::string value(expfile::kValueLength, ' ');
  if (int status = expfile::KEYREAD(experiment_unit, key, value)) {
    expfile::ISAMERR(experiment_unit, key, status);
  }
  operators = symmetry::OperatorSet{};
  operators.symbol = value.substr(0, symmetry::kSymbolWidth);
  symmetry::interpret_symbol(operators, 0, 0);
  if (operators.unique_axis != symmetry::kUniqueAxisAfterError) return;
  if (operators.operator_count > 0) {
    // A translation conflict leaves a complete operator set: convert with it, but say so.
    write_symbol_report(operators.symbol, kTranslationConflict);
    return;
  }
  // Without operators every value would be 0.0: a grid file that looks valid and is not.
  symmetry::OperatorSet report{};
  report.symbol = operators.symbol;
  symmetry::interpret_symbol(report, 0, textio::kConsoleOutput);
  textio::stop_run("REDFMP");
}

}  // namespace conversion
