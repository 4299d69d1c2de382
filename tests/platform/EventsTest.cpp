#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Events.h"

namespace qs {
namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(AutoResetEvent, OneSetReleasesExactlyOneWaitAndAWaitTimesOut) {
  EventGroup group;
  AutoResetEvent e(group);
  EXPECT_FALSE(e.Wait(0)) << "events start unsignalled";
  e.Set();
  e.Set();  // a second Set on a signalled event changes nothing
  EXPECT_TRUE(e.Wait(0));
  const auto t0 = Clock::now();
  EXPECT_FALSE(e.Wait(60)) << "the first wait consumed the signal";
  EXPECT_GE(ElapsedMs(t0), 55);
  e.Set();
  e.Reset();
  EXPECT_FALSE(e.Wait(0)) << "Reset withdraws a pending signal";
}

TEST(WaitAny, ReturnsLowestSignalledIndexAndConsumesOnlyThatOne) {
  EventGroup group;
  AutoResetEvent a(group), b(group), c(group), d(group), other(group);
  d.Set();
  b.Set();
  other.Set();
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), 1);
  EXPECT_TRUE(d.IsSet()) << "the other signalled event keeps its signal";
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), 3);
  const auto t0 = Clock::now();
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 50), kWaitTimeout);
  EXPECT_GE(ElapsedMs(t0), 45);
  EXPECT_TRUE(other.IsSet()) << "a wait must not consume an event it does not wait for";
}

// Two threads wait on the same event; every signal set from this thread is
// consumed by exactly one wait: nothing is lost, nothing is delivered twice.
TEST(WaitAny, EverySignalReachesExactlyOneOfSeveralWaiters) {
  EventGroup group;
  AutoResetEvent work(group), quit(group), ack(group);
  std::atomic<int> consumed{0};
  auto waiter = [&] {
    while (WaitAny({&quit, &work}, kInfinite) == 1) {
      consumed.fetch_add(1);
      ack.Set();
    }
    quit.Set();  // pass the quit signal on to the other waiter
  };
  std::thread t1(waiter), t2(waiter);
  constexpr int kSignals = 2000;
  for (int i = 0; i < kSignals; ++i) {
    work.Set();
    ASSERT_TRUE(ack.Wait(5000)) << "signal " << i << " was lost";
  }
  quit.Set();
  t1.join();
  t2.join();
  EXPECT_EQ(consumed.load(), kSignals);
}

}  // namespace
}  // namespace qs
