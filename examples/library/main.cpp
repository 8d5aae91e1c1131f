// The intensity of a record held in memory, with the shindo library: twenty
// seconds at 100 Hz of a decaying 1.5 Hz shaking, computed and reported.
//
//   cmake -S examples/library -B build/example -DCMAKE_PREFIX_PATH=/usr/local
//   cmake --build build/example && build/example/intensity_of_a_record
#include <cmath>
#include <cstdio>
#include <vector>

#include <shindo/intensity.h>

int main() {
  const float dt = 0.01f;
  std::vector<float> ns(2000), ew(2000), ud(2000);
  for (std::size_t i = 0; i < ns.size(); ++i) {
    const double t = static_cast<double>(i) * dt;
    const double envelope = 180.0 * t * std::exp(1.0 - t / 2.0) / 2.0;
    ns[i] = static_cast<float>(envelope * std::sin(2.0 * 3.141592653589793 * 1.5 * t));
    ew[i] = static_cast<float>(0.8 * envelope * std::cos(2.0 * 3.141592653589793 * 1.1 * t));
    ud[i] = static_cast<float>(0.3 * envelope * std::sin(2.0 * 3.141592653589793 * 4.0 * t));
  }

  const shindo::Intensity result = shindo::compute_intensity({ns, ew, ud, dt});
  if (result.fault != shindo::Fault::none) {
    std::printf("no intensity: %s (%s stage)\n", shindo::fault_text(result.fault).data(),
                shindo::stage_name(result.stage).data());
    return 1;
  }
  const int tenths = shindo::reported_tenths(result.shindo);
  const shindo::IntensityClass c = shindo::intensity_class(tenths);
  std::printf("Amax   %.7g gal\n", static_cast<double>(result.amax));
  std::printf("A0     %.7g gal\n", static_cast<double>(result.a0));
  std::printf("Shindo %.7g\n", static_cast<double>(result.shindo));
  std::printf("reported %d.%d, intensity %s (%s)\n", tenths / 10, tenths % 10, shindo::class_label(c).data(),
              shindo::class_label_ja(c).data());
  return 0;
}
