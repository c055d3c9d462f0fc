#include "textio/vector_code.hpp"

#include <optional>
#include <string>

#include "os/os.hpp"

namespace textio {
namespace {

bool portable_paths_asked() {
  const std::optional<std::string> value = os::environment_variable(std::string(kPortableVariable));
  return value.has_value() && !value->empty() && *value != "0";
}

}  // namespace

bool vector_code_enabled() {
  static const bool enabled = os::processor_has_avx2() && !portable_paths_asked();
  return enabled;
}

}  // namespace textio
