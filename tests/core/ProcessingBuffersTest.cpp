#include <gtest/gtest.h>

#include <limits>

#include "core/ProcessingBuffers.h"

namespace qs {
namespace {

void* FailingAlloc(std::size_t, std::size_t) {
  return nullptr;
}

TEST(ProcessingBuffers, HistoryHoldsMaxMemHoursOfZeroedRecordsAndWraps) {
  ProcessingBuffers b;
  ASSERT_TRUE(b.Allocate(8));
  ASSERT_EQ(b.trend.capacity, 8u * 360u);
  for (std::size_t i = 0; i < b.trend.capacity; i += 97)
    EXPECT_EQ(b.trend.records[i][EpochResult::Bis], 0.0f);
  b.trend.index = static_cast<std::int32_t>(b.trend.capacity - 1);
  b.trend.Advance();
  EXPECT_EQ(b.trend.index, 0) << "after the last record the index wraps to the first";
}

TEST(ProcessingBuffers, RefusesSizesItCannotHoldInsteadOfOverflowing) {
  ProcessingBuffers b;
  EXPECT_FALSE(b.Allocate(24, &FailingAlloc));
  EXPECT_FALSE(b.Allocated());
  EXPECT_EQ(b.trend.capacity, 0u);
  // The largest MaxMem the settings file accepts: 2^31-1 hours is 7.7e11
  // records, which must not wrap around to a small allocation.
  static std::size_t requested = 0;
  auto spy = [](std::size_t count, std::size_t) -> void* { return requested = count, nullptr; };
  EXPECT_FALSE(b.Allocate(std::numeric_limits<std::int32_t>::max(), spy));
  EXPECT_EQ(requested, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) * 360u);
  EXPECT_FALSE(b.Allocate(0));
}

}  // namespace
}  // namespace qs
