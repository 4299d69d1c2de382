// Pixel positions and colours of the map, waveform, power spectrum, SQI and
// trend graphs: what a user reads off the screen.
#include <gtest/gtest.h>

#include "Pixels.h"
#include "display/BicMap.h"
#include "display/PowerGraph.h"
#include "display/SqiGraph.h"
#include "display/TrendGraph.h"
#include "display/WaveGraph.h"
#include "support/GuiTestApp.h"

namespace qs {
namespace {

using namespace test;

QImage Blank(int w, int h, Rgb fill = kBlack) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

// A text drawn alone on black, to compare a graph's labels with.
QImage Text(int w, int h, int points, std::initializer_list<std::tuple<int, int, const char*>> texts) {
  QImage image = Blank(w, h);
  Canvas canvas(image);
  canvas.ClearBrush();
  canvas.SetFont(points, kWhite);
  for (const auto& [x, y, text] : texts) canvas.TextOut(x, y, text);
  return image;
}

TEST(ColourScale, RampsFromBlueToRedWithTheOneIrregularEntry) {
  // clang-format off
  const std::pair<int, Rgb> entries[] = {{0, MakeRgb(0, 0, 199)}, {1, MakeRgb(1, 1, 199)},
      {34, MakeRgb(1, 199, 199)}, {35, MakeRgb(7, 199, 193)}, {48, MakeRgb(85, 199, 115)},
      {49, MakeRgb(91, 199, 97)}, {50, MakeRgb(97, 199, 103)}, {67, MakeRgb(199, 199, 1)},
      {68, MakeRgb(199, 193, 1)}, {100, MakeRgb(199, 1, 1)}};
  // clang-format on
  for (const auto& [i, colour] : entries) EXPECT_EQ(ColourScale[i], colour) << i;
  for (Rgb c : ColourScale) EXPECT_LE(std::max({c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF}), 199u);
  EXPECT_EQ(std::pair(ScaleColour(-3), ScaleColour(140)), std::pair(ColourScale[0], ColourScale[100]));
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

TEST(BicMap, TheTemplateAndAZeroMapFillTheWholeTriangleWithTheLowestColourOrBlack) {
  for (const bool gray : {false, true}) {
    QImage image = Blank(BicMap::kWidth, BicMap::kHeight, kWhite);
    Canvas canvas(image);
    BicMap::DrawTemplate(canvas, gray);
    // Axes, 5 Hz tick and colour bar, whose strokes end before x = 232.
    // clang-format off
    if (!gray) ExpectPixels(image, {{31, 60, kYellow}, {150, 120, kYellow}, {51, 121, kYellow}, {232, 60, 0},
      {230, 110, ColourScale[0]}, {230, 10, ColourScale[100]}, {230, 60, ColourScale[50]}});
    if (gray) ExpectPixels(image, {{230, 10, MakeRgb(250, 250, 250)}, {2, 130, MakeRgb(128, 128, 128)}});
    // clang-format on
    const std::vector<Rgb> expected(4u * BicMap::kValues, gray ? kBlack : MakeRgb(0, 0, 199));
    EXPECT_EQ(CellPixels(image), expected) << "the template alone shows the empty domain, gray " << gray;
    image.fill(MakeRgb(12, 34, 56));
    BicMap::Paint(canvas, std::vector<float>(BicMap::kValues, 0.0f).data(), 1, gray);
    EXPECT_EQ(CellPixels(image), expected) << "painted, gray " << gray;
    ExpectPixels(image, {{221, 118, MakeRgb(12, 34, 56)}, {32, 118, MakeRgb(12, 34, 56)}});  // outside
  }
}

TEST(BicMap, CellsFollowTheTriangleOrderAndValuesRoundAndCap) {
  std::vector<float> map(BicMap::kValues, 0.0f);
  // (0.5 Hz, 0.5 Hz); i = 94, j = 1: the last cell of the first row; j = 47, i = 47 and 48
  std::tie(map[0], map[93], map[2254], map[2255]) = std::tuple(99.5f, 34.0f, 67.0f, 100.0f);
  QImage image = Blank(BicMap::kWidth, BicMap::kHeight);
  Canvas canvas(image);
  BicMap::Paint(canvas, map.data(), 1, false);
  // 120,120 the first cell ends above y = 120; 221,118 the first row ends at x = 220; 126,25 row 47 is the
  // top row
  // clang-format off
  ExpectPixels(image, {{33, 118, ColourScale[100]}, {34, 118, ColourScale[100]}, {33, 119, ColourScale[100]},
      {34, 119, ColourScale[100]}, {35, 118, ColourScale[0]}, {120, 120, kBlack}, {219, 119, ColourScale[34]},
      {220, 118, ColourScale[34]}, {221, 118, kBlack}, {125, 26, ColourScale[67]}, {129, 26, kBlack},
      {128, 27, ColourScale[100]}, {126, 25, kBlack}});
  // value, figure type (3: mBIC, doubled and capped), gray => colour
  const std::tuple<float, int, bool, Rgb> colours[] = {{99.5f, 1, false, ColourScale[100]},
      {99.4f, 1, false, ColourScale[99]}, {49.75f, 3, false, ColourScale[100]}, {80, 3, 0, ColourScale[100]},
      {49.7f, 3, false, ColourScale[99]}, {100, 1, true, MakeRgb(250, 250, 250)}, {300, 1, true, kWhite},
      {-7, 0, false, ColourScale[0]}};
  // clang-format on
  for (const auto& [value, type, gray, colour] : colours)
    EXPECT_EQ(BicMap::CellColour(value, type, gray), colour) << value << " type " << type << " gray " << gray;
}

TEST(WaveGraph, SamplesMapToRowsAndASecondIsDrawnAtTheRightThenScrolledLeft) {
  // microvolts, scale => row; -49.5 truncates to -49
  const std::tuple<float, float, int> rows[] = {{50, 2, 22}, {-50, 2, 121}, {100, 2, 0},   {-100, 2, 143},
                                                {0, 2, 72},  {25, 4, 22},   {1e30f, 2, 0}, {-1e30f, 2, 143}};
  for (const auto& [uv, scale, y] : rows) EXPECT_EQ(WaveGraph::SampleY(uv, scale), y) << uv << " / " << scale;

  QImage image(WaveGraph::kWidth, WaveGraph::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  WaveGraph::DrawFrame(canvas, 1);
  ExpectPixels(image, {{43, 50, kWhite}, {300, 72, kWhite}});  // axis, zero line
  std::vector<float> raw(128, 50.0f), processed(128, -50.0f);
  WaveGraph graph;
  ASSERT_TRUE(graph.PrepareSecond(raw.data(), processed.data(), {true, true, 2.0f}));
  // The first second starts on the zero line.
  EXPECT_EQ(std::pair(graph.RawPoints()[0], graph.RawPoints()[128]),
            std::pair(Point{428, 72}, Point{555, 22}));
  graph.DrawSecond(canvas);
  // 555,22 a polyline leaves out its last point
  ExpectPixels(image, {{500, 22, kYellow}, {500, 121, kRed}, {555, 22, kBlack}});
  WaveGraph::Scroll(canvas);
  // 372,22 moved one second (128 pixels) left; 500,22 the newest second is cleared; 500,72 with a zero line;
  // 43,50 the margin does not scroll
  // clang-format off
  ExpectPixels(image, {{372, 22, kYellow}, {500, 22, kBlack}, {500, 72, kWhite}, {555, 70, kWhite},
                       {555, 74, kWhite}, {555, 75, kBlack}, {43, 50, kWhite}});
  // clang-format on
  ASSERT_TRUE(graph.PrepareSecond(raw.data(), processed.data(), {true, false, 2.0f}));
  EXPECT_EQ(graph.RawPoints()[0], (Point{427, 22})) << "the next second joins the previous one";
  EXPECT_FALSE(graph.PrepareSecond(raw.data(), processed.data(), {false, false, 2.0f}));  // neither shown

  // The scale labels are text: compare the margin with the labels drawn alone.
  const QImage labels = Text(40, 144, 12, {{2, 15, "+50"}, {8, 65, "0"}, {2, 115, "-50"}});
  for (const int scaleIndex : {1, 2}) {
    WaveGraph::DrawFrame(canvas, scaleIndex);
    EXPECT_EQ(image.copy(0, 0, 40, 144) == labels, scaleIndex == 1) << "scale " << scaleIndex;
  }
}

TEST(PowerGraph, LogarithmicAndLinearHeightsAndTheCurveOverBins1To100) {
  // value, linear, scale index => pixels from the top of the frame (114 - height)
  // clang-format off
  const std::tuple<float, bool, int, int> heights[] = {{1.0f, false, 0, 54}, {0.001f, false, 0, 114},
      {0.0005f, false, 0, 114}, {0.0f, false, 0, 114}, {-3.0f, false, 0, 114}, {1e6f, false, 0, 14},
      {5.0f, true, 0, 14}, {7.0f, true, 0, 14}, {2.5f, true, 0, 64}, {49.6f, true, 4, 64}, {100, 1, 4, 14}};
  // clang-format on
  for (const auto& [value, linear, scale, y] : heights)
    EXPECT_EQ(114 - PowerGraph::Height(value, {linear, scale}), y) << value << " linear " << linear;

  QImage image(PowerGraph::kWidth, PowerGraph::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  PowerGraph::DrawFrame(canvas, {false, 0});
  ExpectPixels(image, {{31, 60, kYellow}, {240, 114, kYellow}});  // the frequency axis runs to x = 251
  std::array<float, 101> spectrum{1e6f};                          // bin 0 is not drawn
  std::fill(spectrum.begin() + 1, spectrum.end(), 1.0f);
  PowerGraph graph;
  graph.Prepare(spectrum, {false, 0});
  EXPECT_EQ(std::pair(graph.Points()[0], graph.Points()[99]), std::pair(Point{32, 54}, Point{230, 54}));
  graph.DrawCurve(canvas);
  // 230,54 the curve's last point is left out; 31,14 the frame outside the plot stays
  ExpectPixels(image, {{32, 54, kGreen}, {229, 54, kGreen}, {230, 54, kBlack}, {31, 14, kYellow}});
}

TEST(SqiGraph, BarLengthsAndColours) {
  QImage image(SqiGraph::kWidth, SqiGraph::kHeight, QImage::Format_RGB32);
  Canvas canvas(image);
  SqiGraph::DrawBars(canvas, {0.395f, 0.394f, 0.8f});
  for (int y = 18; y <= 22; ++y) ExpectPixels(image, {{10, y, kYellow}, {49, y, kYellow}});
  // 50,20 0.395 is 40 pixels; 30,17 5 pixels thick; 49,45 0.394 is 39 pixels
  // clang-format off
  ExpectPixels(image, {{50, 20, kWhite}, {30, 17, kWhite}, {48, 45, kRed}, {49, 45, kWhite}, {89, 70, kGreen},
                       {90, 70, kWhite}});
  // clang-format on
  SqiGraph::DrawBars(canvas, {0.0f, -1024.0f, 1.0f});
  // 10,20 0 draws no bar; 10,45 a missing value draws no bar; 60,80 scale line
  ExpectPixels(image, {{10, 20, kWhite}, {10, 45, kWhite}, {109, 70, kGreen}, {60, 80, kBlack}});
}

TEST(TrendGraph, SeriesValuesMapToTheirBands) {
  const TrendSettings f, percent{.srPct = true}, child{.child = true};
  // Missing values leave no point (-1): -1024 for the indices, exactly 0 for pBIC.
  // clang-format off
  using G = TrendGraph;
  const std::tuple<G::Series, float, const TrendSettings*, int> rows[] = {{G::Bis, 100.0f, &f, 170},
      {G::Bis, 0.0f, &f, 270}, {G::Sef, 30.0f, &f, 20}, {G::Rbr, -2.0f, &f, 249} /* -79.5 -> -79 */,
      {G::Bsr, 50.0f, &percent, 110}, {G::Bsr, 0.5f, &f, 110}, {G::Amp, 30, &f, 20}, {G::Amp, 60, &child, 20},
      {G::PbicLow, 40.0f, &f, 315}, {G::Bis, kNotAvailable, &f, -1}, {G::Rbr, -1000.5f, &f, -1},
      {G::PbicHigh, 0.0f, &f, -1}};
  // clang-format on
  for (const auto& [series, value, settings, y] : rows)
    EXPECT_EQ(TrendGraph::SeriesY(series, value, *settings), y) << series << " " << value;
  // mBIC strips are doubled and capped.
  EXPECT_EQ(std::tuple(G::StripIndex(60.0f, 3), G::StripIndex(20.4f, 3), G::StripIndex(20.4f, 1)),
            std::tuple(100, 41, 20));
}

// A run's records, every one with BIS 50, pBIC 0 and the strips 67 except where set.
class TrendRun : public ::testing::Test {
 protected:
  void SetUp() override {
    for (EpochResult& r : records) {
      r.value.fill(kNotAvailable);
      std::tie(r[EpochResult::Bis], r[EpochResult::PbicLow], r[EpochResult::PbicHigh]) = std::tuple(50, 0, 0);
      for (std::size_t b = 0; b < EpochResult::kDiagBicCount; ++b) r[EpochResult::DiagBic + b] = 67.0f;
    }
    std::tie(store.records, store.capacity) = std::tuple(records.data(), records.size());
  }
  void Reset(int startHour) {
    settings.startHour = startHour;
    graph.Reset(trend, sqi, settings);
  }
  bool Add(std::int32_t n) { return graph.AddRecord(trend, sqi, settings, store, records[n], n); }
  bool Prev(std::int32_t latest) { return graph.PrevHour(trend, sqi, settings, store, latest); }
  bool Next(std::int32_t latest) { return graph.NextHour(trend, sqi, settings, store, latest); }

  std::vector<EpochResult> records = std::vector<EpochResult>(4 * 360);
  TrendStore store;
  TrendSettings settings;
  Bitmap trend{TrendGraph::kWidth, TrendGraph::kHeight}, sqi{SqiGraph::kWidth, SqiGraph::kHeight};
  TrendGraph graph;
};

TEST_F(TrendRun, TheFirstColumnIsColumnOnePagingBackStopsAtTheStartHourAndMissingPbicLeavesAGap) {
  Reset(10);
  EXPECT_EQ(graph.FirstHour(), -1);
  records[0][EpochResult::Bis] = 100.0f;
  ASSERT_TRUE(Add(0));
  EXPECT_EQ(std::pair(graph.FirstHour(), graph.Column()), std::pair(10, 1));
  // 30,170 x = 30 is the axis; 31,447 strip, 2 Hz; 31,378 strip, 19 Hz
  // clang-format off
  ExpectPixels(trend.image, {{31, 170, kMagenta}, {30, 170, kWhite}, {31, 447, ColourScale[67]},
                             {31, 378, ColourScale[67]}, {31, 377, kBlack}, {31, 448, kBlack}});
  // clang-format on
  ASSERT_TRUE(Add(2));
  // 31,170 the line starts at the previous point; 32,220 and leaves out the new point
  ExpectPixels(trend.image, {{31, 170, kMagenta}, {32, 220, kBlack}});

  for (std::int32_t n = 4; n <= 3 * 360; n += 2) ASSERT_TRUE(Add(n)) << n;
  EXPECT_EQ(std::pair(graph.FirstHour(), graph.LatestHour()), std::pair(12, 13));
  ASSERT_TRUE(Prev(3 * 360) && Prev(3 * 360));
  EXPECT_EQ(graph.FirstHour(), 10);
  // 30,170 record 0 is at column 0 after a redraw, 30,447 with its strip; 31,220 joined to record 2
  ExpectPixels(trend.image, {{30, 170, kMagenta}, {30, 447, ColourScale[67]}, {31, 220, kMagenta}});
  EXPECT_FALSE(Prev(3 * 360)) << "not before the start hour";
  EXPECT_EQ(graph.FirstHour(), 10);

  const QImage before = trend.image.copy();
  EXPECT_FALSE(Add(3 * 360 + 2)) << "an older hour is shown: nothing is drawn";
  EXPECT_EQ(trend.image, before);
  ASSERT_TRUE(Next(3 * 360 + 2) && Next(3 * 360 + 2));
  EXPECT_EQ(graph.FirstHour(), 12);
  EXPECT_FALSE(Next(3 * 360 + 2)) << "the newest hour is the second";
  EXPECT_TRUE(Add(3 * 360 + 4));

  // A missing pBIC leaves a gap that the next value bridges; hour labels wrap after midnight.
  Reset(23);
  records[0][EpochResult::PbicLow] = 20.0f;  // y = 335
  records[4][EpochResult::PbicLow] = 40.0f;  // y = 315
  ASSERT_TRUE(Add(0));
  EXPECT_EQ(At(trend.image, 31, 335), MakeRgb(1, 175, 199));
  const auto label = [](const char* text) {
    return Text(TrendGraph::kWidth, TrendGraph::kHeight, 10, {{195, 362, text}}).copy(195, 362, 45, 14);
  };
  EXPECT_EQ(trend.image.copy(195, 362, 45, 14), label("00:00")) << "the label of the window's second hour";
  EXPECT_NE(trend.image.copy(195, 362, 45, 14), label("24:00"));
  ASSERT_TRUE(Add(2));  // 0: missing
  EXPECT_EQ(graph.Column(), 2);
  ASSERT_TRUE(Add(4));
  EXPECT_EQ(At(trend.image, 32, 325), MakeRgb(1, 175, 199)) << "the line from column 1 to 3 crosses column 2";
  for (std::int32_t n = 6; n <= 2 * 360; n += 2) ASSERT_TRUE(Add(n));
  EXPECT_EQ(graph.FirstHour(), 24) << "hours count on past midnight";
  EXPECT_EQ(trend.image.copy(15, 362, 45, 14), label("00:00"));
}

}  // namespace
}  // namespace qs
