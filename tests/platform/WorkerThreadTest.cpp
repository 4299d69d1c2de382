// The events the threads wait on, the worker thread base and the queued
// user-interface bridge the command-line programs run.
#include <gtest/gtest.h>

#include "platform/Events.h"
#include "platform/QueuedUiBridge.h"
#include "platform/WorkerThread.h"

namespace qs {
namespace {

using namespace std::chrono_literals;

// A second Set on a signalled event changes nothing; Reset withdraws a pending
// signal. WaitAny returns the lowest signalled index and consumes only that
// event, never one it does not wait for.
TEST(AutoResetEvent, OneSetReleasesExactlyOneWaitAndAWaitTimesOut) {
  EventGroup group;
  AutoResetEvent e(group), a(group), b(group), c(group), d(group);
  EXPECT_FALSE(e.Wait(0)) << "events start unsignalled";
  e.Set(), e.Set();
  EXPECT_TRUE(e.Wait(0));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(e.Wait(60)) << "the first wait consumed the signal";
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 55ms);
  e.Set(), e.Reset();
  EXPECT_FALSE(e.IsSet());

  d.Set(), b.Set(), e.Set();
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), 1);
  EXPECT_TRUE(d.IsSet()) << "the other signalled event keeps its signal";
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 0), 3);
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitAny({&a, &b, &c, &d}, 50), kWaitTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 45ms);
  EXPECT_TRUE(e.IsSet());
}

// Two threads wait on the same event; every signal set from this thread is
// consumed by exactly one wait: nothing is lost, nothing is delivered twice.
TEST(WaitAny, EverySignalReachesExactlyOneOfSeveralWaiters) {
  EventGroup group;
  AutoResetEvent work(group), quit(group), ack(group);
  std::atomic<int> consumed{0};
  auto waiter = [&] {
    while (WaitAny({&quit, &work}, kInfinite) == 1) consumed.fetch_add(1), ack.Set();
    quit.Set();  // pass the quit signal on to the other waiter
  };
  std::thread t1(waiter), t2(waiter);
  for (int i = 0; i < 2000; ++i) {
    work.Set();
    ASSERT_TRUE(ack.Wait(5000)) << "signal " << i << " was lost";
  }
  quit.Set();
  t1.join(), t2.join();
  EXPECT_EQ(consumed.load(), 2000);
}

// A worker that waits on its event like the real ones and hands a step to the
// user-interface thread on every wake-up.
class EchoThread final : public WorkerThread {
 public:
  EchoThread(UiBridge& ui, AutoResetEvent& wake)
      : WorkerThread(ui, ThreadPriority::AboveNormal), wake_(wake) {}
  ~EchoThread() override { Terminate(), wake_.Set(), TerminateAndJoin(); }
  std::atomic<int> synchronizedOk{0}, synchronizedRefused{0};
  std::thread::id stepThread;

 protected:
  void Execute() override {
    while (!Terminated()) {
      if (!wake_.Wait(200) || Terminated()) continue;
      const bool ran = Synchronize([this] { stepThread = std::this_thread::get_id(); });
      (ran ? synchronizedOk : synchronizedRefused).fetch_add(1);
      Post([] {});
    }
  }
  AutoResetEvent& wake_;
};

// The user-interface side and one started worker.
struct Rig {
  Rig() { worker.Start(); }
  QueuedUiBridge ui;
  EventGroup group;
  AutoResetEvent wake{group};
  EchoThread worker{ui, wake};
};

TEST(WorkerThread, SynchronizeRunsOnTheUserInterfaceThreadAndTerminateEndsTheBody) {
  Rig r;
  auto& [ui, group, wake, worker] = r;
  EXPECT_FALSE(worker.WaitFor(50));
  wake.Set();
  ASSERT_TRUE(ui.RunUntil([&] { return worker.synchronizedOk.load() == 1; }, 5000));
  EXPECT_EQ(worker.stepThread, std::this_thread::get_id());
  ASSERT_TRUE(ui.RunUntil([&] { return ui.Queued() == 0; }, 5000));
  worker.Terminate();
  EXPECT_TRUE(worker.WaitFor(1000) && worker.Finished()) << "the body polls the flag after each 200 ms wait";
}

// The exit path: the user-interface thread stops serving steps and joins the
// worker. A worker waiting in Synchronize must not hold the exit up.
TEST(WorkerThread, ShutdownReleasesAWorkerBlockedInSynchronize) {
  Rig r;
  auto& [ui, group, wake, worker] = r;
  wake.Set();
  for (int i = 0; i < 500 && ui.Queued() == 0; ++i) std::this_thread::sleep_for(2ms);
  ASSERT_EQ(ui.Queued(), 1);  // queued, never run
  ui.Shutdown(), worker.Terminate();
  ASSERT_TRUE(worker.WaitFor(2000));
  EXPECT_EQ(std::pair(worker.synchronizedOk.load(), worker.synchronizedRefused.load()), std::pair(0, 1));
  EXPECT_FALSE(ui.Synchronize([] { FAIL() << "a shut-down bridge runs nothing"; }));
}

TEST(QueuedUiBridge, PostedStepsRunInOrderOnlyWhenTheLoopRuns) {
  QueuedUiBridge ui;
  std::string order;
  std::thread([&] { ui.Post([&] { order += 'a'; }), ui.Post([&] { order += 'b'; }); }).join();
  EXPECT_TRUE(order.empty()) << "nothing runs behind the loop's back";
  ui.Post([&] { order += 'c'; });
  EXPECT_EQ(ui.RunPending(), 3);
  EXPECT_EQ(order, "abc");
}

// Many hand-offs in a row, each resting on the wake-ups alone (no spinning):
// every step runs, on the loop's thread.
TEST(QueuedUiBridge, SynchronizeHandsOverOnTheLoopsThread) {
  QueuedUiBridge ui;
  int ran = 0;
  bool elsewhere = false;
  const auto uiThread = std::this_thread::get_id();
  std::thread worker([&] {
    for (int i = 0; i < 300; ++i)
      ui.Synchronize([&] {
        elsewhere = elsewhere || std::this_thread::get_id() != uiThread;
        ++ran;
      });
  });
  EXPECT_TRUE(ui.RunUntil([&] { return ran == 300; }, 10000, 0)) << ran;
  worker.join();
  EXPECT_FALSE(elsewhere);
}

}  // namespace
}  // namespace qs
