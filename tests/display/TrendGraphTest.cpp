// The trend graph: where each series' values fall, which column a record takes,
// and how the two-hour window follows the data and pages through hours.
#include "display/TrendGraph.h"

#include <gtest/gtest.h>

#include <vector>

#include "display/SqiGraph.h"
#include "support/GuiTestApp.h"

namespace qs {
namespace {

constexpr Rgb kMagenta = MakeRgb(255, 0, 255);
constexpr Rgb kBlack = MakeRgb(0, 0, 0);

Rgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

TEST(TrendGraph, SeriesValuesMapToTheirBands) {
  TrendSettings fraction;
  TrendSettings percent;
  percent.srPct = true;
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Bis, 100.0f, fraction), 170);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Bis, 0.0f, fraction), 270);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Sef, 30.0f, fraction), 20);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Rbr, -2.0f, fraction), 249) << "-79.5 truncates to -79";
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Bsr, 50.0f, percent), 110);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Bsr, 0.5f, fraction), 110);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Amp, 30.0f, fraction), 20);
  TrendSettings child;
  child.child = true;
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Amp, 60.0f, child), 20);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::PbicLow, 40.0f, fraction), 315);
  // Missing values leave no point: -1024 for the indices, exactly 0 for pBIC.
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Bis, kNotAvailable, fraction), -1);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::Rbr, -1000.5f, fraction), -1);
  EXPECT_EQ(TrendGraph::SeriesY(TrendGraph::PbicHigh, 0.0f, fraction), -1);
  EXPECT_EQ(TrendGraph::StripIndex(60.0f, 3), 100) << "mBIC strips are capped";
  EXPECT_EQ(TrendGraph::StripIndex(20.4f, 3), 41);
  EXPECT_EQ(TrendGraph::StripIndex(20.4f, 1), 20);
}

// A run's records, every one with BIS 50 except where set.
class TrendRun : public ::testing::Test {
 protected:
  void SetUp() override {
    records.resize(4 * 360);
    for (EpochResult& r : records) {
      r.value.fill(kNotAvailable);
      r[EpochResult::Bis] = 50.0f;
      r[EpochResult::PbicLow] = 0.0f;
      r[EpochResult::PbicHigh] = 0.0f;
      for (std::size_t b = 0; b < EpochResult::kDiagBicCount; ++b) r[EpochResult::DiagBic + b] = 67.0f;
    }
    store.records = records.data();
    store.capacity = records.size();
    graph.Reset(trend, sqi, settings);
  }
  bool Add(std::int32_t n) { return graph.AddRecord(trend, sqi, settings, store, records[static_cast<std::size_t>(n)], n); }

  std::vector<EpochResult> records;
  TrendStore store;
  TrendSettings settings;
  Bitmap trend{TrendGraph::kWidth, TrendGraph::kHeight};
  Bitmap sqi{SqiGraph::kWidth, SqiGraph::kHeight};
  TrendGraph graph;
};

TEST_F(TrendRun, TheFirstColumnIsColumnOneAndARedrawPutsRecordZeroAtColumnZero) {
  settings.startHour = 10;
  graph.Reset(trend, sqi, settings);
  EXPECT_EQ(graph.FirstHour(), -1);
  records[0][EpochResult::Bis] = 100.0f;
  ASSERT_TRUE(Add(0));
  EXPECT_EQ(graph.FirstHour(), 10);
  EXPECT_EQ(graph.Column(), 1);
  EXPECT_EQ(At(trend.image, 31, 170), kMagenta);
  EXPECT_EQ(At(trend.image, 30, 170), MakeRgb(255, 255, 255)) << "x = 30 is the axis";
  EXPECT_EQ(At(trend.image, 31, 447), ColourScale[67]) << "strip, 2 Hz";
  EXPECT_EQ(At(trend.image, 31, 378), ColourScale[67]) << "strip, 19 Hz";
  EXPECT_EQ(At(trend.image, 31, 377), kBlack);
  EXPECT_EQ(At(trend.image, 31, 448), kBlack);
  ASSERT_TRUE(Add(2));
  EXPECT_EQ(At(trend.image, 31, 170), kMagenta) << "the line starts at the previous point";
  EXPECT_EQ(At(trend.image, 32, 220), kBlack) << "and leaves out the new point";

}

TEST_F(TrendRun, PagingBackStopsAtTheStartHourAndNewRecordsWaitMeanwhile) {
  settings.startHour = 10;
  graph.Reset(trend, sqi, settings);
  records[0][EpochResult::Bis] = 100.0f;
  for (std::int32_t n = 0; n <= 3 * 360; n += 2) ASSERT_TRUE(Add(n)) << n;
  EXPECT_EQ(graph.FirstHour(), 12);
  EXPECT_EQ(graph.LatestHour(), 13);
  ASSERT_TRUE(graph.PrevHour(trend, sqi, settings, store, 3 * 360));
  ASSERT_TRUE(graph.PrevHour(trend, sqi, settings, store, 3 * 360));
  EXPECT_EQ(graph.FirstHour(), 10);
  EXPECT_EQ(At(trend.image, 30, 170), kMagenta) << "record 0 is at column 0 after a redraw";
  EXPECT_EQ(At(trend.image, 31, 220), kMagenta) << "joined to record 2";
  EXPECT_FALSE(graph.PrevHour(trend, sqi, settings, store, 3 * 360)) << "not before the start hour";
  EXPECT_EQ(graph.FirstHour(), 10);

  const QImage before = trend.image.copy();
  EXPECT_FALSE(Add(3 * 360 + 2)) << "an older hour is shown: nothing is drawn";
  EXPECT_EQ(trend.image, before);
  ASSERT_TRUE(graph.NextHour(trend, sqi, settings, store, 3 * 360 + 2));
  ASSERT_TRUE(graph.NextHour(trend, sqi, settings, store, 3 * 360 + 2));
  EXPECT_EQ(graph.FirstHour(), 12);
  EXPECT_FALSE(graph.NextHour(trend, sqi, settings, store, 3 * 360 + 2)) << "the newest hour is the second";
  EXPECT_TRUE(Add(3 * 360 + 4));
}

TEST_F(TrendRun, MissingPbicLeavesAGapThatTheNextValueBridges) {
  records[0][EpochResult::PbicLow] = 20.0f;  // y = 335
  records[4][EpochResult::PbicLow] = 40.0f;  // y = 315
  const Rgb pbicLow = MakeRgb(1, 175, 199);
  ASSERT_TRUE(Add(0));
  EXPECT_EQ(At(trend.image, 31, 335), pbicLow);
  ASSERT_TRUE(Add(2));  // 0: missing
  EXPECT_EQ(graph.Column(), 2);
  ASSERT_TRUE(Add(4));
  EXPECT_EQ(At(trend.image, 32, 325), pbicLow) << "the line from column 1 to column 3 crosses column 2";
}

TEST_F(TrendRun, HourLabelsWrapAfterMidnightWhileHoursCountOn) {
  settings.startHour = 23;
  graph.Reset(trend, sqi, settings);
  ASSERT_TRUE(Add(0));
  // The label of the window's second hour, drawn alone on black, is "00:00".
  const auto label = [](const char* text) {
    QImage image(TrendGraph::kWidth, TrendGraph::kHeight, QImage::Format_RGB32);
    image.fill(kBlack);
    Canvas canvas(image);
    canvas.ClearBrush();
    canvas.SetFont(10, MakeRgb(255, 255, 255));
    canvas.TextOut(195, 362, text);
    return image.copy(195, 362, 45, 14);
  };
  const QImage shown = trend.image.copy(195, 362, 45, 14);
  EXPECT_EQ(shown, label("00:00"));
  EXPECT_NE(shown, label("24:00"));
  for (std::int32_t n = 2; n <= 2 * 360; n += 2) ASSERT_TRUE(Add(n));
  EXPECT_EQ(graph.FirstHour(), 24) << "hours count on past midnight";
  EXPECT_EQ(trend.image.copy(15, 362, 45, 14), label("00:00").copy(0, 0, 45, 14));
}

}  // namespace
}  // namespace qs
