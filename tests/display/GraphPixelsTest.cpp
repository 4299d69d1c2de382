// Pixel positions and colours of the map, waveform, power spectrum and SQI
// graphs: what a user reads off the screen.
#include <gtest/gtest.h>

#include <vector>

#include "display/BicMap.h"
#include "display/PowerGraph.h"
#include "display/SqiGraph.h"
#include "display/WaveGraph.h"
#include "support/GuiTestApp.h"

namespace qs {
namespace {

constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr Rgb kWhite = MakeRgb(255, 255, 255);
constexpr Rgb kYellow = MakeRgb(255, 255, 0);
constexpr Rgb kRed = MakeRgb(255, 0, 0);
constexpr Rgb kGreen = MakeRgb(0, 255, 0);

Rgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

TEST(ColourScale, RampsFromBlueToRedWithTheOneIrregularEntry) {
  EXPECT_EQ(ColourScale[0], MakeRgb(0, 0, 199));
  EXPECT_EQ(ColourScale[1], MakeRgb(1, 1, 199));
  EXPECT_EQ(ColourScale[34], MakeRgb(1, 199, 199));
  EXPECT_EQ(ColourScale[35], MakeRgb(7, 199, 193));
  EXPECT_EQ(ColourScale[48], MakeRgb(85, 199, 115));
  EXPECT_EQ(ColourScale[49], MakeRgb(91, 199, 97));
  EXPECT_EQ(ColourScale[50], MakeRgb(97, 199, 103));
  EXPECT_EQ(ColourScale[67], MakeRgb(199, 199, 1));
  EXPECT_EQ(ColourScale[68], MakeRgb(199, 193, 1));
  EXPECT_EQ(ColourScale[100], MakeRgb(199, 1, 1));
  for (Rgb c : ColourScale) {
    EXPECT_LE(c >> 16 & 0xFF, 199u);
    EXPECT_LE(c >> 8 & 0xFF, 199u);
    EXPECT_LE(c & 0xFF, 199u);
  }
  EXPECT_EQ(ScaleColour(-3), ColourScale[0]);
  EXPECT_EQ(ScaleColour(140), ColourScale[100]);
}

// Every pixel of every cell of the triangle, in triangle order.
std::vector<Rgb> CellPixels(const QImage& image) {
  std::vector<Rgb> pixels;
  for (int j = 1; j <= 47; ++j)
    for (int i = j; i <= 95 - j; ++i)
      for (int y = 120 - 2 * j; y <= 121 - 2 * j; ++y)
        for (int x = 31 + 2 * i; x <= 32 + 2 * i; ++x) pixels.push_back(At(image, x, y));
  return pixels;
}

TEST(BicMap, AZeroMapFillsTheWholeTriangleWithTheLowestColourOrBlack) {
  const std::vector<float> zeros(BicMap::kValues, 0.0f);
  for (const bool gray : {false, true}) {
    QImage image(BicMap::kWidth, BicMap::kHeight, QImage::Format_RGB32);
    Canvas canvas(image);
    BicMap::DrawTemplate(canvas, gray);
    const Rgb expected = gray ? kBlack : MakeRgb(0, 0, 199);
    // The template alone already shows the empty domain.
    for (Rgb p : CellPixels(image)) ASSERT_EQ(p, expected) << "template, gray " << gray;
    image.fill(MakeRgb(12, 34, 56));
    BicMap::Paint(canvas, zeros.data(), 1, gray);
    const std::vector<Rgb> cells = CellPixels(image);
    EXPECT_EQ(cells.size(), 4u * BicMap::kValues);
    for (Rgb p : cells) ASSERT_EQ(p, expected) << "painted, gray " << gray;
    // Outside the triangle nothing is painted.
    EXPECT_EQ(At(image, 221, 118), MakeRgb(12, 34, 56));
    EXPECT_EQ(At(image, 32, 118), MakeRgb(12, 34, 56));
  }
}

TEST(BicMap, CellsFollowTheTriangleOrder) {
  std::vector<float> map(BicMap::kValues, 0.0f);
  map[0] = 99.5f;      // (0.5 Hz, 0.5 Hz)
  map[93] = 34.0f;     // i = 94, j = 1: the last cell of the first row
  map[2254] = 67.0f;   // j = 47, i = 47
  map[2255] = 100.0f;  // j = 47, i = 48
  QImage image(BicMap::kWidth, BicMap::kHeight, QImage::Format_RGB32);
  image.fill(kBlack);
  Canvas canvas(image);
  BicMap::Paint(canvas, map.data(), 1, false);
  for (int y : {118, 119})
    for (int x : {33, 34}) EXPECT_EQ(At(image, x, y), MakeRgb(199, 1, 1));
  EXPECT_EQ(At(image, 35, 118), ColourScale[0]);
  EXPECT_EQ(At(image, 120, 120), kBlack) << "the first cell ends above y = 120";
  EXPECT_EQ(At(image, 219, 119), ColourScale[34]);
  EXPECT_EQ(At(image, 220, 118), ColourScale[34]);
  EXPECT_EQ(At(image, 221, 118), kBlack) << "the first row ends at x = 220";
  EXPECT_EQ(At(image, 125, 26), ColourScale[67]);
  EXPECT_EQ(At(image, 128, 27), ColourScale[100]);
  EXPECT_EQ(At(image, 129, 26), kBlack);
  EXPECT_EQ(At(image, 126, 25), kBlack) << "row 47 is the top row";
}

TEST(BicMap, ValueToColourRoundsAndCaps) {
  EXPECT_EQ(BicMap::CellColour(99.5f, 1, false), MakeRgb(199, 1, 1));
  EXPECT_EQ(BicMap::CellColour(99.4f, 1, false), ColourScale[99]);
  EXPECT_EQ(BicMap::CellColour(49.75f, 3, false), ColourScale[100]) << "mBIC doubles";
  EXPECT_EQ(BicMap::CellColour(80.0f, 3, false), ColourScale[100]) << "mBIC is capped";
  EXPECT_EQ(BicMap::CellColour(49.7f, 3, false), ColourScale[99]);
  EXPECT_EQ(BicMap::CellColour(100.0f, 1, true), MakeRgb(250, 250, 250));
  EXPECT_EQ(BicMap::CellColour(300.0f, 1, true), kWhite) << "gray levels stay within 0..255";
  EXPECT_EQ(BicMap::CellColour(-7.0f, 0, false), ColourScale[0]);
}

TEST(BicMap, TemplateHasItsAxesAndColourBar) {
  QImage image(BicMap::kWidth, BicMap::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  BicMap::DrawTemplate(canvas, false);
  EXPECT_EQ(At(image, 31, 60), kYellow) << "vertical axis";
  EXPECT_EQ(At(image, 150, 120), kYellow) << "horizontal axis";
  EXPECT_EQ(At(image, 51, 121), kYellow) << "5 Hz tick";
  EXPECT_EQ(At(image, 230, 110), ColourScale[0]) << "bottom of the colour bar";
  EXPECT_EQ(At(image, 230, 10), ColourScale[100]) << "top of the colour bar";
  EXPECT_EQ(At(image, 230, 60), ColourScale[50]);
  EXPECT_EQ(At(image, 232, 60), kBlack) << "the bar's strokes end before x = 232";
  BicMap::DrawTemplate(canvas, true);
  EXPECT_EQ(At(image, 230, 10), MakeRgb(250, 250, 250));
  EXPECT_EQ(At(image, 2, 130), MakeRgb(128, 128, 128));
}

TEST(WaveGraph, SamplesMapToRowsAndClampAtTheDefaultScale) {
  EXPECT_EQ(WaveGraph::SampleY(50.0f, 2.0f), 22);
  EXPECT_EQ(WaveGraph::SampleY(-50.0f, 2.0f), 121) << "-49.5 truncates to -49";
  EXPECT_EQ(WaveGraph::SampleY(100.0f, 2.0f), 0);
  EXPECT_EQ(WaveGraph::SampleY(-100.0f, 2.0f), 143);
  EXPECT_EQ(WaveGraph::SampleY(0.0f, 2.0f), 72);
  EXPECT_EQ(WaveGraph::SampleY(25.0f, 4.0f), 22);
  EXPECT_EQ(WaveGraph::SampleY(1e30f, 2.0f), 0);
  EXPECT_EQ(WaveGraph::SampleY(-1e30f, 2.0f), 143);
}

TEST(WaveGraph, ASecondIsDrawnAtTheRightThenScrolledLeft) {
  QImage image(WaveGraph::kWidth, WaveGraph::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  WaveGraph::DrawFrame(canvas, 1);
  EXPECT_EQ(At(image, 43, 50), kWhite) << "axis";
  EXPECT_EQ(At(image, 300, 72), kWhite) << "zero line";
  std::vector<float> raw(128, 50.0f), processed(128, -50.0f);
  WaveGraph graph;
  ASSERT_TRUE(graph.PrepareSecond(raw.data(), processed.data(), {true, true, 2.0f}));
  EXPECT_EQ(graph.RawPoints()[0], (Point{428, 72})) << "the first second starts on the zero line";
  EXPECT_EQ(graph.RawPoints()[128], (Point{555, 22}));
  graph.DrawSecond(canvas);
  EXPECT_EQ(At(image, 500, 22), kYellow);
  EXPECT_EQ(At(image, 500, 121), kRed);
  EXPECT_EQ(At(image, 555, 22), kBlack) << "a polyline leaves out its last point";
  WaveGraph::Scroll(canvas);
  EXPECT_EQ(At(image, 372, 22), kYellow) << "moved one second (128 pixels) left";
  EXPECT_EQ(At(image, 500, 22), kBlack) << "the newest second is cleared";
  EXPECT_EQ(At(image, 500, 72), kWhite) << "with a zero line";
  EXPECT_EQ(At(image, 555, 70), kWhite);
  EXPECT_EQ(At(image, 555, 74), kWhite);
  EXPECT_EQ(At(image, 555, 75), kBlack);
  EXPECT_EQ(At(image, 43, 50), kWhite) << "the margin does not scroll";
  // The next second joins the previous one at x = 427.
  ASSERT_TRUE(graph.PrepareSecond(raw.data(), processed.data(), {true, false, 2.0f}));
  EXPECT_EQ(graph.RawPoints()[0], (Point{427, 22}));
  // Neither wave shown: nothing to draw, and the graph still scrolls.
  EXPECT_FALSE(graph.PrepareSecond(raw.data(), processed.data(), {false, false, 2.0f}));
}

TEST(WaveGraph, FrameLabelsFollowTheScaleChoice) {
  // The labels are text: compare the margin with the label drawn alone.
  const auto margin = [](int scaleIndex) {
    QImage image(WaveGraph::kWidth, WaveGraph::kHeight, QImage::Format_RGB32);
    Canvas canvas(image);
    WaveGraph::DrawFrame(canvas, scaleIndex);
    return image.copy(0, 0, 40, 144);
  };
  QImage expected(40, 144, QImage::Format_RGB32);
  expected.fill(kBlack);
  Canvas canvas(expected);
  canvas.SetBrush(kBlack);
  canvas.SetFont(12, kWhite);
  canvas.TextOut(2, 15, "+50");
  canvas.TextOut(8, 65, "0");
  canvas.TextOut(2, 115, "-50");
  EXPECT_EQ(margin(1), expected);
  EXPECT_NE(margin(2), expected);
}

TEST(PowerGraph, LogarithmicAndLinearHeights) {
  const PowerScaleSettings log{false, 0};
  EXPECT_EQ(114 - PowerGraph::Height(1.0f, log), 54);
  EXPECT_EQ(114 - PowerGraph::Height(0.001f, log), 114);
  EXPECT_EQ(114 - PowerGraph::Height(0.0005f, log), 114);
  EXPECT_EQ(114 - PowerGraph::Height(0.0f, log), 114);
  EXPECT_EQ(114 - PowerGraph::Height(-3.0f, log), 114);
  EXPECT_EQ(114 - PowerGraph::Height(1e6f, log), 14);
  const PowerScaleSettings linear5{true, 0};
  EXPECT_EQ(114 - PowerGraph::Height(5.0f, linear5), 14);
  EXPECT_EQ(114 - PowerGraph::Height(7.0f, linear5), 14);
  EXPECT_EQ(114 - PowerGraph::Height(2.5f, linear5), 64);
  const PowerScaleSettings linear100{true, 4};
  EXPECT_EQ(PowerGraph::Height(49.6f, linear100), 50);
  EXPECT_EQ(PowerGraph::Height(100.0f, linear100), 100);
}

TEST(PowerGraph, TheCurveRunsOverBins1To100) {
  QImage image(PowerGraph::kWidth, PowerGraph::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  PowerGraph::DrawFrame(canvas, {false, 0});
  EXPECT_EQ(At(image, 31, 60), kYellow);
  EXPECT_EQ(At(image, 240, 114), kYellow) << "the frequency axis runs to x = 251";
  std::array<float, 101> spectrum{};
  spectrum.fill(1.0f);
  spectrum[0] = 1e6f;  // bin 0 is not drawn
  PowerGraph graph;
  graph.Prepare(spectrum, {false, 0});
  EXPECT_EQ(graph.Points()[0], (Point{32, 54}));
  EXPECT_EQ(graph.Points()[99], (Point{230, 54}));
  graph.DrawCurve(canvas);
  EXPECT_EQ(At(image, 32, 54), kGreen);
  EXPECT_EQ(At(image, 229, 54), kGreen);
  EXPECT_EQ(At(image, 230, 54), kBlack) << "the curve's last point is left out";
  EXPECT_EQ(At(image, 31, 14), kYellow) << "the frame outside the plot stays";
}

TEST(SqiGraph, BarLengthsAndColours) {
  QImage image(SqiGraph::kWidth, SqiGraph::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  SqiGraph::DrawBars(canvas, {0.395f, 0.394f, 0.8f});
  for (int y = 18; y <= 22; ++y) {
    EXPECT_EQ(At(image, 10, y), kYellow);
    EXPECT_EQ(At(image, 49, y), kYellow);
  }
  EXPECT_EQ(At(image, 50, 20), kWhite) << "0.395 is 40 pixels";
  EXPECT_EQ(At(image, 30, 17), kWhite) << "5 pixels thick";
  EXPECT_EQ(At(image, 48, 45), kRed);
  EXPECT_EQ(At(image, 49, 45), kWhite) << "0.394 is 39 pixels";
  EXPECT_EQ(At(image, 89, 70), kGreen);
  EXPECT_EQ(At(image, 90, 70), kWhite);
  SqiGraph::DrawBars(canvas, {0.0f, -1024.0f, 1.0f});
  EXPECT_EQ(At(image, 10, 20), kWhite) << "0 draws no bar";
  EXPECT_EQ(At(image, 10, 45), kWhite) << "a missing value draws no bar";
  EXPECT_EQ(At(image, 109, 70), kGreen);
  EXPECT_EQ(At(image, 60, 80), kBlack) << "scale line";
}

}  // namespace
}  // namespace qs
