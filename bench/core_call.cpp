// The time of one call of the core on one record, the yardstick of the Python
// package's per-call overhead (bench/python_bench.py).
//
//   core_call RECORD CALLS  → the median and the shortest time of one
//                              compute_intensity call (µs)
//
// RECORD holds int32 n, float32 dt, then n float32 samples of each of the
// three components in turn (native byte order).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <shindo/intensity.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: core_call RECORD CALLS\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::int32_t n = 0;
  float dt = 0.0f;
  in.read(reinterpret_cast<char*>(&n), sizeof n);
  in.read(reinterpret_cast<char*>(&dt), sizeof dt);
  std::vector<float> samples(3 * static_cast<std::size_t>(std::max(n, 0)));
  if (!in || n <= 0 || !in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4))) {
    std::fprintf(stderr, "core_call: %s is not a record\n", argv[1]);
    return 1;
  }
  const auto size = static_cast<std::size_t>(n);
  const std::span<const float> all(samples);
  const shindo::Record record{all.subspan(0, size), all.subspan(size, size), all.subspan(2 * size, size), dt};
  std::vector<double> times;
  float sink = 0.0f;
  for (int call = 0, calls = std::atoi(argv[2]); call < calls; ++call) {
    const auto start = std::chrono::steady_clock::now();
    sink += shindo::compute_intensity(record).shindo;
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  if (times.empty()) return 1;
  std::sort(times.begin(), times.end());
  std::printf("%.3f %.3f %g\n", times[times.size() / 2], times.front(), static_cast<double>(sink));
  return 0;
}
