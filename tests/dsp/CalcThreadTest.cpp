#include "dsp/CalcThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/QueuedUiBridge.h"

namespace qs {
namespace {

class RecordingRequests final : public RunRequests {
 public:
  void RequestStop(std::uint32_t id) override {
    std::lock_guard lock(mutex_);
    stops_.push_back(id);
  }
  void RequestStopNoMonitor(std::uint32_t) override {}
  void RequestStopAfterLink(std::uint32_t) override {}
  void RequestEnableStop(std::uint32_t) override {}
  void ShowLogHeader() override {}
  void ShowInterval(const IntervalTexts&) override {}
  std::vector<std::uint32_t> Stops() {
    std::lock_guard lock(mutex_);
    return stops_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> stops_;
};

// A replay that holds a fixed number of seconds.
class CountedInput final : public CalcCycle {
 public:
  explicit CountedInput(int seconds) : left_(seconds) {}
  void StartRun() override { ++starts; }
  bool RunCycle() override { return left_.fetch_sub(1) > 0; }
  std::atomic<int> starts{0};

 private:
  std::atomic<int> left_;
};

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1500 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return done();
}

struct CalcFixture : ::testing::Test {
  AppCore core;
  QueuedUiBridge ui;
  RecordingRequests requests;
};

// Every stop request names the run the thread started, also when a later run
// has begun before the request is made.
TEST_F(CalcFixture, ContinuousModeRunsToTheEndOfTheInputAndStopsNameTheRunThatStarted) {
  core.run.OnlineMode = false;
  CountedInput input(25);
  TCalcThread thread(core, ui, requests, &input);
  thread.Start();
  core.run.RunId = 3;
  core.sync.CalcStartEvent.Set();
  ASSERT_TRUE(WaitUntil([&] { return thread.StartsSeen() == 1; }));
  EXPECT_EQ(input.starts.load(), 1);
  core.run.RunId = 4;
  core.sync.CalcRunEvent.Set();
  ASSERT_TRUE(WaitUntil([&] { return !requests.Stops().empty(); }));
  EXPECT_EQ(thread.CyclesRun(), 26u) << "25 seconds, then the cycle that finds the end";
  EXPECT_FALSE(core.run.RunContinuous);
  core.sync.CalcStopEvent.Set();
  ASSERT_TRUE(WaitUntil([&] { return requests.Stops().size() == 2; }));
  EXPECT_EQ(requests.Stops(), (std::vector<std::uint32_t>{3, 3}));
}

TEST_F(CalcFixture, OneDataEventRunsExactlyOneCycle) {
  CountedInput input(100);
  TCalcThread thread(core, ui, requests, &input);
  thread.Start();
  for (int i = 1; i <= 3; ++i) {
    core.sync.CalcDataEvent.Set();
    ASSERT_TRUE(WaitUntil([&] { return thread.CyclesRun() == static_cast<std::uint32_t>(i); }));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(thread.CyclesRun(), 3u);
  EXPECT_TRUE(requests.Stops().empty());
}

}  // namespace
}  // namespace qs
