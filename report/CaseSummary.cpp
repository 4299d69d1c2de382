#include "report/CaseSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qs {
namespace {

struct FigureInfo {
  const char* name;
  const char* label;
  int decimals;
};

constexpr std::array<FigureInfo, kFigureCount> kFigures{{
    {"duration_s", "Duration (s)", 0},
    {"intervals", "Intervals (10 s)", 0},
    {"bis_median", "BIS median (monitor)", 1},
    {"bis_40_60_pct", "BIS 40-60 (% of intervals)", 1},
    {"sef_median", "SEF median (Hz)", 2},
    {"sef_iqr", "SEF IQR (Hz)", 2},
    {"bsr_mean", "BSR mean (%)", 2},
    {"suppression_s", "Suppression (s)", 1},
    {"longest_suppression_s", "Longest suppression (s)", 1},
    {"rbr_median", "RBR median", 3},
    {"bispr_median", "BispR median", 3},
    {"amplitude_median", "Amplitude median (uV)", 1},
    {"artifact_pct", "Artifact (% of time)", 1},
    {"sqi_time_mean", "SQI time mean", 3},
}};

bool Available(float v) {
  return !(v < -1000.0f);
}

// The available values of one field, from the intervals that count for it.
std::vector<double> Values(const std::vector<CaseInterval>& intervals, EpochResult::Field field,
                           bool skipRejected) {
  std::vector<double> out;
  out.reserve(intervals.size());
  for (const CaseInterval& i : intervals) {
    if (skipRejected && i.Rejected()) continue;
    const float v = i.record[field];
    if (Available(v)) out.push_back(static_cast<double>(v));
  }
  return out;
}

std::optional<double> Median(std::vector<double> v) {
  if (v.empty()) return std::nullopt;
  return Quantile(v, 0.5);
}

std::optional<double> Mean(const std::vector<double>& v) {
  if (v.empty()) return std::nullopt;
  double sum = 0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

}  // namespace

double Quantile(std::vector<double>& values, double p) {
  std::sort(values.begin(), values.end());
  const double position = p * static_cast<double>(values.size() - 1);
  const auto low = static_cast<std::size_t>(std::floor(position));
  const std::size_t high = std::min(low + 1, values.size() - 1);
  return values[low] + (position - static_cast<double>(low)) * (values[high] - values[low]);
}

CaseSummary SummarizeCase(const std::vector<CaseInterval>& intervals, const CaseTotals& totals) {
  CaseSummary s;
  auto set = [&s](Figure f, std::optional<double> v) { s.value[static_cast<std::size_t>(f)] = v; };
  set(Figure::DurationS, totals.seconds);
  set(Figure::Intervals, static_cast<double>(intervals.size()));

  const std::vector<double> bis = Values(intervals, EpochResult::Bis, false);
  set(Figure::BisMedian, Median(bis));
  if (!bis.empty()) {
    const auto inRange =
        std::count_if(bis.begin(), bis.end(), [](double v) { return v >= 40.0 && v <= 60.0; });
    set(Figure::Bis40To60Pct, 100.0 * static_cast<double>(inRange) / static_cast<double>(bis.size()));
  }

  std::vector<double> sef = Values(intervals, EpochResult::Sef, !totals.sefFromMonitor);
  set(Figure::SefMedian, Median(sef));
  if (!sef.empty()) {
    const double q1 = Quantile(sef, 0.25);
    set(Figure::SefIqr, Quantile(sef, 0.75) - q1);
  }

  std::vector<double> bsr = Values(intervals, EpochResult::Bsr, !totals.bsrFromMonitor);
  if (!totals.bsrInPercent)
    for (double& v : bsr) v *= 100.0;
  set(Figure::BsrMean, Mean(bsr));

  set(Figure::SuppressionS, static_cast<double>(totals.suppressedSamples) / kDecimatedRate);
  set(Figure::LongestSuppressionS, static_cast<double>(totals.longestSuppressed) / kDecimatedRate);
  set(Figure::RbrMedian, Median(Values(intervals, EpochResult::Rbr, true)));
  set(Figure::BisprMedian, Median(Values(intervals, EpochResult::BispR, true)));
  set(Figure::AmplitudeMedian, Median(Values(intervals, EpochResult::Amp, true)));

  if (!intervals.empty()) {
    long flagged = 0;
    for (const CaseInterval& i : intervals) flagged += i.flaggedBlocks;
    set(Figure::ArtifactPct,
        100.0 * static_cast<double>(flagged) / (static_cast<double>(intervals.size()) * kIntervalBlocks));
  }
  std::vector<double> sqi;
  for (std::size_t k = kSqiWarmupIntervals; k < intervals.size(); ++k)
    sqi.push_back(static_cast<double>(intervals[k].record[EpochResult::SqiTime]));
  set(Figure::SqiTimeMean, Mean(sqi));
  return s;
}

const char* FigureName(Figure f) {
  return kFigures[static_cast<std::size_t>(f)].name;
}
const char* FigureLabel(Figure f) {
  return kFigures[static_cast<std::size_t>(f)].label;
}

std::string FormatFigure(Figure f, std::optional<double> value) {
  if (!value) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", kFigures[static_cast<std::size_t>(f)].decimals, *value);
  // No "-0.0" for a value that rounds to zero.
  if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) return text + 1;
  return text;
}

}  // namespace qs
