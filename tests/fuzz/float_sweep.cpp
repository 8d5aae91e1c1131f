// Exhaustive sweep of the real-number text over every float bit pattern: each
// of the 2^32 patterns goes through the single-precision list form and the
// E12.4 field, and both texts are compared with the reference texts composed
// from the exact decimal expansion of float_digits. Every 65536th pattern
// also checks that expansion against the slow digit-string expansion.
//
// Build and run (13 to 18 minutes on two cores; not part of CI):
//   cmake --preset fuzz && cmake --build --preset fuzz --target float_sweep
//   build/fuzz/tests/fuzz/float_sweep                      # all patterns
//   build/fuzz/tests/fuzz/float_sweep 3f800000 3fffffff    # a slice, inclusive, in hex
// Prints its progress, the first mismatches and their count; exits 1 when
// there is any.
#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "numtext/real_digits.h"
#include "tests/fuzz/float_digits.h"
#include "tests/support/exact_decimal.h"

namespace {

using numtext::DecimalDigits;
using numtext::RealField;

constexpr RealField kE12_4{numtext::RealForm::E, 12, 4, 2, 0, false, numtext::Precision::Single};

std::mutex print_lock;
std::atomic<std::uint64_t> mismatches{0};
constexpr std::uint64_t kMismatchesShown = 20;

void report_mismatch(std::uint32_t bits, const char* what, const std::string& expected, const std::string& actual) {
  if (mismatches.fetch_add(1) >= kMismatchesShown) return;
  std::lock_guard<std::mutex> hold(print_lock);
  std::printf("MISMATCH bits 0x%08" PRIx32 " %s: expected \"%s\", actual \"%s\"\n", bits, what, expected.c_str(),
              actual.c_str());
}

void check_text(std::uint32_t bits, const DecimalDigits& reference, const RealField& field, const char* what) {
  const numtext::testing::ReferenceText expected = numtext::testing::reference_real_text(reference, field);
  const numtext::RealText actual = numtext::format_real(static_cast<double>(std::bit_cast<float>(bits)), field);
  const std::string_view actual_text(actual.text, static_cast<std::size_t>(actual.length));
  if (expected.overflow != actual.overflow || actual_text != expected.text) {
    report_mismatch(bits, what, expected.overflow ? "<overflow>" : expected.text,
                    actual.overflow ? "<overflow>" : std::string(actual_text));
  }
}

void check_pattern(std::uint32_t bits) {
  const DecimalDigits reference = shindo::fuzzing::float_decimal_digits(bits);
  check_text(bits, reference, numtext::kListSingle, "list form");
  check_text(bits, reference, kE12_4, "E12.4");
  if ((bits & 0xFFFF) == 0x1234) {
    const DecimalDigits slow =
        numtext::testing::reference_decimal_digits(static_cast<double>(std::bit_cast<float>(bits)));
    if (reference.sign != slow.sign || reference.exp10 != slow.exp10 ||
        std::strcmp(reference.digits, slow.digits) != 0) {
      report_mismatch(bits, "fast expansion against the slow one", slow.digits, reference.digits);
    }
  }
}

std::uint32_t parse_bits(const char* text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 16);
  if (end == text || *end != '\0' || value > 0xFFFFFFFFULL) {
    std::fprintf(stderr, "not a 32-bit hex pattern: %s\n", text);
    std::exit(2);
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 1 && argc != 3) {
    std::fprintf(stderr, "usage: %s [FIRST LAST]   (hex bit patterns, inclusive)\n", argv[0]);
    return 2;
  }
  const std::uint64_t first = argc == 3 ? parse_bits(argv[1]) : 0;
  const std::uint64_t last = argc == 3 ? parse_bits(argv[2]) : 0xFFFFFFFFULL;
  if (last < first) {
    std::fprintf(stderr, "LAST is below FIRST\n");
    return 2;
  }
  const std::uint64_t total = last - first + 1;

  // Blocks are handed out in order, so that the threads share the slow and
  // the fast exponent ranges.
  constexpr std::uint64_t kBlock = 1 << 20;
  std::atomic<std::uint64_t> next_block{0};
  std::atomic<std::uint64_t> done{0};
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (;;) {
        const std::uint64_t start = first + next_block.fetch_add(1) * kBlock;
        if (start > last) return;
        const std::uint64_t end = std::min(last + 1, start + kBlock);
        for (std::uint64_t bits = start; bits < end; ++bits) check_pattern(static_cast<std::uint32_t>(bits));
        done.fetch_add(end - start);
      }
    });
  }

  const auto began = std::chrono::steady_clock::now();
  auto seconds_since = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(); };
  std::printf("sweeping %" PRIu64 " patterns 0x%08" PRIx64 "..0x%08" PRIx64 " on %u threads\n", total, first, last,
              threads);
  std::fflush(stdout);
  double last_print = 0;
  while (done.load() < total) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double now = seconds_since();
    if (now - last_print < 15 || done.load() >= total) continue;
    last_print = now;
    const double fraction = static_cast<double>(done.load()) / static_cast<double>(total);
    std::lock_guard<std::mutex> hold(print_lock);
    std::printf("%6.2f%%  %.1f M patterns/s  %" PRIu64 " mismatches  about %.0f s left\n", 100 * fraction,
                static_cast<double>(done.load()) / now / 1e6, mismatches.load(), now / fraction - now);
    std::fflush(stdout);
  }
  for (std::thread& worker : workers) worker.join();
  std::printf("%" PRIu64 " patterns, %" PRIu64 " mismatches, in %.0f s\n", total, mismatches.load(), seconds_since());
  return mismatches.load() == 0 ? 0 : 1;
}
