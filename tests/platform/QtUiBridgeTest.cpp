// QtUiBridge: steps from worker threads run on the user-interface thread, in
// order, and nothing ever blocks or runs once the bridge has been shut down.
#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/QtUiBridge.h"
#include "support/QtTestApp.h"

namespace qs {
namespace {

using namespace std::chrono_literals;
using test::ProcessEventsFor;
using test::ProcessEventsUntil;

// Runs fn on a new thread; the future tells when it has returned.
template <class Fn>
std::future<std::invoke_result_t<Fn>> OnWorker(Fn fn) {
  return std::async(std::launch::async, std::move(fn));
}

bool Ready(const std::future<bool>& f) {
  return f.wait_for(0ms) == std::future_status::ready;
}

TEST(QtUiBridge, SynchronizeFromAWorkerRunsTheStepOnTheUiThread) {
  QtUiBridge bridge;
  const std::thread::id uiThread = std::this_thread::get_id();
  std::thread::id ranOn;

  auto worker = OnWorker([&] { return bridge.Synchronize([&] { ranOn = std::this_thread::get_id(); }); });
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker); }, 5000));

  EXPECT_TRUE(worker.get());
  EXPECT_EQ(ranOn, uiThread);
}

TEST(QtUiBridge, SynchronizeWaitsUntilTheUiThreadHasRunTheStep) {
  QtUiBridge bridge;
  std::atomic<bool> stepRan{false};

  auto worker = OnWorker([&] { return bridge.Synchronize([&] { stepRan = true; }); });
  // Without an event loop the step cannot run, so the worker must still wait.
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(Ready(worker));
  EXPECT_FALSE(stepRan);

  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker); }, 5000));
  EXPECT_TRUE(worker.get());
  EXPECT_TRUE(stepRan);
}

TEST(QtUiBridge, SynchronizeOnTheUiThreadRunsTheStepInline) {
  QtUiBridge bridge;
  bool ran = false;
  EXPECT_TRUE(bridge.Synchronize([&] { ran = true; }));
  EXPECT_TRUE(ran);  // no event loop involved
}

TEST(QtUiBridge, PostRunsLaterOnTheUiThreadInOrder) {
  QtUiBridge bridge;
  const std::thread::id uiThread = std::this_thread::get_id();
  std::vector<int> order;
  std::vector<std::thread::id> threads;

  bridge.Post([&] { order.push_back(1); });
  auto worker = OnWorker([&] {
    for (int i = 2; i <= 4; ++i)
      bridge.Post([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
    return true;
  });
  ASSERT_TRUE(worker.get());
  EXPECT_TRUE(order.empty());  // nothing runs before the event loop does

  ASSERT_TRUE(ProcessEventsUntil([&] { return order.size() == 4; }, 5000));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
  for (const std::thread::id id : threads) EXPECT_EQ(id, uiThread);
}

TEST(QtUiBridge, ShutdownReleasesAWaitingWorkerWithoutRunningItsStep) {
  QtUiBridge bridge;
  std::atomic<bool> stepRan{false};

  auto worker = OnWorker([&] { return bridge.Synchronize([&] { stepRan = true; }); });
  std::this_thread::sleep_for(50ms);  // most likely waiting by now; either way the outcome is the same
  const auto start = std::chrono::steady_clock::now();
  bridge.Shutdown();

  ASSERT_EQ(worker.wait_for(1s), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_FALSE(worker.get());
  ProcessEventsFor(50);
  EXPECT_FALSE(stepRan);  // the queued step was dropped
  EXPECT_TRUE(bridge.IsShutDown());
}

TEST(QtUiBridge, AfterShutdownNothingRunsAndNothingBlocks) {
  QtUiBridge bridge;
  int ran = 0;
  bridge.Post([&] { ++ran; });  // queued before, dropped
  bridge.Shutdown();
  bridge.Post([&] { ++ran; });  // queued after, dropped

  EXPECT_FALSE(bridge.Synchronize([&] { ++ran; }));  // on the UI thread
  auto worker = OnWorker([&] { return bridge.Synchronize([&] { ++ran; }); });
  ASSERT_EQ(worker.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(worker.get());

  ProcessEventsFor(50);
  EXPECT_EQ(ran, 0);
}

TEST(QtUiBridge, AStepThatHasBegunFinishesBeforeItsWorkerReturns) {
  // An exit that happens while a step runs (say, from a box the step shows)
  // must not release the worker early: the step uses the worker's function.
  QtUiBridge bridge;
  std::atomic<bool> stepFinished{false};
  bool finishedWhenReturned = false;

  auto worker = OnWorker([&] {
    const bool ran = bridge.Synchronize([&] {
      bridge.Shutdown();
      std::this_thread::sleep_for(50ms);
      stepFinished = true;
    });
    finishedWhenReturned = stepFinished;
    return ran;
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker); }, 5000));

  EXPECT_TRUE(worker.get());
  EXPECT_TRUE(finishedWhenReturned);
}

TEST(QtUiBridge, StepsStillQueuedWhenTheBridgeIsDestroyedNeverRun) {
  auto bridge = std::make_unique<QtUiBridge>();
  std::atomic<int> ran{0};
  auto worker = OnWorker([&, raw = bridge.get()] {
    raw->Post([&] { ++ran; });
    raw->Post([&] { ++ran; });
    return true;
  });
  ASSERT_TRUE(worker.get());
  bridge.reset();
  ProcessEventsFor(50);
  EXPECT_EQ(ran, 0);
}

TEST(QtUiBridge, AStepMaySynchronizeAndPostAgain) {
  QtUiBridge bridge;
  std::vector<int> order;
  auto worker = OnWorker([&] {
    return bridge.Synchronize([&] {
      order.push_back(1);
      EXPECT_TRUE(bridge.Synchronize([&] { order.push_back(2); }));  // inline: already on the UI thread
      bridge.Post([&] { order.push_back(4); });
      order.push_back(3);
    });
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker) && order.size() == 4; }, 5000));
  EXPECT_TRUE(worker.get());
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
}  // namespace qs
