// The drawing requests as the drawing thread handles them: what reaches the
// screen (pictures, the data clock, the artifact indicator) and what does not.
#include "display/GraphDrawing.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/QueuedUiBridge.h"
#include "support/GuiTestApp.h"

namespace qs {
namespace {

class FakeScreen final : public GraphScreen {
 public:
  void ShowGraph(GraphId graph, const QImage& picture) override {
    shown.push_back(graph);
    last = picture;
  }
  void ShowClock(const std::string& text) override { clock.push_back(text); }
  void ShowNoise(const std::string& text) override { noise.push_back(text); }
  std::vector<GraphId> shown;
  QImage last;
  std::vector<std::string> clock, noise;
};

class Drawing : public ::testing::Test {
 protected:
  Drawing() { map.assign(BicMap::kValues, 50.0f); }
  GraphDrawing& Make() {
    drawing = std::make_unique<GraphDrawing>(core, ui, GraphDrawingOptions{&screen, map.data(), 0});
    return *drawing;
  }
  // Announces second `block` as the calculation thread does.
  void Announce(int block, int flagBlock, std::uint32_t clock) {
    core.buffers.waveDisplay.Publish(ring, block, flagBlock, clock);
  }

  AppCore core;
  QueuedUiBridge ui;  // created on this thread: synchronized steps run at once
  FakeScreen screen;
  BlockRing ring;
  std::vector<float> map;
  std::unique_ptr<GraphDrawing> drawing;
};

TEST_F(Drawing, ConstructionShowsEveryFirstPicture) {
  Make();
  EXPECT_EQ(screen.shown,
            (std::vector<GraphId>{GraphId::Wave, GraphId::Power, GraphId::Bic, GraphId::Trend, GraphId::Sqi}));
  // The quality frame's texts stand on white until the first bars.
  EXPECT_EQ(screen.last.pixel(110, 50) & 0xFFFFFF, MakeRgb(255, 255, 255));
  EXPECT_EQ(screen.last.pixel(60, 80) & 0xFFFFFF, 0u) << "scale line";
}

TEST_F(Drawing, EachSecondShowsTheClockAndTheArtifactIndication) {
  GraphDrawing& d = Make();
  screen.shown.clear();
  Announce(3, 2, 90061);
  d.Handle({WaveSecond, 3, 2});
  EXPECT_EQ(screen.clock, (std::vector<std::string>{"25:01:01"})) << "offline hours are not wrapped";
  EXPECT_EQ(screen.noise, (std::vector<std::string>{""}));
  EXPECT_EQ(screen.shown, (std::vector<GraphId>{GraphId::Wave}));

  ring.BlockFlags[4] = 0x40000000;  // the block after the second's first block
  Announce(3, 2, 7);
  d.Handle({WaveSecond, 3, 2});
  EXPECT_EQ(screen.noise.back(), "Checking");
  ring.BlockFlags[4] = 0;
  ring.BlockFlags[2] = 0x02;  // the block whose flags open the word
  Announce(3, 2, 8);
  d.Handle({WaveSecond, 3, 2});
  EXPECT_EQ(screen.noise.back(), "Artifact");
  ring.BlockFlags[2] = 0x80000000;  // not an artifact on screen
  Announce(3, 2, 9);
  d.Handle({WaveSecond, 3, 2});
  EXPECT_EQ(screen.noise.back(), "");
  EXPECT_EQ(screen.clock.back(), "00:00:09");
}

TEST(NoiseText, TestModeShowsTheMaskedWord) {
  EXPECT_EQ(GraphDrawing::NoiseTextOf(0, true), "00000000");
  EXPECT_EQ(GraphDrawing::NoiseTextOf(0x40000000, false), "Checking");
  EXPECT_EQ(GraphDrawing::NoiseTextOf(0x40000000, true), "40000000");
  EXPECT_EQ(GraphDrawing::NoiseTextOf(0xC0000001, true), "40000001");
  EXPECT_EQ(GraphDrawing::NoiseTextOf(0x80000000, false), "");
  EXPECT_EQ(GraphDrawing::NoiseTextOf(0x00000020, false), "") << "0x20 is outside the mask";
  EXPECT_EQ(GraphDrawing::ClockTextOf(36000 + 600), "10:10:00");
}

TEST_F(Drawing, TheWaveShownIsTheSecondAsAnnounced) {
  GraphDrawing& d = Make();
  for (int s = 0; s < 64; ++s) {
    ring.ScaledWave[static_cast<std::size_t>(5 * 64 + s)] = 50.0f;  // block 5: +50 uV, y = 22
    ring.ScaledWave[static_cast<std::size_t>(6 * 64 + s)] = -50.0f;  // block 6: -50 uV, y = 121
  }
  Announce(5, 5, 0);
  ring.ScaledWave.fill(0.0f);  // the next cycle refills the ring; the copy stays
  d.Handle({WaveSecond, 5, 5});
  const QImage& shown = screen.last;
  EXPECT_EQ(shown.pixel(450, 22) & 0xFFFFFF, MakeRgb(255, 255, 0));
  EXPECT_EQ(shown.pixel(520, 121) & 0xFFFFFF, MakeRgb(255, 255, 0));
  // After showing, the picture has scrolled: the second stands one second left.
  const QImage now = d.Picture(GraphId::Wave);
  EXPECT_EQ(now.pixel(450 - 128, 22) & 0xFFFFFF, MakeRgb(255, 255, 0));
  EXPECT_EQ(now.pixel(450, 22) & 0xFFFFFF, 0u);
}

TEST_F(Drawing, TheMapFollowsTheGraphTypeAndGrayScaleButTheTemplateStays) {
  GraphDrawing& d = Make();
  d.Handle({BicMapReady, 0, 0});
  EXPECT_EQ(d.Picture(GraphId::Bic).pixel(33, 118) & 0xFFFFFF, ColourScale[50]);
  core.settings.FigType = 3;
  d.Handle({BicMapReady, 0, 0});
  EXPECT_EQ(d.Picture(GraphId::Bic).pixel(33, 118) & 0xFFFFFF, ColourScale[100]);
  core.settings.GrayScale = true;
  d.Handle({BicMapReady, 0, 0});
  const QImage gray = d.Picture(GraphId::Bic);
  EXPECT_EQ(gray.pixel(33, 118) & 0xFFFFFF, MakeRgb(125, 125, 125));
  EXPECT_EQ(gray.pixel(230, 10) & 0xFFFFFF, ColourScale[100]) << "the colour bar is the template's";
  // A reset restores the template: the cells show the empty domain again.
  d.Handle({BicReset, 3, 0});
  EXPECT_EQ(d.Picture(GraphId::Bic).pixel(33, 118) & 0xFFFFFF, ColourScale[0]);
}

TEST_F(Drawing, UnknownKindsChangeNothing) {
  GraphDrawing& d = Make();
  screen.shown.clear();
  std::vector<QImage> before;
  for (GraphId g : {GraphId::Wave, GraphId::Power, GraphId::Bic, GraphId::Trend, GraphId::Sqi})
    before.push_back(d.Picture(g));
  for (int kind : {2, 7, 10, 13, -1, 1000}) d.Handle({kind, 1, 1});
  d.Handle({WaveSecond, 16, 0});  // a block position outside the ring
  EXPECT_TRUE(screen.shown.empty());
  int i = 0;
  for (GraphId g : {GraphId::Wave, GraphId::Power, GraphId::Bic, GraphId::Trend, GraphId::Sqi})
    EXPECT_EQ(d.Picture(g), before[static_cast<std::size_t>(i++)]);
}

TEST_F(Drawing, ATrendRecordDrawsAColumnAndTheQualityBars) {
  ASSERT_TRUE(core.buffers.Allocate(1));
  GraphDrawing& d = Make();
  EpochResult& r = core.buffers.trend.records[0];
  r.value.fill(kNotAvailable);
  r[EpochResult::Bis] = 0.0f;
  r[EpochResult::SqiTime] = 0.8f;
  core.buffers.trendSnapshot = {r, 0};
  screen.shown.clear();
  d.Handle({TrendRecord, 0, 0});
  EXPECT_EQ(screen.shown, (std::vector<GraphId>{GraphId::Trend, GraphId::Sqi}));
  EXPECT_EQ(d.Picture(GraphId::Trend).pixel(31, 270) & 0xFFFFFF, MakeRgb(255, 0, 255));
  EXPECT_EQ(d.Picture(GraphId::Sqi).pixel(89, 20) & 0xFFFFFF, MakeRgb(0, 255, 0));
  // Paging with nothing older to show redraws nothing.
  screen.shown.clear();
  d.Handle({PrevHour, 0, 0});
  d.Handle({NextHour, 0, 0});
  EXPECT_TRUE(screen.shown.empty());
}

}  // namespace
}  // namespace qs
