// Checks the list-directed text of every float bit pattern against the C library's "%.9G":
// the plain conversion, its double form and the cache must all give the library's digits with
// a point always present and a three-digit exponent. An optional argument checks every n-th
// pattern only. Exits with 1 when any pattern disagrees.
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "textio/list_real.hpp"

namespace {

// The expected text, built from the library's own conversion of the value.
std::string expected_text(float value) {
  if (value == 0.0f) return "  0.";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9G", static_cast<double>(value));
  std::string text = buffer;
  std::string sign = text[0] == '-' ? "-" : " ";
  if (text[0] == '-') text.erase(0, 1);
  std::string exponent;
  if (std::size_t e = text.find('E'); e != std::string::npos) {
    int power = std::atoi(text.c_str() + e + 1);
    std::snprintf(buffer, sizeof buffer, "E%c%03d", power < 0 ? '-' : '+', std::abs(power));
    exponent = buffer;
    text.erase(e);
  }
  if (std::isfinite(value) && text.find('.') == std::string::npos) text += '.';
  return " " + sign + text + exponent;
}

struct Tally {
  std::mutex lock;
  std::uint64_t checked = 0;
  std::uint64_t failures = 0;
};

void report_failure(Tally& tally, std::uint32_t bits, const char* form, const std::string& got,
                    const std::string& want) {
  std::lock_guard<std::mutex> guard(tally.lock);
  if (++tally.failures <= 20) {
    std::printf("0x%08X %s: got \"%s\", expected \"%s\"\n", static_cast<unsigned>(bits), form,
                got.c_str(), want.c_str());
  }
}

void check_range(std::uint64_t first, std::uint64_t last, std::uint64_t step, Tally& tally) {
  textio::ListRealCache cache;
  char out[textio::kListRealMaxLength];
  std::uint64_t checked = 0;
  for (std::uint64_t b = first; b < last; b += step) {
    std::uint32_t bits = static_cast<std::uint32_t>(b);
    float value = std::bit_cast<float>(bits);
    std::string want = expected_text(value);
    std::string plain(out, textio::format_list_real(value, out));
    if (plain != want) report_failure(tally, bits, "float", plain, want);
    std::string widened(out, textio::format_list_real(static_cast<double>(value), out));
    if (widened != want) report_failure(tally, bits, "double", widened, want);
    std::string cached(out, cache.format(value, out));
    if (cached != want) report_failure(tally, bits, "cache", cached, want);
    ++checked;
  }
  std::lock_guard<std::mutex> guard(tally.lock);
  tally.checked += checked;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t step = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
  if (step == 0) {
    std::fprintf(stderr, "usage: check_formatting [step]\n");
    return 2;
  }
  constexpr std::uint64_t kPatterns = std::uint64_t{1} << 32;
  constexpr std::uint64_t kChunk = std::uint64_t{1} << 24;
  const auto start = std::chrono::steady_clock::now();
  Tally tally;
  std::atomic<std::uint64_t> next_chunk{0};
  auto worker = [&] {
    for (std::uint64_t c; (c = next_chunk++) * kChunk < kPatterns;) {
      // The first pattern of the chunk that lies on the stride.
      std::uint64_t first = (c * kChunk + step - 1) / step * step;
      check_range(first, (c + 1) * kChunk, step, tally);
    }
  };
  std::vector<std::thread> threads(std::max(1u, std::thread::hardware_concurrency()));
  for (std::thread& t : threads) t = std::thread(worker);
  for (std::thread& t : threads) t.join();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%llu patterns checked, %llu disagreements, %.0f s on %zu threads\n",
              static_cast<unsigned long long>(tally.checked),
              static_cast<unsigned long long>(tally.failures), elapsed.count(), threads.size());
  return tally.failures == 0 ? 0 : 1;
}
