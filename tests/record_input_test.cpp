#include <cstdint>

#include <gtest/gtest.h>

#include "intensity/record_input.h"

namespace {

using intensity::transform_size;

TEST(RecordInput, TransformSizeIsTheSmallestFittingPowerOfTwo) {
  struct Row {
    std::int32_t NT, IF1, NF;
  };
  const Row rows[] = {
      {0, 2, 4},      {1, 2, 4},       {4, 2, 4},       {5, 3, 8},         {8, 3, 8},
      {9, 4, 16},     {1000, 10, 1024}, {1024, 10, 1024}, {1025, 11, 2048}, {16385, 15, 32768},
      {32768, 15, 32768},
  };
  for (const Row& row : rows) {
    const auto size = transform_size(row.NT);
    ASSERT_TRUE(size.has_value()) << row.NT;
    EXPECT_EQ(size->IF1, row.IF1) << row.NT;
    EXPECT_EQ(size->NF, row.NF) << row.NT;
  }
  for (const std::int32_t NT : {32769, 33000, 40000}) EXPECT_FALSE(transform_size(NT).has_value()) << NT;
}

}  // namespace
