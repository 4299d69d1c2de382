#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Events.h"
#include "platform/QueuedUiBridge.h"
#include "platform/WorkerThread.h"

namespace qs {
namespace {

// A worker that waits on its event like the real ones and hands a step to the
// user-interface thread on every wake-up.
class EchoThread final : public WorkerThread {
 public:
  EchoThread(UiBridge& ui, AutoResetEvent& wake)
      : WorkerThread(ui, ThreadPriority::AboveNormal), wake_(wake) {}
  ~EchoThread() override {
    Terminate();
    wake_.Set();
    TerminateAndJoin();
  }
  std::atomic<int> synchronizedOk{0};
  std::atomic<int> synchronizedRefused{0};
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

 private:
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
  EXPECT_TRUE(worker.WaitFor(1000)) << "the body polls the flag after each 200 ms wait";
  EXPECT_TRUE(worker.Finished());
}

// The exit path: the user-interface thread stops serving steps and joins the
// worker. A worker waiting in Synchronize must not hold the exit up.
TEST(WorkerThread, ShutdownReleasesAWorkerBlockedInSynchronize) {
  Rig r;
  auto& [ui, group, wake, worker] = r;
  wake.Set();
  for (int i = 0; i < 500 && ui.Queued() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(ui.Queued(), 1);  // queued, never run
  ui.Shutdown();
  worker.Terminate();
  ASSERT_TRUE(worker.WaitFor(2000));
  EXPECT_EQ(worker.synchronizedOk.load(), 0);
  EXPECT_EQ(worker.synchronizedRefused.load(), 1);
  EXPECT_FALSE(ui.Synchronize([] { FAIL() << "a shut-down bridge runs nothing"; }));
}

TEST(QueuedUiBridge, PostedStepsRunInOrderOnlyWhenTheLoopRuns) {
  QueuedUiBridge ui;
  std::string order;
  std::thread producer([&] {
    ui.Post([&] { order += 'a'; });
    ui.Post([&] { order += 'b'; });
  });
  producer.join();
  EXPECT_TRUE(order.empty()) << "nothing runs behind the loop's back";
  ui.Post([&] { order += 'c'; });
  EXPECT_EQ(ui.RunPending(), 3);
  EXPECT_EQ(order, "abc");
}

}  // namespace
}  // namespace qs
