#include <gtest/gtest.h>

#include "console/record_input.h"

namespace {

// The console run stops a record longer than its largest transform, 2^15.
TEST(RecordInput, LongestRecordIsTheLargestTransform) { EXPECT_EQ(console::kLongestRecord, 32768); }

}  // namespace
