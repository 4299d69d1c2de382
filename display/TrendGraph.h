#pragma once
// The trend graph (420 x 488): five bands over a two-hour window of clock
// time, one pixel column per two 10-s records (180 columns an hour), column c
// at x = 30 + c. Band 1: SEF and amplitude; band 2: burst suppression; band 3:
// relative beta ratio and BIS; band 4: pBIC low and high; band 5: the aBIC
// colour strip of the diagonal bicoherence profile.
//
// The window follows the newest record and moves on by one hour when it is
// full, redrawn from the stored records; "<" and ">" page through older hours,
// and while an older hour is shown new columns are not drawn. Hours count on
// the run's clock without wrapping (24, 25, ... after midnight); only the
// labels wrap.
#include <array>
#include <cstdint>

#include "display/Bitmap.h"
#include "display/Canvas.h"
#include "core/EpochResult.h"
#include "core/TrendStore.h"

namespace qs {

struct TrendSettings {
  bool child = false;       // amplitude scale to 60 uV
  bool srPct = false;       // burst suppression in percent
  bool mbicFilter = false;  // pBIC high is not drawn live
  int figType = 1;          // mBIC strips are scaled twice
  int startHour = 0;        // TrendStartHour
  int startSlot = 0;        // TrendStartSlot
};

class TrendGraph {
 public:
  static constexpr int kWidth = 420;
  static constexpr int kHeight = 488;

  enum Series { Bis, Sef, Bsr, Rbr, Amp, PbicLow, PbicHigh, kSeriesCount };

  // y of a series' value, or -1 when the value is missing.
  static int SeriesY(Series series, float v, const TrendSettings& settings);
  // The colour strip's table index of a profile value.
  static int StripIndex(float v, int figType);

  // Run start: the trend and SQI frames, no points, no window yet.
  void Reset(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings);
  // One new record (the snapshot with its store index n). True when a column
  // was drawn: the caller then shows the trend and draws the SQI bars. False
  // while the window shows an older hour.
  bool AddRecord(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                 const EpochResult& snapshot, std::int32_t n);
  // Paging; true when the window moved and was redrawn (the caller shows it).
  // last: the newest record available (the snapshot index).
  bool NextHour(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                std::int32_t last);
  bool PrevHour(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                std::int32_t last);

  std::int32_t FirstHour() const { return firstHour_; }
  std::int32_t LatestHour() const { return latestHour_; }
  std::int32_t Column() const { return trendX_; }

 private:
  struct Previous {
    int column = -1;
    int y = 0;
  };
  static void DrawFrame(Canvas& canvas, const TrendSettings& settings);
  // The trend frame and the SQI frame, each under its own bitmap's lock.
  static void DrawFrames(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings);
  void Forget();
  void DrawHourLabels(Bitmap& trend);
  void Redraw(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
              std::int32_t last);
  void RedrawSeries(Canvas& canvas, Series series, const TrendSettings& settings, const TrendStore& store,
                    std::int32_t k0, std::int32_t last);
  void DrawColumnPoint(Canvas& canvas, Series series, int y);
  static void DrawStripColumn(Canvas& canvas, int x, const EpochResult& record, int figType);

  std::int32_t firstHour_ = -1;
  std::int32_t latestHour_ = -1;
  std::int32_t trendX_ = -1;
  std::array<Previous, kSeriesCount> previous_{};
  std::array<Point, 361> points_{};
};

}  // namespace qs
