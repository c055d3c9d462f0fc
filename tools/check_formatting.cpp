// Checks the list-directed text of every float bit pattern against the C library's "%.9G":
// the conversion and its double form must both give the library's digits with a point always
// present and a three-digit exponent (the cache, which stores what the conversion gives, is
// checked on a stride by the unit tests). The library converts each magnitude once;
// the pattern with the sign bit set must give the same text with "-" in the sign column. An
// optional argument checks every n-th magnitude only. The patterns also go through the batch
// conversion, eight at a time. Exits with 1 when any pattern disagrees.
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
#include <string_view>
#include <thread>
#include <vector>

#include "textio/list_real.hpp"

namespace {

// The expected text of a non-negative value, built from the library's own conversion: two
// blanks, the digits with a point always present, the exponent widened to three digits.
std::string_view expected_text(float value, char* out) {
  if (value == 0.0f) return "  0.";
  char library[48];
  int length = std::snprintf(library, sizeof library, "%.9G", static_cast<double>(value));
  const char* exponent = std::strchr(library, 'E');
  std::size_t digits =
      exponent ? static_cast<std::size_t>(exponent - library) : static_cast<std::size_t>(length);
  char* p = out;
  *p++ = ' ';
  *p++ = ' ';
  std::memcpy(p, library, digits);
  p += digits;
  if (std::isfinite(value) && !std::memchr(library, '.', digits)) *p++ = '.';
  if (exponent) {
    int power = std::atoi(exponent + 1);
    p += std::snprintf(p, 8, "E%c%03d", power < 0 ? '-' : '+', std::abs(power));
  }
  return {out, static_cast<std::size_t>(p - out)};
}

struct Tally {
  std::mutex lock;
  std::uint64_t checked = 0;
  std::uint64_t failures = 0;
};

void report_failure(Tally& tally, std::uint32_t bits, const char* form, std::string_view got,
                    std::string_view want) {
  std::lock_guard<std::mutex> guard(tally.lock);
  if (++tally.failures <= 20) {
    std::printf("0x%08X %s: got \"%.*s\", expected \"%.*s\"\n", static_cast<unsigned>(bits), form,
                static_cast<int>(got.size()), got.data(), static_cast<int>(want.size()),
                want.data());
  }
}

// Every way the text is made, for one pattern.
void check_pattern(std::uint32_t bits, std::string_view want, Tally& tally) {
  float value = std::bit_cast<float>(bits);
  char out[textio::kListRealMaxLength];
  std::string_view plain(out, textio::format_list_real(value, out));
  if (plain != want) report_failure(tally, bits, "float", plain, want);
  std::string_view widened(out, textio::format_list_real(static_cast<double>(value), out));
  if (widened != want) report_failure(tally, bits, "double", widened, want);
}

// Patterns in turn, eight at a time through the batch conversion, against their texts one by
// one.
class BatchCheck {
 public:
  void add(std::uint32_t bits, std::string_view want, Tally& tally) {
    values_[count_++] = std::bit_cast<float>(bits);
    expected_.append(want).append("\n");
    if (count_ == textio::kListRealBatch) check(tally);
  }

 private:
  void check(Tally& tally) {
    char out[textio::kListRealBatch * (textio::kListRealMaxLength + 1)];
    std::string_view got(out,
                         textio::format_list_real_lines(values_, textio::ShortLineEnd("\n"), out));
    if (got != expected_) {
      report_failure(tally, std::bit_cast<std::uint32_t>(values_[0]), "batch", got, expected_);
    }
    count_ = 0;
    expected_.clear();
  }

  float values_[textio::kListRealBatch];
  std::size_t count_ = 0;
  std::string expected_;
};

constexpr std::uint32_t kSignBit = 0x80000000;

// The magnitudes first to last (exclusive) on the stride, each with both signs.
void check_range(std::uint64_t first, std::uint64_t last, std::uint64_t step, Tally& tally,
                 std::chrono::steady_clock::time_point start) {
  char expected[48];
  std::uint64_t checked = 0;
  BatchCheck batches;
  for (std::uint64_t b = first; b < last; b += step) {
    std::uint32_t bits = static_cast<std::uint32_t>(b);
    std::string_view want = expected_text(std::bit_cast<float>(bits), expected);
    check_pattern(bits, want, tally);
    batches.add(bits, want, tally);
    // Negative zero is written as zero; every other negative value carries its sign.
    if (bits != 0) expected[1] = '-';
    check_pattern(bits | kSignBit, want, tally);
    batches.add(bits | kSignBit, want, tally);
    checked += 2;
  }
  std::lock_guard<std::mutex> guard(tally.lock);
  tally.checked += checked;
  // A line per range, so that a run cut short still tells how far it came.
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf(
      "magnitudes 0x%08llX-0x%08llX: %llu patterns checked so far, %llu disagreements, %.0f s\n",
      static_cast<unsigned long long>(first), static_cast<unsigned long long>(last - 1),
      static_cast<unsigned long long>(tally.checked),
      static_cast<unsigned long long>(tally.failures), elapsed.count());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t step = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
  if (step == 0) {
    std::fprintf(stderr, "usage: check_formatting [step]\n");
    return 2;
  }
  constexpr std::uint64_t kMagnitudes = std::uint64_t{1} << 31;
  constexpr std::uint64_t kChunk = std::uint64_t{1} << 24;
  const auto start = std::chrono::steady_clock::now();
  Tally tally;
  std::atomic<std::uint64_t> next_chunk{0};
  auto worker = [&] {
    for (std::uint64_t c; (c = next_chunk++) * kChunk < kMagnitudes;) {
      // The first pattern of the chunk that lies on the stride.
      std::uint64_t first = (c * kChunk + step - 1) / step * step;
      check_range(first, (c + 1) * kChunk, step, tally, start);
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
