// The case summary's figures on inputs whose answers are known in closed form:
// which intervals count for which figure, not-available and artifact-rejected
// intervals, quantiles, units and the written form.
#include <gtest/gtest.h>

#include "report/CaseSummary.h"

namespace qs {
namespace {

constexpr float NA = kNotAvailable;

struct Row {
  float bis = NA, sef = NA, bsr = NA, rbr = NA, bispr = NA, amp = NA, sqiTime = 0;
  int flagged = 0;
};

std::vector<CaseInterval> Intervals(const std::vector<Row>& rows) {
  std::vector<CaseInterval> out;
  for (const Row& r : rows) {
    CaseInterval i;
    i.record[EpochResult::Bis] = r.bis;
    i.record[EpochResult::Sef] = r.sef;
    i.record[EpochResult::Bsr] = r.bsr;
    i.record[EpochResult::Rbr] = r.rbr;
    i.record[EpochResult::BispR] = r.bispr;
    i.record[EpochResult::Amp] = r.amp;
    i.record[EpochResult::SqiTime] = r.sqiTime;
    i.flaggedBlocks = r.flagged;
    out.push_back(i);
  }
  return out;
}

TEST(CaseSummary, QuantilesInterpolateBetweenTheSortedValues) {
  struct Case {
    std::vector<double> values;
    double p, expected;
  };
  const Case cases[] = {
      {{5, 1, 4, 2, 3}, 0.5, 3.0}, {{5, 1, 4, 2, 3}, 0.25, 2.0}, {{4, 3, 2, 1}, 0.5, 2.5},
      {{4, 3, 2, 1}, 0.25, 1.75},  {{4, 3, 2, 1}, 0.75, 3.25},   {{7}, 0.75, 7.0},
  };
  for (const Case& c : cases) {
    std::vector<double> v = c.values;
    EXPECT_DOUBLE_EQ(Quantile(v, c.p), c.expected) << "p " << c.p << ", " << c.values.size() << " values";
  }
}

TEST(CaseSummary, RejectedAndNotAvailableIntervalsLeaveOnlyTheirOwnFigures) {
  // Interval 2 is artifact-rejected (10 of 20 blocks flagged), interval 3 has
  // nothing available. The monitor's BIS counts in the rejected one.
  const auto intervals = Intervals({
      {.bis = 39.9f, .sef = 10, .bsr = 0.1f, .rbr = -1, .bispr = 2, .amp = 20, .flagged = 9},
      {.bis = 40.0f, .sef = 20, .bsr = 0.3f, .rbr = -3, .bispr = 4, .amp = 40},
      {.bis = 60.0f, .sef = 99, .bsr = 0.9f, .rbr = 9, .bispr = 9, .amp = 99, .flagged = 10},
      {},
      {.bis = 60.1f, .sef = 30, .bsr = 0.2f, .rbr = -2, .bispr = 3, .amp = 30, .flagged = 1},
  });
  const CaseSummary s =
      SummarizeCase(intervals, CaseTotals{.seconds = 55, .suppressedSamples = 640, .longestSuppressed = 96});
  EXPECT_EQ(s[Figure::DurationS], 55.0);
  EXPECT_EQ(s[Figure::Intervals], 5.0);
  EXPECT_DOUBLE_EQ(*s[Figure::BisMedian], 50.0);     // 39.9, 40, 60, 60.1
  EXPECT_DOUBLE_EQ(*s[Figure::Bis40To60Pct], 50.0);  // 40 and 60 are inside
  EXPECT_DOUBLE_EQ(*s[Figure::SefMedian], 20.0);     // 10, 20, 30
  EXPECT_DOUBLE_EQ(*s[Figure::SefIqr], 10.0);        // 25 - 15
  EXPECT_NEAR(*s[Figure::BsrMean], 20.0, 1e-5);      // fractions as percent
  EXPECT_DOUBLE_EQ(*s[Figure::SuppressionS], 10.0);  // 640 samples of 64 Hz
  EXPECT_DOUBLE_EQ(*s[Figure::LongestSuppressionS], 1.5);
  EXPECT_DOUBLE_EQ(*s[Figure::RbrMedian], -2.0);
  EXPECT_DOUBLE_EQ(*s[Figure::BisprMedian], 3.0);
  EXPECT_DOUBLE_EQ(*s[Figure::AmplitudeMedian], 30.0);
  EXPECT_DOUBLE_EQ(*s[Figure::ArtifactPct], 20.0);  // 20 of 100 blocks
  EXPECT_FALSE(s[Figure::SqiTimeMean]);             // all five in the first minute
}

TEST(CaseSummary, MonitorSourcedBsrAndSefCountInRejectedIntervals) {
  const auto intervals = Intervals({{.sef = 10, .bsr = 40, .flagged = 20}, {.sef = 20, .bsr = 60}});
  const CaseSummary own = SummarizeCase(intervals, CaseTotals{.bsrInPercent = true});
  EXPECT_DOUBLE_EQ(*own[Figure::BsrMean], 60.0);
  EXPECT_DOUBLE_EQ(*own[Figure::SefMedian], 20.0);
  const CaseSummary monitor = SummarizeCase(
      intervals, CaseTotals{.bsrInPercent = true, .bsrFromMonitor = true, .sefFromMonitor = true});
  EXPECT_DOUBLE_EQ(*monitor[Figure::BsrMean], 50.0);
  EXPECT_DOUBLE_EQ(*monitor[Figure::SefMedian], 15.0);
}

TEST(CaseSummary, SqiTimeMeanStartsOnceItsMinuteIsFull) {
  std::vector<Row> rows(kSqiWarmupIntervals, Row{.sqiTime = 0.1f});
  rows.push_back({.sqiTime = 0.5f});
  rows.push_back({.sqiTime = 1.0f});
  EXPECT_DOUBLE_EQ(*SummarizeCase(Intervals(rows), {})[Figure::SqiTimeMean], 0.75);
}

TEST(CaseSummary, AnEmptyCaseHasOnlyItsDurationAndCount) {
  const CaseSummary s = SummarizeCase({}, CaseTotals{.seconds = 5});
  for (std::size_t k = 0; k < kFigureCount; ++k) {
    const auto f = static_cast<Figure>(k);
    const bool always = f == Figure::DurationS || f == Figure::Intervals || f == Figure::SuppressionS ||
                        f == Figure::LongestSuppressionS;
    EXPECT_EQ(s[f].has_value(), always) << FigureName(f);
  }
}

TEST(CaseSummary, FiguresAreWrittenWithTheirDecimalsAndNoNegativeZero) {
  EXPECT_EQ(FormatFigure(Figure::SefMedian, 12.345678), "12.35");
  EXPECT_EQ(FormatFigure(Figure::RbrMedian, -0.0004), "0.000");
  EXPECT_EQ(FormatFigure(Figure::RbrMedian, -1.2345), "-1.234");  // the binary value is below ...45
  EXPECT_EQ(FormatFigure(Figure::Intervals, 47), "47");
  EXPECT_EQ(FormatFigure(Figure::BisMedian, std::nullopt), "");
}

TEST(CaseSummary, CommentTimesCountFromTheStartAcrossMidnight) {
  EXPECT_EQ(SecondsIntoCase(23 * 3600 + 55 * 60, 90), 5u * 60 + 90);
  EXPECT_EQ(SecondsIntoCase(10 * 3600, 10 * 3600 + 5), 5u);
}

}  // namespace
}  // namespace qs
