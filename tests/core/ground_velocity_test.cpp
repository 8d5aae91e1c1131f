// The processed components and their velocities: the three components side
// by side give, on every instruction set, the bits of one component at a
// time, and one component at a time keeps the bits it had when its filter ran
// from the first of the zeros put before it.
#include "core/ground_velocity.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

using shindo::core::ButterflyKernel;

// One component of n samples at dt: an offset (the mean to remove) and three
// sines, one of them near the Nyquist frequency at 0.01 s.
std::vector<float> component(std::size_t n, double dt, int c) {
  const double offset[3] = {-12.5, 7.25, 3.0};
  std::vector<float> samples;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    samples.push_back(static_cast<float>(offset[c] + 80.0 * std::sin((1.3 + c) * t) + 30.0 * std::sin(17.0 * t + c) +
                                         5.0 * std::cos(50.0 * t)));
  }
  return samples;
}

// FNV-1a over the bytes of the values: equal for equal bits.
std::uint64_t bits_hash(const std::vector<double>& values) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const double value : values) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (const unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  }
  return hash;
}

std::size_t lead_of(double highpass_hz, double dt) {
  return static_cast<std::size_t>(shindo::core::lead_samples(highpass_hz, dt));
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(ProcessedComponents, EveryKernelGivesTheBitsOfOneComponentAtATime) {
  std::vector<ButterflyKernel> kernels = {ButterflyKernel::Portable, ButterflyKernel::Sse2};
  if (shindo::core::avx_available()) kernels.push_back(ButterflyKernel::Avx);
  if (shindo::core::avx512_available()) kernels.push_back(ButterflyKernel::Avx512);
  const double dt = 0.01f;
  for (const std::size_t n : {0, 1, 2, 3, 5, 8, 1000}) {
    for (const double highpass_hz : {0.0, 0.1, 2.0}) {
      const std::size_t lead = lead_of(highpass_hz, dt);
      const std::vector<float> samples[3] = {component(n, dt, 0), component(n, dt, 1), component(n, dt, 2)};
      std::vector<double> alone_acceleration[3], alone_velocity[3];
      for (int c = 0; c < 3; ++c) {
        alone_velocity[c] = shindo::core::process_component(samples[c], dt, highpass_hz, lead, alone_acceleration[c]);
      }
      for (const ButterflyKernel kernel : kernels) {
        SCOPED_TRACE(testing::Message() << n << " samples, fc " << highpass_hz << ", kernel " << static_cast<int>(kernel));
        std::array<std::vector<double>, 3> processed =
            shindo::core::processed_components({samples[0], samples[1], samples[2]}, dt, highpass_hz, lead, kernel);
        for (int c = 0; c < 3; ++c) {
          EXPECT_EQ(processed[c].size(), n + 2 * lead);
          EXPECT_TRUE(same_bits(processed[c], alone_acceleration[c])) << "component " << c;
          shindo::core::integrate_in_place(processed[c], dt);
          EXPECT_TRUE(same_bits(processed[c], alone_velocity[c])) << "component " << c;
        }
      }
    }
  }
}

// The hashes of each component's processed acceleration and velocity as the
// filter gave them when its forward pass also ran over the leading zeros.
TEST(ProcessComponent, KeepsTheBitsOfTheFilterRunOverEveryZero) {
  struct Case {
    std::size_t n;
    double dt, highpass_hz;
    std::size_t values;
    std::uint64_t acceleration[3], velocity[3];
  };
  const Case cases[] = {
      {1000, 0.01f, 0.1, 7002,
       {0x39ec330bd2790592u, 0x622f053b49ed055bu, 0x1bc648938f60e379u},
       {0x7139ffd56a80f70au, 0x8043d59afbf69db1u, 0x5f61e6db80ee2bdfu}},
      {1000, 0.01f, 0.0, 1000,
       {0x83380037309e9d68u, 0x6c3124c41e667b74u, 0xb0a81cea9dc3d20du},
       {0xf146461d3c03e64au, 0xd9d593c5350cdca6u, 0x6af061dbc5767292u}},
      {3, 0.005, 1.0, 1203,
       {0xc9b97d435d83dcb1u, 0x117562567ff6d572u, 0x11764b5377879cc4u},
       {0x82937b2a12e34c3eu, 0xe28da16c1f9b6cb7u, 0x164e4260c581171fu}},
      {8, 0.02, 0.5, 608,
       {0x2ed74130d365e5c5u, 0xcf793d7581bae91bu, 0x132134264d66c247u},
       {0xf28ec3b4b94835c2u, 0xfdad3cdf4c4e2dc4u, 0xe3e23ed22b423675u}},
  };
  for (const Case& k : cases) {
    for (int c = 0; c < 3; ++c) {
      SCOPED_TRACE(testing::Message() << k.n << " samples at " << k.dt << " s, fc " << k.highpass_hz << ", component " << c);
      std::vector<double> acceleration;
      const std::vector<double> velocity = shindo::core::process_component(
          component(k.n, k.dt, c), k.dt, k.highpass_hz, lead_of(k.highpass_hz, k.dt), acceleration);
      ASSERT_EQ(velocity.size(), k.values);
      EXPECT_EQ(bits_hash(acceleration), k.acceleration[c]);
      EXPECT_EQ(bits_hash(velocity), k.velocity[c]);
    }
  }
}

}  // namespace
