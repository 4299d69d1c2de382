#include "platform/Events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qs {
namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(AutoResetEvent, OneSetReleasesExactlyOneWaitAndSignalsDoNotCount) {
  EventGroup group;
  AutoResetEvent e(group);
  EXPECT_FALSE(e.Wait(0)) << "events start unsignalled";
  e.Set();
  e.Set();  // a second Set on a signalled event changes nothing
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0)) << "the first wait consumed the signal";
  e.Set();
  e.Reset();
  EXPECT_FALSE(e.Wait(0)) << "Reset withdraws a pending signal";
}

TEST(AutoResetEvent, WaitTimesOutAfterRoughlyTheTimeout) {
  EventGroup group;
  AutoResetEvent e(group);
  const auto t0 = Clock::now();
  EXPECT_FALSE(e.Wait(60));
  const int ms = ElapsedMs(t0);
  EXPECT_GE(ms, 55);
  EXPECT_LT(ms, 2000);
}

TEST(WaitAny, ReturnsLowestSignalledIndexAndConsumesOnlyThatOne) {
  EventGroup group;
  AutoResetEvent a(group), b(group), c(group), d(group);
  d.Set();
  b.Set();
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), 1);
  EXPECT_TRUE(d.IsSet()) << "the other signalled event keeps its signal";
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), 3);
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), kWaitTimeout);
}

TEST(WaitAny, TimesOutWhenNothingIsSetAndIgnoresEventsOutsideTheList) {
  EventGroup group;
  AutoResetEvent a(group), b(group), other(group);
  other.Set();
  const auto t0 = Clock::now();
  EXPECT_EQ(WaitAny({&a, &b}, 50), kWaitTimeout);
  EXPECT_GE(ElapsedMs(t0), 45);
  EXPECT_TRUE(other.IsSet()) << "a wait must not consume an event it does not wait for";
}

TEST(WaitAny, WakesWhenAnotherThreadSetsAnEvent) {
  EventGroup group;
  AutoResetEvent a(group), b(group);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    b.Set();
  });
  const auto t0 = Clock::now();
  EXPECT_EQ(WaitAny({&a, &b}, kInfinite), 1);
  EXPECT_LT(ElapsedMs(t0), 2000);
  setter.join();
}

TEST(WaitAny, EverySignalReachesExactlyOneOfSeveralWaiters) {
  // Two threads wait on the same event; 2000 signals, each consumed by one
  // wait: nothing is lost, nothing is delivered twice.
  EventGroup group;
  AutoResetEvent work(group), quit(group), ack(group);
  std::atomic<int> consumed{0};
  auto waiter = [&] {
    for (;;) {
      const int r = WaitAny({&quit, &work}, kInfinite);
      if (r == 0) {
        quit.Set();  // pass the quit signal on to the other waiter
        return;
      }
      consumed.fetch_add(1);
      ack.Set();
    }
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
