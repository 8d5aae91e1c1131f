// The bits of every computed quantity (wave, level rows, Amax, A0, Shindo) for
// deterministic pseudo-random records of many lengths up to 32768 samples and
// several intervals, as digests against a table taken from the console
// program's own stages before they became the computing core: any change of
// one bit in one value shows.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shindo/intensity.h"

namespace {

struct Row {
  float level;
  std::int32_t count;
  float duration;
};

struct Computed {
  std::vector<float> wave;
  std::vector<Row> levels;
  float amax = 0.0f;
  float a0 = 0.0f;
  float shindo = 0.0f;  // 0 when A0 is not positive
};

Computed compute(const std::vector<float>& acc1, const std::vector<float>& acc2, const std::vector<float>& acc3,
                 float dt) {
  const shindo::Intensity result = shindo::compute_intensity({acc1, acc2, acc3, dt});
  EXPECT_TRUE(result.fault == shindo::Fault::none || result.stage == shindo::Stage::intensity)
      << shindo::fault_text(result.fault);
  Computed c;
  c.wave = result.wave;
  for (const shindo::LevelRow& row : result.levels) c.levels.push_back({row.level, row.count, row.duration});
  c.amax = result.amax;
  c.a0 = result.a0;
  c.shindo = result.shindo;
  return c;
}

// FNV-1a over 32-bit words.
struct Digest {
  std::uint64_t value = 14695981039346656037u;
  void add(std::uint32_t word) {
    for (int byte = 0; byte < 4; ++byte) {
      value ^= (word >> (8 * byte)) & 0xFFu;
      value *= 1099511628211u;
    }
  }
  void add(float real) { add(std::bit_cast<std::uint32_t>(real)); }
};

std::uint64_t digest(const Computed& c) {
  Digest d;
  for (const float value : c.wave) d.add(value);
  for (const Row& row : c.levels) {
    d.add(row.level);
    d.add(static_cast<std::uint32_t>(row.count));
    d.add(row.duration);
  }
  d.add(c.amax);
  d.add(c.a0);
  d.add(c.shindo);
  return d.value;
}

// SplitMix64: the same numbers on every platform.
struct Numbers {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  // A value in [-300, 300) gal with 24 random bits.
  float acceleration() { return static_cast<float>(static_cast<double>(next() >> 40) / 16777216.0 * 600.0 - 300.0); }
};

struct Case {
  std::int32_t samples;
  float dt;
  std::uint64_t digest;
};

const Case kCases[] = {
    {1, 0.00999999978f, 0xe408465c8960c7cdu},
    {1, 0.00499999989f, 0xa8c6c8c97512ca0bu},
    {2, 0.00999999978f, 0xb3198420e011e32bu},
    {3, 0.00999999978f, 0xf7410ed586a27359u},
    {4, 0.00999999978f, 0xa88d736dec30e44eu},
    {4, 0.0199999996f, 0x265a77047d16f413u},
    {5, 0.00999999978f, 0x7020ef0280ffaff8u},
    {6, 0.00999999978f, 0xa0717b88baf5f605u},
    {7, 0.00999999978f, 0xa513bbfc0e8346a5u},
    {7, 0.00499999989f, 0x9fe1a3ed43ca6149u},
    {8, 0.00999999978f, 0x3566bb5a199f8e71u},
    {9, 0.00999999978f, 0xe56954549557568cu},
    {10, 0.00999999978f, 0xb5dba2e182e85e15u},
    {10, 0.0199999996f, 0xeddff97738b6afddu},
    {11, 0.00999999978f, 0xf430e20d0c98a13cu},
    {12, 0.00999999978f, 0x7b3842d328823870u},
    {13, 0.00999999978f, 0xee8c92741cfd47c1u},
    {13, 0.00499999989f, 0xaea910bef387d791u},
    {14, 0.00999999978f, 0x650bde921eef2d67u},
    {15, 0.00999999978f, 0x88c79eda86cedfcbu},
    {16, 0.00999999978f, 0x36c85400b40fb733u},
    {16, 0.0199999996f, 0x7d43b9f03c425e94u},
    {17, 0.00999999978f, 0xc7f8275c4abd1f10u},
    {18, 0.00999999978f, 0xe34e5aa5f80bf0e1u},
    {19, 0.00999999978f, 0x075cfd7af9ca4bd7u},
    {19, 0.00499999989f, 0xd765cd7759f2aad6u},
    {20, 0.00999999978f, 0xd1eada78af90cfb7u},
    {21, 0.00999999978f, 0x88cabb6c0c5ea603u},
    {22, 0.00999999978f, 0xb5aa38b18f18fc07u},
    {22, 0.0199999996f, 0x538f7af7030960c0u},
    {23, 0.00999999978f, 0x4203f20ab94b0c82u},
    {24, 0.00999999978f, 0xf9ef8ce8d2069fc9u},
    {25, 0.00999999978f, 0x1c525a0f5ba94359u},
    {25, 0.00499999989f, 0xd40ceebd5eee7b62u},
    {26, 0.00999999978f, 0x1cb73f3361eccdf7u},
    {27, 0.00999999978f, 0x0fbe71595aeddd8bu},
    {28, 0.00999999978f, 0xe7edf76c5514a303u},
    {28, 0.0199999996f, 0xebb5780534b0b5dfu},
    {29, 0.00999999978f, 0x23b4687715352aa1u},
    {30, 0.00999999978f, 0xa9271c58f17cf624u},
    {31, 0.00999999978f, 0xecd36109cc9acb19u},
    {31, 0.00499999989f, 0x4423c4cf1822d3deu},
    {32, 0.00999999978f, 0x261600f4f9473dc0u},
    {33, 0.00999999978f, 0x5c7c6bb19aa703a3u},
    {34, 0.00999999978f, 0xaa5b307ad11d286eu},
    {34, 0.0199999996f, 0x67ff806adfcae41eu},
    {35, 0.00999999978f, 0x4b0d3e649e8ce849u},
    {36, 0.00999999978f, 0x6d828c927861c3cbu},
    {37, 0.00999999978f, 0x313f9bef7a365cdbu},
    {37, 0.00499999989f, 0x1be9d19a1ed24daeu},
    {38, 0.00999999978f, 0x249b24a94901d627u},
    {39, 0.00999999978f, 0x8cc4b9dd46e3531du},
    {40, 0.00999999978f, 0xb0ef8a44c3537978u},
    {40, 0.0199999996f, 0x2e80771ff7f955efu},
    {41, 0.00999999978f, 0x8258bf2d667b041au},
    {42, 0.00999999978f, 0x0478d24db64f20dcu},
    {43, 0.00999999978f, 0xb0a3d99ee3ac6ce9u},
    {43, 0.00499999989f, 0xfc2942a2890b37e0u},
    {44, 0.00999999978f, 0x442ecac918755c8bu},
    {45, 0.00999999978f, 0x44df10d9e77659c4u},
    {46, 0.00999999978f, 0x6519d8aaa7c5261cu},
    {46, 0.0199999996f, 0xdc8ccf1963c6374fu},
    {47, 0.00999999978f, 0xe37aff255a6e58bau},
    {48, 0.00999999978f, 0x4c7e4691540cc3c2u},
    {49, 0.00999999978f, 0x9f56d9001f0610fau},
    {49, 0.00499999989f, 0x0a126207dd550829u},
    {50, 0.00999999978f, 0xb407db812ee736dau},
    {51, 0.00999999978f, 0xc504e44064462744u},
    {52, 0.00999999978f, 0x5331923e19f88bb1u},
    {52, 0.0199999996f, 0x0975ad99700cefbfu},
    {53, 0.00999999978f, 0x67e9c36a90394205u},
    {54, 0.00999999978f, 0x3f637b8431292cc5u},
    {55, 0.00999999978f, 0xa023131fc18e4aafu},
    {55, 0.00499999989f, 0x22fca64217f7947bu},
    {56, 0.00999999978f, 0x255d678f25bc7db4u},
    {57, 0.00999999978f, 0xd993918966dfcd6bu},
    {58, 0.00999999978f, 0xd603f634f3a22b31u},
    {58, 0.0199999996f, 0x3418756882ccccc9u},
    {59, 0.00999999978f, 0x442ba1d6d9e0303eu},
    {60, 0.00999999978f, 0xd8e0d0576fde7308u},
    {61, 0.00999999978f, 0xa00ae4cc7bc87838u},
    {61, 0.00499999989f, 0x2235d873deb8715eu},
    {62, 0.00999999978f, 0xbe53667763d3ee5bu},
    {63, 0.00999999978f, 0xa748eb7fb20a53f7u},
    {64, 0.00999999978f, 0x9f89525cfd31ab63u},
    {64, 0.0199999996f, 0x85038b4e545845b7u},
    {65, 0.00999999978f, 0xbf7fd657b9271b3bu},
    {66, 0.00999999978f, 0xd7b2bc21c20b4c7eu},
    {67, 0.00999999978f, 0x90a3dbbc4b32a876u},
    {67, 0.00499999989f, 0xb60db877983baf22u},
    {68, 0.00999999978f, 0xa7a6ac3ea6d7479bu},
    {69, 0.00999999978f, 0x1628dabcc3c7fec6u},
    {70, 0.00999999978f, 0x65018de3478d9fe2u},
    {70, 0.0199999996f, 0x3b17ac810a569e57u},
    {71, 0.00999999978f, 0xb0a31ae60ed01ebbu},
    {72, 0.00999999978f, 0xd60fb7a2597b31beu},
    {73, 0.00999999978f, 0x0a5a157c7d978dc6u},
    {73, 0.00499999989f, 0x8f09cbf944673e55u},
    {74, 0.00999999978f, 0xae285173cf1b5d90u},
    {75, 0.00999999978f, 0x2df2e1479b6bd882u},
    {76, 0.00999999978f, 0x647f1d59c116643eu},
    {76, 0.0199999996f, 0x232ce669e4788b8du},
    {77, 0.00999999978f, 0x322f009d4acb9d53u},
    {78, 0.00999999978f, 0x4cd0821cfbd4ad8eu},
    {79, 0.00999999978f, 0x6733ae3093bf4a90u},
    {79, 0.00499999989f, 0x4c66064621bc76cdu},
    {80, 0.00999999978f, 0xa60fb01b630c6d8au},
    {81, 0.00999999978f, 0x9061adec3a4b2d2du},
    {82, 0.00999999978f, 0x04b7f88f15383cc3u},
    {82, 0.0199999996f, 0x8902caab87b08caeu},
    {83, 0.00999999978f, 0xa67e4a00950e49aeu},
    {84, 0.00999999978f, 0x4af64dc15a75bc90u},
    {85, 0.00999999978f, 0x43aa5a0473676444u},
    {85, 0.00499999989f, 0x751621aac25debe1u},
    {86, 0.00999999978f, 0x9801464ef970f082u},
    {87, 0.00999999978f, 0x1e9105ff4fde25fcu},
    {88, 0.00999999978f, 0x0978ebd64c4ccc94u},
    {88, 0.0199999996f, 0xc8561a9055ee3623u},
    {89, 0.00999999978f, 0xf1f8da510d68c06au},
    {90, 0.00999999978f, 0x14584b2be226b3d1u},
    {91, 0.00999999978f, 0x64f30f8f837109eau},
    {91, 0.00499999989f, 0x874a8726e0a378b8u},
    {92, 0.00999999978f, 0xd18caf089e9cf9ffu},
    {93, 0.00999999978f, 0x4763b1dc83700381u},
    {94, 0.00999999978f, 0x1471868d7a1c93beu},
    {94, 0.0199999996f, 0xa31da9d83c50cd16u},
    {95, 0.00999999978f, 0x43a2dc42284a5108u},
    {96, 0.00999999978f, 0xb05d501cf94e4496u},
    {97, 0.00999999978f, 0x4183ad955a9479b0u},
    {97, 0.00499999989f, 0x2e84698f78d941e2u},
    {98, 0.00999999978f, 0x8f6dbbd8a98163c9u},
    {99, 0.00999999978f, 0x37a03625f85ed66fu},
    {100, 0.00999999978f, 0xe5798bef601b7bddu},
    {100, 0.0199999996f, 0x868a6d61cdbbf12cu},
    {101, 0.00999999978f, 0x96186715b8e58e88u},
    {102, 0.00999999978f, 0x108a3ccaebc281ccu},
    {103, 0.00999999978f, 0x4523cf508600c42du},
    {103, 0.00499999989f, 0xe5adb9401dda7a1au},
    {104, 0.00999999978f, 0x8a92b5f0def91577u},
    {105, 0.00999999978f, 0xbf6a0d624b07dc79u},
    {106, 0.00999999978f, 0xb70e3f71146606a9u},
    {106, 0.0199999996f, 0x4303dcb7279b2209u},
    {107, 0.00999999978f, 0x2092e5d58596dbd0u},
    {108, 0.00999999978f, 0x586b6e1b68a1e27du},
    {109, 0.00999999978f, 0x80f22ac1b6177de6u},
    {109, 0.00499999989f, 0x1ce78fa3165b7c11u},
    {110, 0.00999999978f, 0xc64db78498c5b072u},
    {111, 0.00999999978f, 0x5003a57edc68ddedu},
    {112, 0.00999999978f, 0xa02e525444e3ba9du},
    {112, 0.0199999996f, 0x7f7311a5d5f64b79u},
    {113, 0.00999999978f, 0x779f27746dd3052du},
    {114, 0.00999999978f, 0xa01c480c3ef4c27au},
    {115, 0.00999999978f, 0xd91cdd9f9a630f0au},
    {115, 0.00499999989f, 0x4fe5831b1950b8f0u},
    {116, 0.00999999978f, 0x7c9762838b2d33ccu},
    {117, 0.00999999978f, 0x864be79912180fffu},
    {118, 0.00999999978f, 0x8ef2ef4bf48c0383u},
    {118, 0.0199999996f, 0x795e505fbb07f1b4u},
    {119, 0.00999999978f, 0x7ed319da19f2b9aau},
    {120, 0.00999999978f, 0xf05239e7827b2350u},
    {121, 0.00999999978f, 0x1f2b2b88341f2a5fu},
    {121, 0.00499999989f, 0x13ff9e7d754cf2aeu},
    {122, 0.00999999978f, 0x8ca6c268c32d11d6u},
    {123, 0.00999999978f, 0xc530e35672b0dc45u},
    {124, 0.00999999978f, 0x178032c2d47c1f4bu},
    {124, 0.0199999996f, 0xb14587fc5251083fu},
    {125, 0.00999999978f, 0x0ec81ed2385c1386u},
    {126, 0.00999999978f, 0xfac34d11bf0714b5u},
    {127, 0.00999999978f, 0xbfd13a7165fb919eu},
    {127, 0.00499999989f, 0x6b6f1ba08c059217u},
    {128, 0.00999999978f, 0x112edb8c8fc6bfe5u},
    {255, 0.00999999978f, 0x03e3f64cf26680a3u},
    {256, 0.00999999978f, 0x06383bb81ce7c551u},
    {256, 0.0199999996f, 0xfa086f95091012c1u},
    {257, 0.00999999978f, 0x19bbcf9e2b29e804u},
    {511, 0.00999999978f, 0xd05cf5cc7beecf99u},
    {512, 0.00999999978f, 0x14aba85127d4c6d9u},
    {512, 0.00499999989f, 0xfce21b3595a5093eu},
    {513, 0.00999999978f, 0xa0133cdcbe62f181u},
    {1023, 0.00999999978f, 0x2cf1f06a304eb97eu},
    {1024, 0.00999999978f, 0x0a9c3b40556e69e8u},
    {1024, 0.0199999996f, 0x6526198568b21f7du},
    {1025, 0.00999999978f, 0x7c8880c69476d617u},
    {2047, 0.00999999978f, 0x2ae5e5aa8b4b7d9fu},
    {2048, 0.00999999978f, 0x697858d6266d46e1u},
    {2048, 0.00499999989f, 0x6ef8143b6e627ae6u},
    {2049, 0.00999999978f, 0x9f4a2a087a9e16dcu},
    {4095, 0.00999999978f, 0x0335165b83dff494u},
    {4096, 0.00999999978f, 0xc06a7c277b8bfc95u},
    {4096, 0.0199999996f, 0x7dd9984c9150e61au},
    {4097, 0.00999999978f, 0xec80b2e54df59a81u},
    {8191, 0.00999999978f, 0xa0f58d0f62a08b79u},
    {8192, 0.00999999978f, 0x7eedae69a1d0cb13u},
    {8192, 0.00499999989f, 0xfde0bbb9e4926e8bu},
    {8193, 0.00999999978f, 0xc6c20e82202fbd37u},
    {16383, 0.00999999978f, 0xeb8a1edab572db03u},
    {16384, 0.00999999978f, 0x93d543d56ea967bbu},
    {16384, 0.0199999996f, 0xc3487d56869ec0feu},
    {16385, 0.00999999978f, 0x94d30821589b2045u},
    {32767, 0.00999999978f, 0x5a3c88550011491fu},
    {32768, 0.00999999978f, 0x51426d2ade06f042u},
    {32768, 0.00499999989f, 0x6faf7e67a66f0c8au},
    {5732, 0.00999999978f, 0x91ccfd6a28e833cbu},
    {933, 0.00999999978f, 0x4d0b9a37b82a5579u},
    {5116, 0.00999999978f, 0xceb416351e946703u},
    {5116, 0.0199999996f, 0xef06bbe38449275cu},
    {20696, 0.00999999978f, 0x949bb90868df2ff9u},
    {5365, 0.00999999978f, 0x81b6918077a36d69u},
    {29428, 0.00999999978f, 0x61f4ed04b1449225u},
    {29428, 0.00499999989f, 0xbcaacc08c38a07c7u},
    {27204, 0.00999999978f, 0x44bca2203e53122au},
    {6724, 0.00999999978f, 0xcf37a28140016610u},
    {575, 0.00999999978f, 0x12321f69a044ca93u},
    {575, 0.0199999996f, 0xed99e9463aa5401au},
    {14101, 0.00999999978f, 0x1c7782201b5048dcu},
    {9812, 0.00999999978f, 0x32c2dfbac18513acu},
    {6527, 0.00999999978f, 0x77cbfbf63be100f1u},
    {6527, 0.00499999989f, 0x41fb11a7e7629022u},
    {22410, 0.00999999978f, 0x0eca57530d7019ebu},
    {23507, 0.00999999978f, 0xecf46b89bd7c6722u},
    {4755, 0.00999999978f, 0xf8c5071f0eabe22bu},
    {4755, 0.0199999996f, 0x266276bb1182ee79u},
    {26686, 0.00999999978f, 0x678b87ab58f69496u},
    {13627, 0.00999999978f, 0x7562500867bababbu},
    {29527, 0.00999999978f, 0xf639f97fe05d66efu},
    {29527, 0.00499999989f, 0xe95b6ba92ac5f0cdu},
    {3881, 0.00999999978f, 0xb948933ff5945358u},
    {28388, 0.00999999978f, 0xa2100f5ea3471e00u},
    {2836, 0.00999999978f, 0x9b5b7ee12cb88d9bu},
    {2836, 0.0199999996f, 0xf37edca5b131162du},
    {9695, 0.00999999978f, 0xc0471ece783edf52u},
    {1709, 0.00999999978f, 0x23fd8654b37996fau},
    {31185, 0.00999999978f, 0x85e122834679fe2bu},
    {31185, 0.00499999989f, 0x6372249ccaa3d68eu},
    {3169, 0.00999999978f, 0x8c9dd58b17f3ef54u},
    {14614, 0.00999999978f, 0x61b8885be2920a34u},
    {3355, 0.00999999978f, 0xfdcadb806379534fu},
    {3355, 0.0199999996f, 0x2e06bf596ef0e277u},
    {20403, 0.00999999978f, 0x8c79d6f87b1cb29au},
    {18774, 0.00999999978f, 0x37085687b43c4357u},
    {24221, 0.00999999978f, 0x6a13d958acc3a91eu},
    {24221, 0.00499999989f, 0xa12f0daef3c683bcu},
    {3721, 0.00999999978f, 0x124de8b42f948e8cu},
    {3901, 0.00999999978f, 0x2ddd2ba91bbc68e3u},
    {30446, 0.00999999978f, 0x89f17215a8bed7c1u},
    {30446, 0.0199999996f, 0xff29f36b884986d3u},
    {1508, 0.00999999978f, 0xfa8f8da543a1b357u},
    {19441, 0.00999999978f, 0x7cc23baa6f8a9e33u},
    {22253, 0.00999999978f, 0x1dcc2117c4a299c9u},
    {22253, 0.00499999989f, 0xc70ab700f8c1569fu},
    {10241, 0.00999999978f, 0x102a96d9957beeafu},
    {13063, 0.00999999978f, 0x7bc6298ed4fa9542u},
    {13425, 0.00999999978f, 0xbd4653bebeb28c16u},
    {13425, 0.0199999996f, 0xe1fc210e9e9c6508u},
    {3601, 0.00999999978f, 0x63efc0a812027791u},
    {28601, 0.00999999978f, 0x8b43dbe89b94ca8du},
    {23618, 0.00999999978f, 0xba46edcdfabf07eeu},
    {23618, 0.00499999989f, 0x48d1e1865f4d2a2du},
    {16572, 0.00999999978f, 0xd2dd4e1ec8a82141u},
    {12407, 0.00999999978f, 0x02213cca5923c98cu},
    {22164, 0.00999999978f, 0x3d6afb768eba078du},
    {22164, 0.0199999996f, 0xb2e207ee5cbc0ef3u},
    {20399, 0.00999999978f, 0x5535283b2f0c2a8fu},
    {12848, 0.00999999978f, 0x8e34d243888509fcu},
    {1709, 0.00999999978f, 0x23fd8654b37996fau},
    {1709, 0.00499999989f, 0xcf5cb2adbf9083ebu},
    {3716, 0.00999999978f, 0xf0b397543e9184c8u},
    {17466, 0.00999999978f, 0x798aa09185b2bde0u},
    {7299, 0.00999999978f, 0x74a16702797e993fu},
    {7299, 0.0199999996f, 0x2c29d20fa973b05cu},
    {22118, 0.00999999978f, 0x929f5d64ce393e70u},
    {23995, 0.00999999978f, 0xa57e30be16d8719eu},
    {28652, 0.00999999978f, 0xda434b5839ca8c44u},
    {28652, 0.00499999989f, 0x4f130aa6843f121du},
    {20642, 0.00999999978f, 0x88495c797d9f5a13u},
    {11630, 0.00999999978f, 0x0fcb67ddf37c953fu},
    {24792, 0.00999999978f, 0x3505a52a7cabc0e6u},
    {24792, 0.0199999996f, 0xd22b3fc39e6b1887u},
    {21846, 0.00999999978f, 0x4fa7bd4bbfc2eec5u},
    {5351, 0.00999999978f, 0xcc90203238f11de4u},
    {13665, 0.00999999978f, 0xbcd73a4cf908089bu},
    {13665, 0.00499999989f, 0xd299d52519d2f5ecu},
};

// The lengths and intervals of the table, in its order.
std::vector<std::pair<std::int32_t, float>> lengths_and_intervals() {
  std::vector<std::int32_t> lengths;
  for (std::int32_t n = 1; n <= 128; ++n) lengths.push_back(n);
  for (std::int32_t size = 256; size <= 32768; size *= 2) {
    for (const std::int32_t n : {size - 1, size, size + 1}) {
      if (n <= 32768) lengths.push_back(n);
    }
  }
  Numbers pick{99};
  for (int k = 0; k < 60; ++k) lengths.push_back(129 + static_cast<std::int32_t>(pick.next() % 32640));
  std::vector<std::pair<std::int32_t, float>> cases;
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    cases.emplace_back(lengths[k], 0.01f);
    if (k % 3 == 0) cases.emplace_back(lengths[k], k % 2 == 0 ? 0.005f : 0.02f);
  }
  return cases;
}

// The digest of the pseudo-random record of n samples at dt.
std::uint64_t record_digest(std::int32_t n, float dt) {
  Numbers numbers{static_cast<std::uint64_t>(n) * 7919u + std::bit_cast<std::uint32_t>(dt)};
  std::vector<float> acc1(n), acc2(n), acc3(n);
  for (std::int32_t i = 0; i < n; ++i) {
    acc1[i] = numbers.acceleration();
    acc2[i] = numbers.acceleration();
    acc3[i] = numbers.acceleration() * (i % 97 == 0 ? 10.0f : 1.0f);
  }
  return digest(compute(acc1, acc2, acc3, dt));
}

// Checks the digests of `cases` against `table` (in the same order), or
// prints the table's rows when SHINDO_PRINT_DIGESTS is set.
void expect_digests(std::span<const Case> table, const std::vector<std::pair<std::int32_t, float>>& cases) {
  const bool print = std::getenv("SHINDO_PRINT_DIGESTS") != nullptr;
  if (!print) {
    ASSERT_EQ(table.size(), cases.size());
  }
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const auto [n, dt] = cases[k];
    const std::uint64_t value = record_digest(n, dt);
    if (print) {
      std::printf("    {%d, %.9gf, 0x%016llxu},\n", n, static_cast<double>(dt), static_cast<unsigned long long>(value));
      continue;
    }
    EXPECT_EQ(table[k].samples, n);
    EXPECT_EQ(table[k].dt, dt);
    EXPECT_EQ(table[k].digest, value) << n << " samples at " << dt << " s";
  }
}

TEST(IntensityBits, EveryValueOfRandomRecordsMatchesTheTable) {
  expect_digests(kCases, lengths_and_intervals());
}

// Long records up to 2^20 samples at 0.01 s, and records at every interval
// the readers meet: the networks' rates (100, 200, 128, 250, 50, 20 and
// 1000 Hz, each 1/rate rounded to a float) and a console text's interval
// taken from times that do not start at 0 (1.01 - 1.00 in single precision).
std::vector<std::pair<std::int32_t, float>> long_lengths_and_rates() {
  std::vector<std::pair<std::int32_t, float>> cases;
  for (std::int32_t size = 65536; size <= 1048576; size *= 2) {
    for (const std::int32_t n : {size - 1, size, size + 1}) {
      if (n <= 1048576) cases.emplace_back(n, 0.01f);
    }
  }
  Numbers pick{2024};
  for (int k = 0; k < 4; ++k) cases.emplace_back(32769 + static_cast<std::int32_t>(pick.next() % 1015807), 0.01f);
  const float rates[] = {100.0f, 200.0f, 128.0f, 250.0f, 50.0f, 20.0f, 1000.0f};
  std::vector<float> intervals;
  for (const float rate : rates) intervals.push_back(static_cast<float>(1.0 / rate));
  intervals.push_back(1.01f - 1.0f);
  for (const std::int32_t n : {3000, 6000, 30000, 32768, 40000}) {
    for (const float dt : intervals) cases.emplace_back(n, dt);
  }
  return cases;
}

const Case kLongAndRateCases[] = {
    {65535, 0.00999999978f, 0x7767c446f8377a82u},
    {65536, 0.00999999978f, 0x882b8ff9d9d27bfau},
    {65537, 0.00999999978f, 0xf4b1c8155f0b6fc9u},
    {131071, 0.00999999978f, 0x9551ab2336c5a9aau},
    {131072, 0.00999999978f, 0x3ce4ac3c98bf8d63u},
    {131073, 0.00999999978f, 0x22b0b2cae2d9f86eu},
    {262143, 0.00999999978f, 0xa3bf5da21546da94u},
    {262144, 0.00999999978f, 0x697e04f331769d31u},
    {262145, 0.00999999978f, 0xb726f5fa1dbe3408u},
    {524287, 0.00999999978f, 0x13e1fb7c58b621efu},
    {524288, 0.00999999978f, 0xff02a0f4e05899feu},
    {524289, 0.00999999978f, 0x59227b0aa2f4f037u},
    {1048575, 0.00999999978f, 0x88889c18560da9c0u},
    {1048576, 0.00999999978f, 0x242c075ad7cb5e7fu},
    {956386, 0.00999999978f, 0x427cfaf658ad6c2eu},
    {950880, 0.00999999978f, 0xb821031994857a35u},
    {538187, 0.00999999978f, 0x35dc772c07bcd48eu},
    {36349, 0.00999999978f, 0x0b3956356bed27c7u},
    {3000, 0.00999999978f, 0xe8eac95b608c2ab1u},
    {3000, 0.00499999989f, 0x2e287218456f40f1u},
    {3000, 0.0078125f, 0x69d322546314a6d6u},
    {3000, 0.00400000019f, 0x5ad71be510b30268u},
    {3000, 0.0199999996f, 0x46483041c76e8fb1u},
    {3000, 0.0500000007f, 0x79e8c2eb2346e7dfu},
    {3000, 0.00100000005f, 0x4457f8ece3f6cbdbu},
    {3000, 0.00999999046f, 0x998e41ce727b6a1au},
    {6000, 0.00999999978f, 0x7813d88a24d518eau},
    {6000, 0.00499999989f, 0x667e9e860be0fd9au},
    {6000, 0.0078125f, 0x635f6fdead5aa126u},
    {6000, 0.00400000019f, 0xc2b149079e5727d2u},
    {6000, 0.0199999996f, 0x1910085c0677e98bu},
    {6000, 0.0500000007f, 0xdc1886e81d6e8739u},
    {6000, 0.00100000005f, 0xd9f92922108d90d1u},
    {6000, 0.00999999046f, 0x7668916c170fb90du},
    {30000, 0.00999999978f, 0x28d3b26c17e5ccb4u},
    {30000, 0.00499999989f, 0x93bb4c2cea248d28u},
    {30000, 0.0078125f, 0x5ece6a11e9a80217u},
    {30000, 0.00400000019f, 0x33fcd04c7bb70077u},
    {30000, 0.0199999996f, 0x748156bfbb5bc8feu},
    {30000, 0.0500000007f, 0x6019d18228efa29fu},
    {30000, 0.00100000005f, 0xbf810053a6c8b22cu},
    {30000, 0.00999999046f, 0xf2e558dcba9585a9u},
    {32768, 0.00999999978f, 0x51426d2ade06f042u},
    {32768, 0.00499999989f, 0x6faf7e67a66f0c8au},
    {32768, 0.0078125f, 0xecce096540910c6au},
    {32768, 0.00400000019f, 0xb5173b95faf735b4u},
    {32768, 0.0199999996f, 0xb604fbaaaf5e37dau},
    {32768, 0.0500000007f, 0x07d586111d88a13eu},
    {32768, 0.00100000005f, 0xaefb9a2671b72f43u},
    {32768, 0.00999999046f, 0x9eb76f8f94e57442u},
    {40000, 0.00999999978f, 0x3eab21aacc61abc5u},
    {40000, 0.00499999989f, 0x8496a4009295ef13u},
    {40000, 0.0078125f, 0x71dda425832883b7u},
    {40000, 0.00400000019f, 0x2d395a4993e927e5u},
    {40000, 0.0199999996f, 0xe7ebb7af88b50f7du},
    {40000, 0.0500000007f, 0x47ba207dc2972153u},
    {40000, 0.00100000005f, 0xe2f62c9a32c97664u},
    {40000, 0.00999999046f, 0x11a3231202127ae6u},
};

TEST(IntensityBits, LongRecordsAndEveryReaderIntervalMatchTheTable) {
  expect_digests(kLongAndRateCases, long_lengths_and_rates());
}

}  // namespace
