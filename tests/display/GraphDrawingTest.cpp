// The drawing thread and the drawing requests it hands to the graphs: what
// reaches the screen (pictures, the data clock, the artifact indicator) and
// what does not.
#include <gtest/gtest.h>

#include "Pixels.h"
#include "display/DrawThread.h"
#include "display/GraphDrawing.h"
#include "platform/QueuedUiBridge.h"
#include "support/GuiTestApp.h"

namespace qs {
namespace {

using namespace test;

struct RecordingHandlers final : DrawHandlers {
  void Handle(const DrawRequest& r) override {
    if (blockFirst && Seen().empty()) entered.Set(), release.Wait(kInfinite);
    std::lock_guard lock(mutex);
    handled.push_back(r);
  }
  std::vector<DrawRequest> Seen() {
    std::lock_guard lock(mutex);
    return handled;
  }
  bool blockFirst = false;
  EventGroup group;
  AutoResetEvent entered{group}, release{group};
  std::mutex mutex;
  std::vector<DrawRequest> handled;
};

// Without a stop all three requests are handled in order and leave the queue; a
// stop while the first is in progress ends the thread after it, the others queued.
TEST(DrawThread, HandlesRequestsInArrivalOrderAndStopEndsAfterTheOneInProgress) {
  const std::vector<DrawRequest> requests = {{NextHour, 0, 0}, {PrevHour, 0, 0}, {WaveSecond, 5, 4}};
  for (const bool stop : {false, true}) {
    AppCore core;
    QueuedUiBridge ui;
    RecordingHandlers handlers;
    handlers.blockFirst = stop;
    TDrawThread thread(core, ui, &handlers);
    thread.Start();
    for (const DrawRequest& r : requests) core.drawQueue.Push(r);
    if (stop) {
      ASSERT_TRUE(handlers.entered.Wait(5000));
      thread.Stop();
      handlers.release.Set();
      ASSERT_TRUE(thread.WaitFor(2000));
    }
    for (int i = 0; i < 1000 && !stop && thread.Handled() < 3; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(handlers.Seen(), std::vector(requests.begin(), requests.begin() + (stop ? 1 : 3))) << stop;
    EXPECT_EQ(core.drawQueue.Size(), stop ? 2u : 0u) << stop;
  }
}

struct FakeScreen final : GraphScreen {
  void ShowGraph(GraphId graph, const QImage& picture) override { shown.push_back(graph), last = picture; }
  void ShowClock(const std::string& text) override { clock.push_back(text); }
  void ShowNoise(const std::string& text) override { noise.push_back(text); }
  std::vector<GraphId> shown;
  QImage last;
  std::vector<std::string> clock, noise;
};

constexpr GraphId kGraphs[] = {GraphId::Wave, GraphId::Power, GraphId::Bic, GraphId::Trend, GraphId::Sqi};

class Drawing : public ::testing::Test {
 protected:
  // Announces second `block` as the calculation thread does, and draws it.
  void Second(int block, int flagBlock, std::uint32_t clock) {
    core.buffers.waveDisplay.Publish(ring, block, flagBlock, clock);
    drawing.Handle({WaveSecond, block, flagBlock});
  }
  QImage Picture(GraphId g) { return drawing.Picture(g); }

  AppCore core;
  QueuedUiBridge ui;  // created on this thread: synchronized steps run at once
  FakeScreen screen;
  BlockRing ring;
  std::vector<float> map = std::vector<float>(BicMap::kValues, 50.0f);
  GraphDrawing drawing{core, ui, GraphDrawingOptions{&screen, map.data(), 0}};
};

TEST_F(Drawing, ConstructionShowsEveryFirstPicture) {
  EXPECT_EQ(screen.shown, std::vector<GraphId>(std::begin(kGraphs), std::end(kGraphs)));
  // Regression: the quality frame's texts were black on navy at start-up;
  // they stand on white until the first bars.
  ExpectPixels(screen.last, {{110, 50, kWhite}, {60, 80, kBlack}});  // 60,80 scale line
}

TEST_F(Drawing, EachSecondShowsTheWaveClockAndArtifactsTheMapFollowsItsSettingsAndATrendRecordDrawsAColumn) {
  std::fill_n(ring.ScaledWave.begin() + 5 * 64, 64, 50.0f);   // block 5: +50 uV, y = 22
  std::fill_n(ring.ScaledWave.begin() + 6 * 64, 64, -50.0f);  // block 6: -50 uV, y = 121
  screen.shown.clear();
  core.buffers.waveDisplay.Publish(ring, 5, 5, 90061);
  ring.ScaledWave.fill(0.0f);  // the next cycle refills the ring; the copy stays
  drawing.Handle({WaveSecond, 5, 5});
  ExpectPixels(screen.last, {{450, 22, kYellow}, {520, 121, kYellow}});
  // 450-128,22 scrolled one second left after showing
  ExpectPixels(Picture(GraphId::Wave), {{450 - 128, 22, kYellow}, {450, 22, kBlack}});
  EXPECT_EQ(screen.clock, (std::vector<std::string>{"25:01:01"})) << "offline hours are not wrapped";
  EXPECT_EQ(screen.noise, (std::vector<std::string>{""}));
  EXPECT_EQ(screen.shown, (std::vector<GraphId>{GraphId::Wave}));
  // flag block, flags => indicator: the second's first block's flags open
  // the word, the next block's follow; the top bit is not an artifact.
  const std::tuple<int, std::uint32_t, const char*> flags[] = {
      {4, 0x40000000, "Checking"}, {2, 0x02, "Artifact"}, {2, 0x80000000, ""}};
  for (const auto& [block, word, text] : flags) {
    ring.BlockFlags.fill(0);
    ring.BlockFlags[block] = word;
    Second(3, 2, 9);
    EXPECT_EQ(screen.noise.back(), text) << std::hex << word;
  }
  EXPECT_EQ(screen.clock.back(), "00:00:09");

  // word, test mode => text: test mode shows the word under the mask.
  const std::tuple<std::uint32_t, bool, const char*> texts[] = {
      {0, true, "00000000"},          {0x40000000, false, "Checking"}, {0x40000000, true, "40000000"},
      {0xC0000001, true, "40000001"}, {0x80000000, false, ""},         {0x20, false, ""}};
  for (const auto& [word, testMode, text] : texts)
    EXPECT_EQ(GraphDrawing::NoiseTextOf(word, testMode), text) << std::hex << word;
  EXPECT_EQ(GraphDrawing::ClockTextOf(36000 + 600), "10:10:00");

  // Unknown kinds change nothing; the map follows its settings; a trend record draws a column and bars.
  screen.shown.clear();
  std::vector<QImage> before;
  for (GraphId g : kGraphs) before.push_back(Picture(g));
  for (int kind : {2, 7, 10, 99, -1, 1000}) drawing.Handle({kind, 1, 1});
  drawing.Handle({WaveSecond, 16, 0});  // a block position outside the ring
  EXPECT_TRUE(screen.shown.empty());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(Picture(kGraphs[i]), before[i]);

  // figure type, gray => the colour of a cell holding 50; the template stays
  const std::tuple<int, bool, Rgb> cases[] = {
      {1, false, ColourScale[50]}, {3, false, ColourScale[100]}, {3, true, MakeRgb(125, 125, 125)}};
  for (const auto& [type, gray, colour] : cases) {
    std::tie(core.settings.FigType, core.settings.GrayScale) = std::tuple(type, gray);
    drawing.Handle({BicMapReady, 0, 0});
    EXPECT_EQ(At(Picture(GraphId::Bic), 33, 118), colour) << type << " " << gray;
  }
  EXPECT_EQ(At(Picture(GraphId::Bic), 230, 10), ColourScale[100]) << "the colour bar is the template's";
  drawing.Handle({BicReset, 3, 0});
  EXPECT_EQ(At(Picture(GraphId::Bic), 33, 118), ColourScale[0]) << "a reset shows the empty domain again";

  ASSERT_TRUE(core.buffers.Allocate(1));
  EpochResult& r = core.buffers.trend.records[0];
  r.value.fill(kNotAvailable);
  std::tie(r[EpochResult::Bis], r[EpochResult::SqiTime]) = std::tuple(0.0f, 0.8f);
  core.buffers.trendSnapshot = {r, 0};
  screen.shown.clear();
  drawing.Handle({TrendRecord, 0, 0});
  EXPECT_EQ(screen.shown, (std::vector<GraphId>{GraphId::Trend, GraphId::Sqi}));
  EXPECT_EQ(std::pair(At(Picture(GraphId::Trend), 31, 270), At(Picture(GraphId::Sqi), 89, 20)),
            std::pair(kMagenta, kGreen));
  screen.shown.clear();
  drawing.Handle({PrevHour, 0, 0});
  drawing.Handle({NextHour, 0, 0});
  EXPECT_TRUE(screen.shown.empty()) << "paging with nothing older to show redraws nothing";
}

}  // namespace
}  // namespace qs
