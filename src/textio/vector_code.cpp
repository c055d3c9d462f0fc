#include "textio/vector_code.hpp"

#include <optional>
#include <string>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif

#include "os/os.hpp"

namespace textio {
namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Asks the processor itself, in three queries: the compiler's own feature check asks for every
// feature it knows at the start of each run, which inside a virtual machine, where each query
// traps, cost a tenth of a millisecond.
bool processor_has_avx2() {
  constexpr unsigned kHasXsaveEnabled = 1U << 27;  // leaf 1, ECX
  constexpr unsigned kHasAvx = 1U << 28;           // leaf 1, ECX
  constexpr unsigned kHasAvx2 = 1U << 5;           // leaf 7, EBX
  constexpr unsigned kYmmStateEnabled = 0x6;       // XCR0: SSE and AVX state
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(0, eax, ebx, ecx, edx);
  if (eax < 7) return false;
  __cpuid(1, eax, ebx, ecx, edx);
  if ((ecx & (kHasXsaveEnabled | kHasAvx)) != (kHasXsaveEnabled | kHasAvx)) return false;
  unsigned xcr0 = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0_high) : "c"(0));
  if ((xcr0 & kYmmStateEnabled) != kYmmStateEnabled) return false;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & kHasAvx2) != 0;
}
#else
bool processor_has_avx2() {
  return false;
}
#endif

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
