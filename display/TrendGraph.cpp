#include "display/TrendGraph.h"

#include <cstdio>

#include "display/SqiGraph.h"

namespace qs {
namespace {

constexpr Rgb kWhite = MakeRgb(255, 255, 255);
constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr Rgb kCyan = MakeRgb(0, 255, 255);
constexpr Rgb kYellow = MakeRgb(255, 255, 0);
constexpr Rgb kRed = MakeRgb(255, 0, 0);
constexpr Rgb kGreen = MakeRgb(0, 255, 0);
constexpr Rgb kMagenta = MakeRgb(255, 0, 255);
constexpr Rgb kGrid = MakeRgb(96, 96, 96);

struct SeriesInfo {
  std::size_t field;
  Rgb colour;
};
constexpr SeriesInfo kSeries[TrendGraph::kSeriesCount] = {
    {EpochResult::Bis, kMagenta},        {EpochResult::Sef, kCyan},
    {EpochResult::Bsr, kRed},            {EpochResult::Rbr, kGreen},
    {EpochResult::Amp, kYellow},         {EpochResult::PbicLow, MakeRgb(1, 175, 199)},
    {EpochResult::PbicHigh, MakeRgb(199, 181, 1)},
};
static_assert(MakeRgb(1, 175, 199) == MakeRgb(1, 1 + 6 * 29, 199), "ColourScale entry 30");

// truncate(x + 0.5), bounded so that a wild value cannot overflow the int.
int RoundHalfUp(double x) {
  const double r = x + 0.5;
  if (!(r > -100000.0)) return -100000;
  return r >= 100000.0 ? 100000 : static_cast<int>(r);
}

void Texts(Canvas& canvas, Rgb colour, int x, std::initializer_list<std::pair<int, const char*>> texts) {
  canvas.SetFontColour(colour);
  for (const auto& [y, text] : texts) canvas.TextOut(x, y, text);
}

void Ticks(Canvas& canvas, int x0, int x1, std::initializer_list<int> ys) {
  for (int y : ys) canvas.Line(x0, y, x1, y);
}

void Grid(Canvas& canvas, std::initializer_list<int> ys) {
  canvas.SetPen(kGrid, 1, PenStyle::Dotted);
  for (int y : ys) canvas.Line(31, y, 390, y);
  canvas.SetPen(kWhite);
}

}  // namespace

int TrendGraph::SeriesY(Series series, float value, const TrendSettings& settings) {
  const double v = value;
  if (series == PbicLow || series == PbicHigh) {
    if (value == 0.0f) return -1;
  } else if (!(v >= -1000.0)) {
    return -1;
  }
  switch (series) {
    case Sef:
      return 80 - RoundHalfUp(2.0 * v);
    case Amp:
      return 80 - RoundHalfUp(settings.child ? v : 2.0 * v);
    case Bsr:
      return 130 - RoundHalfUp(settings.srPct ? 0.4 * v : 40.0 * v);
    case Rbr:
      return 170 - RoundHalfUp(40.0 * v);
    case Bis:
      return 270 - RoundHalfUp(v);
    default:
      return 355 - RoundHalfUp(v);
  }
}

int TrendGraph::StripIndex(float v, int figType) {
  if (figType == 3) {
    const int index = RoundHalfUp(2.0 * static_cast<double>(v));
    return index > 100 ? 100 : index;
  }
  return RoundHalfUp(v);
}

void TrendGraph::DrawFrame(Canvas& canvas, const TrendSettings& settings) {
  canvas.SetPen(kWhite);
  canvas.SetBrush(kBlack);
  canvas.FillAll();
  canvas.ClearBrush();
  canvas.SetFont(10, kWhite);

  Texts(canvas, kCyan, 1, {{1, "SEF"}});
  Texts(canvas, kCyan, 5, {{15, "30"}, {35, "20"}, {55, "10"}, {75, " 0"}});
  Texts(canvas, kYellow, 394, {{1, "Amp"}});
  if (settings.child)
    Texts(canvas, kYellow, 398, {{15, "60"}, {35, "40"}, {55, "20"}, {75, " 0"}});
  else
    Texts(canvas, kYellow, 398, {{15, "30"}, {35, "20"}, {55, "10"}, {75, " 0"}});
  Texts(canvas, kRed, 1, {{91, "BSR"}});
  if (settings.srPct)
    Texts(canvas, kRed, 5, {{105, "50"}, {125, " 0"}});
  else
    Texts(canvas, kRed, 5, {{105, "0.5"}, {125, "0.0"}});
  Texts(canvas, kGreen, 1, {{141, "RBR"}});
  Texts(canvas, kGreen, 5, {{165, " 0"}, {205, "-1"}, {245, "-2"}});
  Texts(canvas, kMagenta, 398, {{150, "BIS"}});
  Texts(canvas, kMagenta, 396, {{165, "100"}});
  Texts(canvas, kMagenta, 400, {{185, "80"}, {205, "60"}, {225, "40"}, {245, "20"}, {265, " 0"}});
  Texts(canvas, kWhite, 1, {{377, "aBIC"}, {277, "pBIC"}});
  Texts(canvas, kWhite, 5, {{392, "15"}, {412, "10"}, {432, " 5"}, {452, " 0"}});
  Texts(canvas, kWhite, 5, {{292, "60"}, {312, "40"}, {332, "20"}, {352, " 0"}});

  canvas.SetPen(kWhite);
  // Band 1: SEF and amplitude.
  canvas.Line(30, 18, 30, 80);
  canvas.Line(30, 80, 390, 80);
  canvas.Line(390, 80, 390, 18);
  Ticks(canvas, 28, 30, {80, 60, 40, 20});
  Ticks(canvas, 390, 392, {80, 60, 40, 20});
  Grid(canvas, {60, 40, 20});
  // Band 2: burst suppression.
  canvas.Line(30, 90, 30, 130);
  canvas.Line(30, 130, 390, 130);
  Ticks(canvas, 28, 30, {130, 110, 90});
  Grid(canvas, {110, 90});
  // Band 3: beta ratio (zero line at 170) and BIS.
  canvas.Line(30, 150, 30, 273);
  canvas.Line(30, 170, 390, 170);
  canvas.Line(390, 163, 390, 273);
  Ticks(canvas, 28, 30, {270, 250, 230, 210, 190, 170, 150});
  Ticks(canvas, 390, 392, {270, 250, 230, 210, 190, 170});
  Grid(canvas, {270, 250, 230, 210, 190});
  // Band 4: pBIC.
  canvas.Line(30, 285, 30, 355);
  canvas.Line(30, 355, 390, 355);
  Ticks(canvas, 28, 30, {355, 335, 315, 295});
  Grid(canvas, {335, 315, 295});
  // Band 5: the aBIC strip.
  canvas.Line(30, 385, 30, 455);
  canvas.Line(30, 455, 390, 455);
  Ticks(canvas, 28, 30, {455, 435, 415, 395});
  Grid(canvas, {435, 415, 395});
  // Hours and ten minutes under bands 4 and 5.
  for (int h = 0; h <= 2; ++h) {
    canvas.Line(30 + 180 * h, 355, 30 + 180 * h, 360);
    canvas.Line(30 + 180 * h, 455, 30 + 180 * h, 460);
  }
  for (int x : {60, 90, 120, 150, 180, 240, 270, 300, 330, 360}) {
    canvas.Line(x, 356, x, 359);
    canvas.Line(x, 456, x, 459);
  }
}

void TrendGraph::DrawFrames(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings) {
  {
    BitmapHold hold(trend);
    Canvas canvas(trend.image);
    DrawFrame(canvas, settings);
  }
  {
    BitmapHold hold(sqi);
    Canvas canvas(sqi.image);
    SqiGraph::DrawFrame(canvas);
  }
}

void TrendGraph::Forget() {
  trendX_ = -1;
  for (Previous& p : previous_) p.column = -1;
}

void TrendGraph::Reset(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings) {
  DrawFrames(trend, sqi, settings);
  Forget();
  firstHour_ = latestHour_ = -1;
}

void TrendGraph::DrawHourLabels(Bitmap& trend) {
  BitmapHold hold(trend);
  Canvas canvas(trend.image);
  canvas.SetFont(10, kWhite);
  canvas.ClearBrush();
  for (int h = 0; h <= 2; ++h) {
    char label[16];
    std::snprintf(label, sizeof label, "%02d:00", (firstHour_ + h) % 24);
    canvas.TextOut(15 + 180 * h, 362, label);
    canvas.TextOut(15 + 180 * h, 462, label);
  }
}

void TrendGraph::DrawColumnPoint(Canvas& canvas, Series series, int y) {
  if (y == -1) return;
  Previous& p = previous_[series];
  const Rgb colour = kSeries[series].colour;
  if (p.column == -1) {
    canvas.SetPixel(30 + trendX_, y, colour);
  } else {
    canvas.SetPen(colour);
    canvas.Line(30 + p.column, p.y, 30 + trendX_, y);
  }
  p = {trendX_, y};
}

void TrendGraph::DrawStripColumn(Canvas& canvas, int x, const EpochResult& record, int figType) {
  for (int b = 0; b < static_cast<int>(EpochResult::kDiagBicCount); ++b) {
    const Rgb colour = ScaleColour(StripIndex(record[EpochResult::DiagBic + static_cast<std::size_t>(b)], figType));
    canvas.SetPixel(x, 447 - 2 * b, colour);
    canvas.SetPixel(x, 446 - 2 * b, colour);
  }
}

bool TrendGraph::AddRecord(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                           const EpochResult& snapshot, std::int32_t n) {
  const int S = settings.startHour;
  if (firstHour_ == -1) firstHour_ = latestHour_ = S;
  if (trendX_ == -1) {
    DrawHourLabels(trend);
    trendX_ = (settings.startSlot + n) / 2 - 180 * (firstHour_ - S);
  }
  // An older hour is on view: the newest data wait until the user comes back.
  if (S + 1 < latestHour_ && latestHour_ - 1 > firstHour_) return false;
  trendX_ += 1;
  if (trendX_ >= 360) {
    trendX_ -= 180;
    firstHour_ += 1;
    Redraw(trend, sqi, settings, store, n);
  }
  latestHour_ = (n + settings.startSlot) / 360 + S;

  std::array<int, kSeriesCount> y{};
  for (int s = 0; s < kSeriesCount; ++s)
    y[static_cast<std::size_t>(s)] = SeriesY(static_cast<Series>(s), snapshot[kSeries[s].field], settings);
  if (settings.mbicFilter) y[PbicHigh] = -1;

  BitmapHold hold(trend);
  Canvas canvas(trend.image);
  for (Series s : {Bis, Sef, Bsr, Rbr, Amp}) DrawColumnPoint(canvas, s, y[s]);
  if (n >= 0 && static_cast<std::size_t>(n) < store.capacity)
    DrawStripColumn(canvas, 30 + trendX_, store.records[static_cast<std::size_t>(n)], settings.figType);
  DrawColumnPoint(canvas, PbicLow, y[PbicLow]);
  DrawColumnPoint(canvas, PbicHigh, y[PbicHigh]);
  return true;
}

void TrendGraph::RedrawSeries(Canvas& canvas, Series series, const TrendSettings& settings,
                              const TrendStore& store, std::int32_t k0, std::int32_t last) {
  int count = 0;
  for (int c = 0; c < 360; ++c) {
    const std::int32_t k = k0 + 2 * c;
    if (k < 0) continue;
    if (k > last) break;
    const int y = SeriesY(series, store.records[static_cast<std::size_t>(k)][kSeries[series].field], settings);
    if (y == -1) continue;
    points_[static_cast<std::size_t>(count++)] = {30 + c, y};
    previous_[series] = {c, y};
  }
  if (count >= 2) {
    canvas.SetPen(kSeries[series].colour);
    canvas.Polyline(points_.data(), count);
  }
}

void TrendGraph::Redraw(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                        std::int32_t last) {
  DrawFrames(trend, sqi, settings);
  Forget();
  DrawHourLabels(trend);
  // Records beyond the store (a snapshot index from before a wrap) are not read.
  if (store.records == nullptr || store.capacity == 0) return;
  if (static_cast<std::size_t>(last) >= store.capacity) last = static_cast<std::int32_t>(store.capacity) - 1;
  const std::int32_t k0 = (firstHour_ - settings.startHour) * 360 - settings.startSlot;
  {
    BitmapHold hold(trend);
    Canvas canvas(trend.image);
    for (Series s : {Bis, Sef, Bsr, Rbr, Amp}) RedrawSeries(canvas, s, settings, store, k0, last);
    for (int c = 0; c < 360; ++c) {
      const std::int32_t k = k0 + 2 * c;
      if (k < 0 || k > last) continue;
      DrawStripColumn(canvas, 30 + c, store.records[static_cast<std::size_t>(k)], settings.figType);
    }
    RedrawSeries(canvas, PbicLow, settings, store, k0, last);
    RedrawSeries(canvas, PbicHigh, settings, store, k0, last);
  }
  trendX_ = (settings.startSlot + last) / 2 - 180 * (firstHour_ - settings.startHour);
}

bool TrendGraph::NextHour(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                          std::int32_t last) {
  if (!(latestHour_ > settings.startHour && firstHour_ < latestHour_ - 1)) return false;
  firstHour_ += 1;
  Redraw(trend, sqi, settings, store, last);
  return true;
}

bool TrendGraph::PrevHour(Bitmap& trend, Bitmap& sqi, const TrendSettings& settings, const TrendStore& store,
                          std::int32_t last) {
  if (!(firstHour_ > settings.startHour)) return false;
  firstHour_ -= 1;
  Redraw(trend, sqi, settings, store, last);
  return true;
}

}  // namespace qs
