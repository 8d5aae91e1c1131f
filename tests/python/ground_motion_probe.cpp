// The C++ core's ground-motion values for records written by the Python
// tests, so that they compare the package's results with the core's.
//
//   ground_motion_probe IN OUT
//
// IN holds records one after another: int32 n, float32 dt, float64 damping,
// float64 highpass, int32 m (periods given; -1: the default ones), m float64
// periods, then n float32 samples of each of the three components in turn.
// OUT gets, for each record: int32 fault, lead_samples, periods, velocity
// length, lp_class; float64 pga[3], pga_horizontal, pga_vector, pgv[3],
// pgv_horizontal, si[2], si_max, sva_max[2], sva_period[2], lp_sva, lp_period;
// the periods; psa, sa, sd, sv, sva of each horizontal component in turn;
// the three velocities. Native byte order throughout.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <vector>

#include <shindo/ground_motion.h>

namespace {

template <typename T>
bool read_values(std::ifstream& in, T* values, std::size_t count) {
  return static_cast<bool>(in.read(reinterpret_cast<char*>(values), static_cast<std::streamsize>(sizeof(T) * count)));
}

template <typename T>
void write_values(std::ofstream& out, const T* values, std::size_t count) {
  out.write(reinterpret_cast<const char*>(values), static_cast<std::streamsize>(sizeof(T) * count));
}

void write_vector(std::ofstream& out, const std::vector<double>& values) { write_values(out, values.data(), values.size()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ground_motion_probe IN OUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ofstream out(argv[2], std::ios::binary);
  std::int32_t n = 0;
  while (read_values(in, &n, 1)) {
    float dt = 0.0f;
    double setting[2] = {};
    std::int32_t m = 0;
    if (!read_values(in, &dt, 1) || !read_values(in, setting, 2) || !read_values(in, &m, 1)) return 1;
    std::vector<double> periods(m > 0 ? static_cast<std::size_t>(m) : 0);
    std::vector<float> samples(3 * static_cast<std::size_t>(n));
    if (!read_values(in, periods.data(), periods.size()) || !read_values(in, samples.data(), samples.size())) {
      std::fprintf(stderr, "ground_motion_probe: a record is cut short\n");
      return 1;
    }
    const std::span<const float> all(samples);
    const auto size = static_cast<std::size_t>(n);
    shindo::GroundMotionSettings settings{.damping = setting[0], .highpass_hz = setting[1]};
    if (m >= 0) settings.periods = std::span<const double>(periods);
    const shindo::GroundMotion g = shindo::compute_ground_motion(
        {all.subspan(0, size), all.subspan(size, size), all.subspan(2 * size, size), dt}, settings);
    const std::int32_t header[] = {static_cast<std::int32_t>(g.fault), g.lead_samples,
                                   static_cast<std::int32_t>(g.periods.size()),
                                   static_cast<std::int32_t>(g.velocity[0].size()), g.lp_class};
    const double values[] = {g.pga[0],        g.pga[1],   g.pga[2],   g.pga_horizontal, g.pga_vector,
                             g.pgv[0],        g.pgv[1],   g.pgv[2],   g.pgv_horizontal, g.si[0],
                             g.si[1],         g.si_max,   g.sva_max[0], g.sva_max[1],   g.sva_period[0],
                             g.sva_period[1], g.lp_sva,   g.lp_period};
    write_values(out, header, 5);
    write_values(out, values, std::size(values));
    write_vector(out, g.periods);
    for (const shindo::ResponseSpectrum& s : g.spectra) {
      for (const std::vector<double>* curve : {&s.psa, &s.sa, &s.sd, &s.sv, &s.sva}) write_vector(out, *curve);
    }
    for (const std::vector<double>& velocity : g.velocity) write_vector(out, velocity);
  }
  return out ? 0 : 1;
}
