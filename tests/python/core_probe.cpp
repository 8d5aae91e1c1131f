// The C++ core's results for records written by the Python tests, so that
// they compare the package's results bit for bit with the core's.
//
//   core_probe IN OUT
//
// IN holds records one after another: int32 n, float32 dt, then n float32
// samples of each of the three components in turn. OUT gets, for each
// record: int32 fault, stage, transform_size, wave size, level rows; float32
// a0, amax, shindo; the wave's floats; the level rows as LevelRow bytes.
// Native byte order throughout.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include <shindo/intensity.h>

namespace {

template <typename T>
bool read_value(std::ifstream& in, T& value) {
  return static_cast<bool>(in.read(reinterpret_cast<char*>(&value), sizeof value));
}

template <typename T>
void write_values(std::ofstream& out, const T* values, std::size_t count) {
  out.write(reinterpret_cast<const char*>(values), static_cast<std::streamsize>(sizeof(T) * count));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: core_probe IN OUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ofstream out(argv[2], std::ios::binary);
  std::int32_t n = 0;
  float dt = 0.0f;
  while (read_value(in, n) && read_value(in, dt)) {
    std::vector<float> samples(3 * static_cast<std::size_t>(n));
    if (!in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4))) {
      std::fprintf(stderr, "core_probe: a record is cut short\n");
      return 1;
    }
    const std::span<const float> all(samples);
    const auto size = static_cast<std::size_t>(n);
    const shindo::Intensity r =
        shindo::compute_intensity({all.subspan(0, size), all.subspan(size, size), all.subspan(2 * size, size), dt});
    const std::int32_t header[] = {static_cast<std::int32_t>(r.fault), static_cast<std::int32_t>(r.stage),
                                   r.transform_size, static_cast<std::int32_t>(r.wave.size()),
                                   static_cast<std::int32_t>(r.levels.size())};
    const float values[] = {r.a0, r.amax, r.shindo};
    write_values(out, header, 5);
    write_values(out, values, 3);
    write_values(out, r.wave.data(), r.wave.size());
    write_values(out, r.levels.data(), r.levels.size());
  }
  return out ? 0 : 1;
}
