// The spectrogram: its history (the newest columns, a copy that follows),
// the picture drawn from it, and the drawing thread's requests for it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Pixels.h"
#include "display/DsaGraph.h"
#include "display/GraphDrawing.h"
#include "platform/QueuedUiBridge.h"
#include "support/GuiTestApp.h"

namespace qs {
namespace {

using namespace test;

// A column of `base` power in every bin, `peak` at bin peakBin (1-based).
void Add(SpectrumHistory& h, float base, float peak = 0.0f, int peakBin = 0, float sef = kNotAvailable,
         bool rejected = false, std::uint32_t time = 36010) {
  float spectrum[101];
  std::fill(std::begin(spectrum), std::end(spectrum), base);
  if (peakBin > 0) spectrum[peakBin] = peak;
  h.Append(spectrum, sef, time, rejected);
}

TEST(SpectrumHistory, KeepsTheNewestColumnsAndACopyFollowsAppendsWrapsAndClears) {
  SpectrumHistory h, copy;
  ASSERT_TRUE(h.Allocate(3, &std::calloc) && copy.Allocate(3, &std::calloc));
  EXPECT_FALSE(SpectrumHistory().Allocate(0, &std::calloc));
  for (int i = 0; i < 2; ++i) Add(h, static_cast<float>(i));
  EXPECT_TRUE(copy.SyncFrom(h));
  EXPECT_FALSE(copy.SyncFrom(h)) << "nothing new";
  for (int i = 2; i < 5; ++i) Add(h, static_cast<float>(i));
  EXPECT_TRUE(copy.SyncFrom(h));
  for (const SpectrumHistory* x : {&h, &copy}) {
    EXPECT_EQ(std::tuple(x->Size(), x->Appended(), x->Column(0).power[0], x->Last().power[92]),
              std::tuple(std::size_t{3}, std::uint64_t{5}, 2.0f, 4.0f));
  }
  // A new run: the copy starts over from the new run's columns.
  h.Clear();
  Add(h, 7.0f);
  EXPECT_TRUE(copy.SyncFrom(h));
  EXPECT_EQ(std::pair(copy.Size(), copy.Last().power[0]), std::pair(std::size_t{1}, 7.0f));
}

TEST(DsaGraph, ColourEndsAndAnAutomaticRangeThatIgnoresRejectedIntervalsAndRareOutliers) {
  const DsaRange range{-10.0, 20.0};
  EXPECT_EQ(DsaColour(-30.0, range), DsaColour(-10.0, range));
  EXPECT_EQ(DsaColour(50.0, range), DsaColour(20.0, range));
  EXPECT_EQ(DsaColour(-10.0, range), MakeRgb(71, 1, 85));   // viridis' dark violet
  EXPECT_EQ(DsaColour(20.0, range), MakeRgb(252, 231, 33)); // and its yellow
  EXPECT_EQ(DsaColour(5.0, range), DsaColour(0.0, {-5.0, 5.0})) << "the middle of either range";
  EXPECT_EQ(PowerDb(0.0f), kDsaFloorDb);

  SpectrumHistory h;
  ASSERT_TRUE(h.Allocate(200, &std::calloc));
  EXPECT_EQ(DsaAutoRange(h, 30.0).highDb, DsaRange{}.highDb) << "an empty history keeps the default";
  for (int i = 0; i < 60; ++i) Add(h, 1.0f);    // 0 dB
  for (int i = 0; i < 60; ++i) Add(h, 100.0f);  // 20 dB
  Add(h, 1e6f);                                 // one artifact: 60 dB, under 1 % of the values
  Add(h, 1e9f, 0.0f, 0, kNotAvailable, true);   // rejected: not counted at all
  const DsaRange automatic = DsaAutoRange(h, 30.0);
  EXPECT_EQ(std::pair(automatic.lowDb, automatic.highDb), std::pair(0.0, 20.0));
}

// Four intervals across a 400 x 200 picture, 0-30 Hz, fixed 0..20 dB: a
// 10-Hz peak, a rejected interval, one without power, the peak again with
// its SEF at 15 Hz; a comment 25 s after the left edge.
TEST(DsaGraph, DrawsPowerAsColourTheSefRejectedIntervalsAndCommentMarkers) {
  SpectrumHistory h;
  ASSERT_TRUE(h.Allocate(10, &std::calloc));
  Add(h, 1.0f, 100.0f, 20);
  Add(h, 1.0f, 100.0f, 20, kNotAvailable, true);
  Add(h, 0.0f);
  Add(h, 1.0f, 100.0f, 20, 15.0f);
  QImage image(400, 200, QImage::Format_RGB32);
  Canvas canvas(image);
  const std::uint32_t marker = 36025;
  DsaView view;
  view.startSeconds = 36000;
  view.autoRange = false;
  view.range = {0.0, 20.0};
  view.markers = &marker;
  view.markerCount = 1;
  DrawDsa(canvas, h, view);

  const DsaArea a = DsaPlotArea(400, 200);
  ASSERT_EQ(std::tuple(a.left, a.top, a.right, a.bottom), std::tuple(40, 12, 342, 182));
  // 302 pixel columns for 4 intervals; 170 rows for 30 Hz.
  const auto x = [](int column) { return 40 + column * 302 / 4 + 20; };
  const int row10Hz = 181 - 56, row20Hz = 181 - 113;
  ExpectPixels(image, {{x(0), row10Hz, DsaColour(20.0, view.range)},
                       {x(0), row20Hz, DsaColour(0.0, view.range)},
                       {x(1), 100, MakeRgb(72, 72, 72)},      // rejected: grey,
                       {x(1), a.top - 4, MakeRgb(255, 40, 40)},  // a red tick above
                       {x(2), row10Hz, DsaColour(-100.0, view.range)},
                       {x(3), row10Hz, DsaColour(20.0, view.range)},
                       {x(3), 181 - 85, kWhite},              // SEF 15 Hz
                       {40 + 25 * 302 / 40, a.top - 8, kMagenta}});
  // Paged to the third interval, two across: the time axis starts where that
  // interval does, reckoned from the first column's own time.
  view.startSeconds = -1, view.firstColumn = 2, view.columns = 2;
  DrawDsa(canvas, h, view);
  const auto paged = [](int column) { return 40 + column * 302 / 2 + 20; };
  ExpectPixels(image, {{paged(0), row10Hz, DsaColour(-100.0, view.range)},
                       {paged(1), row10Hz, DsaColour(20.0, view.range)},
                       {40 + 5 * 302 / 20, a.top - 8, kMagenta}});
}

// The drawing thread keeps its own copy of the calculation's history: a new
// column is taken whether or not the window is shown, and drawn only while
// it is, at the window's size.
TEST(DsaDrawingThread, TakesEveryColumnAndDrawsOnlyForAShownWindow) {
  struct Screen final : GraphScreen {
    void ShowGraph(GraphId graph, const QImage& picture) override {
      if (graph == GraphId::Dsa) pictures.push_back(picture);
    }
    void ShowClock(const std::string&) override {}
    void ShowNoise(const std::string&) override {}
    std::vector<QImage> pictures;
  } screen;
  AppCore core;
  ASSERT_TRUE(core.buffers.Allocate(8));
  QueuedUiBridge ui;
  GraphDrawing drawing(core, ui, GraphDrawingOptions{&screen, nullptr, 0});
  Add(core.buffers.spectrumHistory, 1.0f, 100.0f, 20);
  drawing.Handle({DsaColumn, 0, 0});
  EXPECT_TRUE(screen.pictures.empty());
  core.dsaView.shown = true;
  core.dsaView.width = 500;
  core.dsaView.height = 240;
  core.dsaView.wholeCase = true;
  Add(core.buffers.spectrumHistory, 1.0f, 100.0f, 20);
  drawing.Handle({DsaRedraw, 0, 0});
  ASSERT_EQ(screen.pictures.size(), 1u);
  EXPECT_EQ(screen.pictures[0].size(), QSize(500, 240));
  EXPECT_EQ(core.dsaView.columnsHeld, 2);
  EXPECT_EQ(drawing.Picture(GraphId::Dsa), screen.pictures[0]);
}

}  // namespace
}  // namespace qs
