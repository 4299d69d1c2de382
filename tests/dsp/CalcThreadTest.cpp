// The calculation thread's events and the online cycle it runs. (Data events
// in an online run are exercised through the online harness of the link tests.)
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "dsp/CalcEngine.h"
#include "dsp/CalcThread.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

// Records the stop requests the calculation thread makes.
struct RecordingRequests final : RunRequests {
  void RequestStop(std::uint32_t id) override {
    std::lock_guard lock(mutex);
    stops.push_back(id);
  }
  void RequestStopNoMonitor(std::uint32_t) override {}
  void RequestStopAfterLink(std::uint32_t) override {}
  void RequestEnableStop(std::uint32_t) override {}
  void ShowLogHeader() override {}
  void ShowInterval(const IntervalTexts& t) override { shown.emplace_back(t.time.View()); }
  std::vector<std::uint32_t> Stops() {
    std::lock_guard lock(mutex);
    return stops;
  }
  std::mutex mutex;
  std::vector<std::uint32_t> stops;
  std::vector<std::string> shown;  // the interval times, on the user-interface thread
};

// A replay that holds 25 seconds.
struct CountedInput final : CalcCycle {
  void StartRun() override { ++starts; }
  bool RunCycle() override { return left.fetch_sub(1) > 0; }
  std::atomic<int> starts{0}, left{25};
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
  CountedInput input;
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

// Calculation Only hands the intervals' texts over without waiting for the
// user-interface thread, yet the log must get every one, in order, before the
// stop request that ends the run: also when that thread does not run at all
// for longer than the hand-off ring holds (100 intervals here).
TEST_F(CalcFixture, CalculationOnlyShowsEveryIntervalInOrderBeforeTheStop) {
  const std::string path = (std::filesystem::temp_directory_path() / "qs_calc_order.eeg").string();
  ASSERT_TRUE(recgen::WriteRecording(path, recgen::GenerateRecording({.seconds = 1005})));
  ASSERT_TRUE(core.buffers.Allocate(8));
  RecordFileService service(core);
  ASSERT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
  ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
  core.run.OnlineMode = false;
  core.settings.CalcOnly = true;
  CalcEngine engine(core, &service.ReplayInput());
  ASSERT_TRUE(engine.Allocate());
  std::vector<std::string> expected{"header"};
  engine.onRecord = [&](std::int32_t, const EpochResult&, std::uint32_t) {
    expected.emplace_back(engine.Texts().time.View());
  };
  // The run controller answers a stop request on its own thread, after what
  // was queued there before it.
  struct PostedStops final : RunRequests {
    PostedStops(UiBridge& u, RecordingRequests& r) : ui(u), seen(r) {}
    void RequestStop(std::uint32_t) override { ui.Post([this] { seen.shown.emplace_back("stop"); }); }
    void RequestStopNoMonitor(std::uint32_t) override {}
    void RequestStopAfterLink(std::uint32_t) override {}
    void RequestEnableStop(std::uint32_t) override {}
    void ShowLogHeader() override { seen.shown.emplace_back("header"); }
    void ShowInterval(const IntervalTexts& t) override { seen.ShowInterval(t); }
    UiBridge& ui;
    RecordingRequests& seen;
  } posted(ui, requests);
  TCalcThread thread(core, ui, posted, &engine);
  // Whatever happens below, the bridge lets a waiting thread go before the
  // thread is joined (as the program shuts its bridge down before its threads).
  struct ShutDownFirst {
    QueuedUiBridge& ui;
    ~ShutDownFirst() { ui.Shutdown(); }
  } shutDownFirst{ui};
  thread.Start();
  core.sync.CalcStartEvent.Set();
  // The start is over once its header is shown (the thread waits for that).
  ASSERT_TRUE(ui.RunUntil([&] { return requests.shown.size() == 1; }, 60000));
  core.sync.CalcRunEvent.Set();
  // 64 intervals fill the ring; the thread then waits for this one (slowly
  // under the thread sanitizer: a generous limit).
  for (int i = 0; i < 3000 && engine.SecondsProcessed() < 640; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_GE(engine.SecondsProcessed(), 640u);
  ASSERT_TRUE(ui.RunUntil([&] { return !requests.shown.empty() && requests.shown.back() == "stop"; }, 60000));
  expected.emplace_back("stop");
  EXPECT_EQ(requests.shown, expected);
  EXPECT_GE(expected.size(), 100u);
  std::filesystem::remove(path);
}

// The calculation cycle of an online run takes whole seconds only, as many as
// wait: data signals that arrive while it is busy merge into one wake-up
// (auto-reset events do not count), and a signal left from an earlier run
// must find nothing to take.
TEST(OnlineCycle, ACycleTakesEveryWholeSecondWaitingAndNoPartOfOne) {
  auto core = std::make_unique<AppCore>();
  ASSERT_TRUE(core->buffers.Allocate(8));
  CalcEngine engine(*core, nullptr);
  ASSERT_TRUE(engine.Allocate());
  core->run.OnlineMode = true;
  core->run.WaveGain = 0.03125f;
  engine.StartRun();
  RawWaveBuffer& wave = core->buffers.rawWave;
  // After samples arrive: seconds processed, samples pending, the read position.
  const auto cycleAfter = [&](int samples) {
    wave.Wave128Write = (wave.Wave128Write + samples) % RawWaveBuffer::kSize128;
    wave.Wave128Pending += samples;
    EXPECT_TRUE(engine.RunCycle());
    return std::tuple(engine.SecondsProcessed(), wave.Wave128Pending, wave.Wave128Read);
  };
  EXPECT_EQ(cycleAfter(0), std::tuple(0u, 0, 0)) << "a left-over signal with nothing waiting";
  EXPECT_EQ(cycleAfter(64), std::tuple(0u, 64, 0)) << "half a second is left for the next cycle";
  // Three more seconds came before the thread woke.
  EXPECT_EQ(cycleAfter(3 * 128 + 64), std::tuple(4u, 0, 4 * 128));
  EXPECT_EQ(engine.BlocksTaken(), 8);
  EXPECT_EQ(core->buffers.monitorFlags.acquisitionBlock, 8);
}

}  // namespace
}  // namespace qs
