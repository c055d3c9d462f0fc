#include "textio/vector_code.hpp"

#include <optional>
#include <string>

#include "os/os.hpp"

namespace textio {
namespace {

bool processor_has_avx2() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

bool portable_paths_asked() {
  const std::optional<std::string> value = os::environment_variable(std::string(kPortableVariable));
  return value.has_value() && !value->empty() && *value != "0";
}

}  // namespace

bool vector_code_enabled() {
  static const bool enabled = processor_has_avx2() && !portable_paths_asked();
  return enabled;
}

}  // namespace textio
