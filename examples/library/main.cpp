// The intensity of a record held in memory, with the shindo library: twenty
// seconds at 100 Hz of a decaying 1.5 Hz shaking, computed and reported; then
// its running intensity over 5 s windows, fed in blocks of 0.25 s as a live
// record would come in, and when it was strongest.
//
//   cmake -S examples/library -B build/example -DCMAKE_PREFIX_PATH=/usr/local
//   cmake --build build/example && build/example/intensity_of_a_record
#include <cmath>
#include <cstdio>
#include <span>
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

  const shindo::RunningSettings settings{dt, 5.0, 1.0};
  shindo::RunningStart start = shindo::start_running(settings);
  if (!start.stream) {
    std::printf("no running intensity: %s\n", shindo::refusal_text(start.refusal, settings).c_str());
    return 1;
  }
  shindo::RunningStep strongest;
  const auto keep_strongest = [&strongest](const shindo::RunningStep& step) {
    if (step.result.fault == shindo::Fault::none && step.result.shindo > strongest.result.shindo) strongest = step;
  };
  const std::span<const float> all1(ns), all2(ew), all3(ud);
  for (std::size_t first = 0; first < ns.size(); first += 25) {
    const shindo::Components block{all1.subspan(first, 25), all2.subspan(first, 25), all3.subspan(first, 25)};
    if (start.stream->feed(block, keep_strongest) != shindo::Fault::none) return 1;
  }
  start.stream->finish(keep_strongest);
  std::printf("strongest 5 s: %.7g in the window ending at %.2f s\n", static_cast<double>(strongest.result.shindo),
              strongest.time);
  return 0;
}
