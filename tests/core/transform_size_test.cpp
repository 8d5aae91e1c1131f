#include <cstdint>

#include <gtest/gtest.h>

#include "core/fft.h"

namespace {

TEST(RecordInput, TransformSizeIsTheSmallestFittingPowerOfTwo) {
  struct Row {
    std::int32_t NT, IF1, NF;
  };
  const Row rows[] = {
      {0, 2, 4},      {1, 2, 4},       {4, 2, 4},       {5, 3, 8},         {8, 3, 8},
      {9, 4, 16},     {1000, 10, 1024}, {1024, 10, 1024}, {1025, 11, 2048}, {16385, 15, 32768},
      {32768, 15, 32768}, {32769, 16, 65536}, {1 << 20, 20, 1 << 20}, {(1 << 21) + 1, 22, 1 << 22},
      {1 << 22, 22, 1 << 22},
  };
  for (const Row& row : rows) {
    const shindo::core::TransformSize size = shindo::core::transform_size(row.NT);
    EXPECT_EQ(size.IF1, row.IF1) << row.NT;
    EXPECT_EQ(size.NF, row.NF) << row.NT;
  }
}

}  // namespace
