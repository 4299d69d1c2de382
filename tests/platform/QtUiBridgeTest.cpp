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

TEST(QtUiBridge, SynchronizeWaitsForTheUiThreadToRunTheStepOrRunsItInline) {
  QtUiBridge bridge;
  std::atomic<std::thread::id> ranOn;
  auto worker = OnWorker([&] { return bridge.Synchronize([&] { ranOn = std::this_thread::get_id(); }); });
  std::this_thread::sleep_for(50ms);  // without an event loop the step cannot run
  EXPECT_FALSE(Ready(worker));
  EXPECT_EQ(ranOn.load(), std::thread::id());
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker); }, 5000));
  EXPECT_TRUE(worker.get());
  EXPECT_EQ(ranOn.load(), std::this_thread::get_id());

  bool ran = false;  // on the UI thread itself: no event loop involved
  EXPECT_TRUE(bridge.Synchronize([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

// Post runs later, on the UI thread, in order; a step may synchronize (inline)
// and post again.
TEST(QtUiBridge, PostRunsLaterOnTheUiThreadInOrder) {
  QtUiBridge bridge;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  bridge.Post([&] { order.push_back(1); });
  auto worker = OnWorker([&] {
    bridge.Post([&] {
      order.push_back(2);
      threads.push_back(std::this_thread::get_id());
    });
    return bridge.Synchronize([&] {
      threads.push_back(std::this_thread::get_id());
      EXPECT_TRUE(bridge.Synchronize([&] { order.push_back(3); }));
      bridge.Post([&] { order.push_back(5); });
      order.push_back(4);
    });
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(order.empty()) << "nothing runs before the event loop does";
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker) && order.size() == 5; }, 5000));
  EXPECT_TRUE(worker.get());
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(threads, std::vector<std::thread::id>(2, std::this_thread::get_id()));
}

TEST(QtUiBridge, ShutdownOrDestructionReleasesAWaitingWorkerAndAfterItNothingRuns) {
  QtUiBridge bridge;
  std::atomic<int> ran{0};
  bridge.Post([&] { ++ran; });  // queued before, dropped
  auto waiting = OnWorker([&] { return bridge.Synchronize([&] { ++ran; }); });
  std::this_thread::sleep_for(50ms);  // most likely waiting by now; either way the outcome is the same
  bridge.Shutdown();
  ASSERT_EQ(waiting.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(waiting.get());
  EXPECT_TRUE(bridge.IsShutDown());

  bridge.Post([&] { ++ran; });
  EXPECT_FALSE(bridge.Synchronize([&] { ++ran; }));  // on the UI thread
  auto late = OnWorker([&] { return bridge.Synchronize([&] { ++ran; }); });
  ASSERT_EQ(late.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(late.get());
  // Steps still queued when a bridge is destroyed never run either.
  auto destroyed = std::make_unique<QtUiBridge>();
  OnWorker([&, raw = destroyed.get()] {
    raw->Post([&] { ++ran; });
    return true;
  }).get();
  destroyed.reset();
  ProcessEventsFor(50);
  EXPECT_EQ(ran, 0);
}

// An exit while a step runs (say, from a box the step shows) must not release
// the worker early: the step uses the worker's function.
TEST(QtUiBridge, AStepThatHasBegunFinishesBeforeItsWorkerReturns) {
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

}  // namespace
}  // namespace qs
