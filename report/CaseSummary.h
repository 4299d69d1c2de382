#pragma once
// The figures of one case, computed from one replay's interval records: what
// the batch's summary table holds per case and the report prints. README
// ("Case summary figures") defines each figure; in short:
//
//  * Every complete 10-s interval record of the replay counts (`intervals`).
//  * An interval is artifact-rejected when at least half of its 20 epoch
//    blocks (kRejectedBlocks) carry artifact flags. The program's own indices
//    (SEF, BSR, RBR, BispR, amplitude) leave such intervals out; the monitor's
//    BIS is the monitor's own judgement and counts in every interval.
//  * A value that is not available (-1024, below -1000 as the program tests
//    it) leaves its interval out of that figure only.
//  * With Use_BIS_BSR / Use_BIS_SEF the records' BSR / SEF are the monitor's
//    and, like its BIS, count in every interval.
//  * A figure with no interval left is itself not available (nullopt).
//  * Medians and quartiles interpolate linearly between the sorted values
//    (position p x (n - 1)); the IQR is Q3 - Q1.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/EpochResult.h"
#include "exchange/EdfExport.h"

namespace qs {

inline constexpr int kIntervalBlocks = 20;
inline constexpr int kRejectedBlocks = 10;
// SqiTime's window is 60 s: the first five records see a partly empty one.
inline constexpr int kSqiWarmupIntervals = 5;
inline constexpr int kDecimatedRate = 64;  // the half-wave detector's samples per second

struct CaseInterval {
  EpochResult record;
  std::uint32_t time = 0;     // the interval's time as the replay gives it (seconds)
  std::uint32_t elapsed = 0;  // seconds from the case's start to the interval's end
  int flaggedBlocks = 0;      // epoch blocks with artifact flags, of 20
  bool Rejected() const { return flaggedBlocks >= kRejectedBlocks; }
};

struct CaseTotals {
  double seconds = 0;                  // the case's replayed seconds
  std::int64_t suppressedSamples = 0;  // the half-wave detector's, 64 per second
  int longestSuppressed = 0;           // decimated samples of the longest stretch
  bool bsrInPercent = false;           // SR_PCT: the records' Bsr is in percent, else a fraction
  bool bsrFromMonitor = false;         // Use_BIS_BSR: the records' Bsr is the monitor's
  bool sefFromMonitor = false;         // Use_BIS_SEF: the records' Sef is the monitor's
};

// The figures in table order; their names are the summary.csv column names.
enum class Figure {
  DurationS,
  Intervals,
  BisMedian,
  Bis40To60Pct,
  SefMedian,
  SefIqr,
  BsrMean,
  SuppressionS,
  LongestSuppressionS,
  RbrMedian,
  BisprMedian,
  AmplitudeMedian,
  ArtifactPct,
  SqiTimeMean,
};
inline constexpr std::size_t kFigureCount = 14;

struct CaseSummary {
  std::array<std::optional<double>, kFigureCount> value{};
  std::optional<double> operator[](Figure f) const { return value[static_cast<std::size_t>(f)]; }
};

// What the report's header says about the case.
struct CaseFacts {
  std::string fileName;  // the input's name, without folders
  CalendarDate date;
  std::uint32_t startSecond = 0;  // time of day of the first second
  int seconds = 0;
  int rateHz = 128;
  int channels = 2;
  int channel = 1;                         // the analysed one, from 1
  bool converted = false;                  // an EDF/BDF or Vital file converted for the replay
  int vitalParts = 0;                      // a Vital file's parts (the first is analysed); 0: not Vital
  std::vector<std::string> settingsLines;  // the settings that change the results
};

// The seconds from the case's start to a time of day, across midnight.
inline std::uint32_t SecondsIntoCase(std::uint32_t startSecond, int secondOfDay) {
  return static_cast<std::uint32_t>((secondOfDay - static_cast<int>(startSecond % 86400) + 86400) % 86400);
}

CaseSummary SummarizeCase(const std::vector<CaseInterval>& intervals, const CaseTotals& totals);

const char* FigureName(Figure f);   // "duration_s", ...
const char* FigureLabel(Figure f);  // the report's row caption, with the unit
// The figure as both the table and the report write it: fixed decimals per
// figure, "" when not available.
std::string FormatFigure(Figure f, std::optional<double> value);

// Linear interpolation between order statistics at p in [0, 1]; sorts values.
double Quantile(std::vector<double>& values, double p);

}  // namespace qs
