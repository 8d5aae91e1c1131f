// make_record: writes a synthetic three-component strong-motion record in the
// input form of shindo (one sample a line: time in s, then three
// accelerations in gal, separated by blanks, LF line ends).
//
//   make_record SAMPLES INTERVAL SEED OUTPUT
//
// examples/sample.txt was made with
//
//   make_record 4000 0.01 20240117 examples/sample.txt
//
// Each component is white Gaussian noise, shaped in time by an envelope
// (quiet lead-in, quadratic rise, strong-motion plateau, exponential decay,
// with a faint background throughout), passed through two band-pass
// resonators of different centre frequencies and finally scaled to its own
// peak acceleration. The output depends only on the arguments: the random
// numbers come from a splitmix64 generator, the Gaussian deviates are sums of
// uniform deviates and the filters and envelope use nothing but IEEE
// additions, multiplications and divisions, so every machine writes the same
// bytes.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Envelope times (s) and shape, the same for every component.
constexpr double kOnset = 2.0;         // end of the quiet lead-in
constexpr double kPlateauStart = 5.0;  // end of the rise
constexpr double kPlateauEnd = 14.0;   // start of the decay
constexpr double kDecayTime = 6.0;     // e-folding time of the decay
constexpr double kBackground = 0.004;  // level of the ambient noise

// One band-pass resonator: centre frequency (Hz), damping ratio, weight.
struct Band {
  double frequency;
  double damping;
  double weight;
};

// Two horizontal-like components of a few hundred gal and a weaker,
// higher-pitched vertical-like one.
struct Component {
  Band low;
  Band high;
  double peak;  // gal
};

constexpr Component kComponents[3] = {
    {{1.6, 0.45, 1.0}, {5.0, 0.50, 0.6}, 312.0},
    {{2.3, 0.40, 1.0}, {6.5, 0.50, 0.5}, 247.0},
    {{4.0, 0.45, 0.7}, {9.0, 0.50, 1.0}, 138.0},
};

struct SplitMix64 {
  std::uint64_t state;

  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1) with 53 random bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  // Approximately standard normal: the sum of twelve uniform deviates has
  // mean 6 and variance 1.
  double gaussian() {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) sum += uniform();
    return sum - 6.0;
  }
};

// Relative amplitude of the motion at time t; `decay` is the decay reached by
// then, which counts only after the plateau.
double envelope(double t, double decay) {
  double shape = decay;
  if (t < kOnset) {
    shape = 0.0;
  } else if (t < kPlateauStart) {
    const double r = (t - kOnset) / (kPlateauStart - kOnset);
    shape = r * r;
  } else if (t < kPlateauEnd) {
    shape = 1.0;
  }
  return shape > kBackground ? shape : kBackground;
}

// The velocity response of a damped oscillator, x'' + 2ζωx' + ω²x = u,
// scaled by 2ζω so that its gain at the centre frequency is one: a band-pass
// that passes no constant offset. Integrated with the average-acceleration
// (trapezoidal) rule, which is stable for every step.
struct Resonator {
  double omega;
  double damping;
  double step;
  double x = 0.0;
  double v = 0.0;
  double a = 0.0;

  double filter(double input) {
    const double c = 2.0 * damping * omega;
    const double k = omega * omega;
    const double predicted_v = v + 0.5 * step * a;
    const double predicted_x = x + step * v + 0.25 * step * step * a;
    const double next_a =
        (input - c * predicted_v - k * predicted_x) / (1.0 + 0.5 * step * c + 0.25 * step * step * k);
    x = predicted_x + 0.25 * step * step * next_a;
    v = predicted_v + 0.5 * step * next_a;
    a = next_a;
    return c * v;
  }
};

std::vector<double> make_component(const Component& component, long samples, double interval,
                                   SplitMix64& random) {
  Resonator low{2.0 * kPi * component.low.frequency, component.low.damping, interval};
  Resonator high{2.0 * kPi * component.high.frequency, component.high.damping, interval};
  // The decay is geometric from sample to sample, exp(-interval/kDecayTime)
  // taken to second order and then raised by repeated multiplication.
  const double ratio = interval / kDecayTime;
  const double decay_factor = 1.0 - ratio + 0.5 * ratio * ratio;
  double decay = 1.0;

  std::vector<double> values(static_cast<std::size_t>(samples));
  double largest = 0.0;
  for (long i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) * interval;
    if (t >= kPlateauEnd) decay *= decay_factor;
    const double drive = envelope(t, decay) * random.gaussian();
    const double value = component.low.weight * low.filter(drive) + component.high.weight * high.filter(drive);
    values[static_cast<std::size_t>(i)] = value;
    if (std::fabs(value) > largest) largest = std::fabs(value);
  }
  if (largest > 0.0) {
    for (double& value : values) value *= component.peak / largest;
  }
  return values;
}

// Fewest decimals (at most 6) that show every multiple of the interval.
int time_decimals(double interval) {
  double scaled = interval;
  for (int decimals = 0; decimals < 6; ++decimals) {
    if (std::fabs(scaled - std::nearbyint(scaled)) < 1e-9 * (scaled > 1.0 ? scaled : 1.0)) return decimals;
    scaled *= 10.0;
  }
  return 6;
}

bool parse_count(const char* text, long& value) {
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end && value > 0;
}

bool parse_interval(const char* text, double& value) {
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end && value > 0.0 && std::isfinite(value);
}

bool parse_seed(const char* text, std::uint64_t& value) {
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end;
}

int usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s SAMPLES INTERVAL SEED OUTPUT\n"
               "  SAMPLES   number of samples, above 0\n"
               "  INTERVAL  sampling interval in seconds, above 0\n"
               "  SEED      unsigned integer seed of the noise\n"
               "  OUTPUT    path of the record to write\n",
               program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long samples = 0;
  double interval = 0.0;
  std::uint64_t seed = 0;
  if (argc != 5 || !parse_count(argv[1], samples) || !parse_interval(argv[2], interval) ||
      !parse_seed(argv[3], seed)) {
    return usage(argv[0]);
  }

  SplitMix64 random{seed};
  std::vector<double> components[3];
  for (int c = 0; c < 3; ++c) components[c] = make_component(kComponents[c], samples, interval, random);

  std::FILE* out = std::fopen(argv[4], "w");
  if (out == nullptr) {
    std::fprintf(stderr, "%s: cannot create %s: %s\n", argv[0], argv[4], std::strerror(errno));
    return 1;
  }
  const int decimals = time_decimals(interval);
  for (long i = 0; i < samples; ++i) {
    const auto k = static_cast<std::size_t>(i);
    // A value too small to show is written as 0.0000, never as -0.0000.
    double value[3];
    for (int c = 0; c < 3; ++c) value[c] = std::fabs(components[c][k]) < 0.00005 ? 0.0 : components[c][k];
    std::fprintf(out, "%.*f %.4f %.4f %.4f\n", decimals, static_cast<double>(i) * interval, value[0], value[1],
                 value[2]);
  }
  if (std::ferror(out) != 0 || std::fclose(out) != 0) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[4]);
    return 1;
  }
  return 0;
}
