#include <gtest/gtest.h>

#include "core/DrawRequestQueue.h"

namespace qs {
namespace {

struct QueueFixture : ::testing::Test {
  EventGroup group;
  AutoResetEvent wake{group};
  CriticalSection lock;
  DrawRequestQueue queue{lock, wake, 4};
};

// A push signals only into an empty queue; a batch signals always.
TEST_F(QueueFixture, OnlyThePushIntoAnEmptyQueueOrABatchSignals) {
  queue.Push({TrendRecord, 0, 0});
  EXPECT_TRUE(wake.Wait(0));
  queue.Push({PrevHour, 0, 0});
  EXPECT_FALSE(wake.IsSet()) << "the queue was not empty before this push";
  queue.PushBatch({{WaveReset, 0, 0}, {PowerFrame, 0, 0}, {BicReset, 0, 0}});
  EXPECT_TRUE(wake.Wait(0));
  std::vector<int> kinds;
  for (DrawRequest r; queue.Front(r); queue.PopFront()) kinds.push_back(r.kind);
  EXPECT_EQ(kinds, (std::vector<int>{TrendRecord, PrevHour, WaveReset, PowerFrame, BicReset}));
}

TEST_F(QueueFixture, GrowsPastItsCapacityKeepingOrderAcrossTheWrap) {
  // Move the head away from slot 0 first, so growth has to unroll a wrapped ring.
  for (int i = 0; i < 3; ++i) queue.Push({WaveSecond, i, 0});
  queue.PopFront();
  queue.PopFront();
  for (int i = 3; i < 40; ++i) queue.Push({WaveSecond, i, -i});
  EXPECT_EQ(queue.Size(), 38u);
  EXPECT_EQ(queue.HighWater(), 38u);
  DrawRequest r;
  for (int expected = 2; expected < 40; ++expected) {
    ASSERT_TRUE(queue.Front(r));
    EXPECT_EQ(r.arg1, expected);
    queue.PopFront();
  }
  EXPECT_FALSE(queue.Front(r));
  queue.PopFront();  // popping an empty queue is harmless
  EXPECT_EQ(queue.Size(), 0u);
}

}  // namespace
}  // namespace qs
