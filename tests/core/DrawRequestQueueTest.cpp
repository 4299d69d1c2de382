#include "core/DrawRequestQueue.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

struct QueueFixture : ::testing::Test {
  EventGroup group;
  AutoResetEvent wake{group};
  CriticalSection lock;
  DrawRequestQueue queue{lock, wake, 4};
};

TEST_F(QueueFixture, OnlyThePushIntoAnEmptyQueueSignals) {
  queue.Push({PrevHour, 0, 0});
  EXPECT_TRUE(wake.Wait(0));
  queue.Push({PrevHour, 0, 0});
  queue.Push({PrevHour, 0, 0});
  EXPECT_FALSE(wake.IsSet()) << "the queue was not empty before these pushes";
  EXPECT_EQ(queue.Size(), 3u);
}

TEST_F(QueueFixture, BatchSignalsEvenWhenTheQueueHoldsRequests) {
  queue.Push({TrendRecord, 0, 0});
  ASSERT_TRUE(wake.Wait(0));
  queue.PushBatch({{WaveReset, 0, 0}, {PowerFrame, 0, 0}, {BicReset, 0, 0}, {TrendReset, 0, 0}});
  EXPECT_TRUE(wake.Wait(0));
  DrawRequest r;
  std::vector<int> kinds;
  while (queue.Front(r)) {
    kinds.push_back(r.kind);
    queue.PopFront();
  }
  EXPECT_EQ(kinds, (std::vector<int>{TrendRecord, WaveReset, PowerFrame, BicReset, TrendReset}));
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
