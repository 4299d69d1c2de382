#include "display/DsaGraph.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace qs {
namespace {

constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr Rgb kAxis = MakeRgb(255, 255, 0);  // the yellow of the other graphs' frames
constexpr Rgb kSef = MakeRgb(255, 255, 255);
constexpr Rgb kRejected = MakeRgb(72, 72, 72);
constexpr Rgb kRejectedTick = MakeRgb(255, 40, 40);
constexpr Rgb kMarker = MakeRgb(255, 0, 255);
constexpr int kFontPoints = 8;
constexpr int kMaxRows = 4096;

// The viridis colour map as a sixth-degree polynomial per channel (a close
// fit of the published table), sampled once into 256 entries.
std::array<Rgb, 256> MakeViridis() {
  static constexpr double c[7][3] = {
      {0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
      {0.1050930431085774, 1.404613529898575, 1.384590162594685},
      {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
      {-4.634230498983486, -5.799100973351585, -19.33244095627987},
      {6.228269936347081, 14.17993336680509, 56.69055260068105},
      {4.776384997670288, -13.74514537774601, -65.35303263337234},
      {-5.435455855934631, 4.645852612178535, 26.3124352495832},
  };
  std::array<Rgb, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const double t = i / 255.0;
    int rgb[3];
    for (int ch = 0; ch < 3; ++ch) {
      double v = c[6][ch];
      for (int d = 5; d >= 0; --d) v = c[d][ch] + t * v;
      rgb[ch] = static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    }
    table[static_cast<std::size_t>(i)] = MakeRgb(rgb[0], rgb[1], rgb[2]);
  }
  return table;
}

const std::array<Rgb, 256>& Viridis() {
  static const std::array<Rgb, 256> table = MakeViridis();
  return table;
}

int BinsUpTo(double maxHz) {
  const int bins = static_cast<int>(std::lround(std::clamp(maxHz, 1.0, kDsaMaxHz) / kDsaBinHz));
  return std::clamp(bins, 1, kDsaBins);
}

void Label(Canvas& canvas, int x, int y, const char* text) { canvas.TextOut(x, y, text); }

// Tick spacing of the time axis for a span: about six labels.
int TickSeconds(std::int64_t span) {
  static constexpr int kSteps[] = {60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600};
  for (int step : kSteps)
    if (span / step <= 6) return step;
  return 43200;
}

}  // namespace

DsaArea DsaPlotArea(int width, int height) {
  return DsaArea{40, 12, std::max(41, width - 58), std::max(13, height - 18)};
}

double PowerDb(float power) {
  if (!(power > 0.0f)) return kDsaFloorDb;
  return std::max(kDsaFloorDb, 10.0 * std::log10(static_cast<double>(power)));
}

Rgb DsaColour(double db, const DsaRange& range) {
  const double span = range.highDb - range.lowDb;
  const double t = span > 0.0 ? (db - range.lowDb) / span : 0.5;
  const double index = std::clamp(t, 0.0, 1.0) * 255.0 + 0.5;
  return Viridis()[static_cast<std::size_t>(index)];
}

DsaRange DsaAutoRange(const SpectrumHistory& history, double maxHz) {
  // 0.1 dB classes from -100 to +100 dB.
  constexpr int kClasses = 2001;
  std::array<std::uint32_t, kClasses> counts{};
  const int bins = BinsUpTo(maxHz);
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < history.Size(); ++i) {
    const SpectrumColumn& c = history.Column(i);
    if (c.rejected != 0) continue;
    for (int k = 0; k < bins; ++k) {
      if (!(c.power[k] > 0.0f)) continue;
      const double db = std::clamp(PowerDb(c.power[k]), -100.0, 100.0);
      ++counts[static_cast<std::size_t>(std::lround((db + 100.0) * 10.0))];
      ++total;
    }
  }
  if (total == 0) return DsaRange{};
  const auto percentile = [&](double share) {
    const auto wanted = static_cast<std::uint64_t>(share * static_cast<double>(total));
    std::uint64_t seen = 0;
    for (int i = 0; i < kClasses; ++i) {
      seen += counts[static_cast<std::size_t>(i)];
      if (seen > wanted) return i / 10.0 - 100.0;
    }
    return 100.0;
  };
  DsaRange range{std::floor(percentile(0.02)), std::ceil(percentile(0.98))};
  if (range.highDb - range.lowDb < 6.0) range.highDb = range.lowDb + 6.0;
  return range;
}

DsaRange DrawDsa(Canvas& canvas, const SpectrumHistory& history, const DsaView& view) {
  const int width = canvas.Image().width();
  const int height = canvas.Image().height();
  const DsaArea a = DsaPlotArea(width, height);
  const int plotWidth = a.right - a.left;
  const int rows = std::min(a.bottom - a.top, kMaxRows);
  const double maxHz = std::clamp(view.maxHz, 1.0, kDsaMaxHz);
  const int bins = BinsUpTo(maxHz);
  const DsaRange range = view.autoRange ? DsaAutoRange(history, maxHz) : view.range;
  const auto held = static_cast<std::int64_t>(history.Size());
  const std::int64_t columns = view.columns > 0 ? view.columns : std::max<std::int64_t>({held, view.minColumns, 1});
  std::int64_t start = view.startSeconds;
  if (start < 0) start = held > 0 ? static_cast<std::int64_t>(history.Column(0).time) - 10 + view.firstColumn * 10 : 0;

  canvas.SetBrush(kBlack);
  canvas.FillAll();

  // The bin of each pixel row, bottom up: the row's centre frequency.
  std::array<int, kMaxRows> rowBin{};
  for (int r = 0; r < rows; ++r) {
    const double hz = (r + 0.5) * maxHz / rows;
    rowBin[static_cast<std::size_t>(r)] = std::clamp(static_cast<int>(std::lround(hz / kDsaBinHz)), 1, bins) - 1;
  }

  std::array<float, kDsaBins> sum{};
  int previousSefY = -1;
  for (int x = 0; x < plotWidth; ++x) {
    std::int64_t c0 = view.firstColumn + x * columns / plotWidth;
    std::int64_t c1 = view.firstColumn + (x + 1) * columns / plotWidth;
    if (c1 <= c0) c1 = c0 + 1;
    c0 = std::max<std::int64_t>(c0, 0);
    c1 = std::min(c1, held);
    if (c0 >= c1) {
      previousSefY = -1;
      continue;
    }
    sum.fill(0.0f);
    int used = 0, sefCount = 0;
    double sefSum = 0.0;
    for (std::int64_t i = c0; i < c1; ++i) {
      const SpectrumColumn& c = history.Column(static_cast<std::size_t>(i));
      if (c.sef != kNotAvailable) sefSum += c.sef, ++sefCount;
      if (c.rejected != 0) continue;
      for (int k = 0; k < bins; ++k) sum[static_cast<std::size_t>(k)] += c.power[k];
      ++used;
    }
    const int px = a.left + x;
    if (used == 0) {
      canvas.SetBrush(kRejected);
      canvas.FillRect(px, a.top, px + 1, a.bottom);
      canvas.SetPixel(px, a.top - 4, kRejectedTick);
      canvas.SetPixel(px, a.top - 3, kRejectedTick);
    } else {
      std::array<Rgb, kDsaBins> colour{};
      for (int k = 0; k < bins; ++k)
        colour[static_cast<std::size_t>(k)] = DsaColour(PowerDb(sum[static_cast<std::size_t>(k)] / static_cast<float>(used)), range);
      for (int r = 0; r < rows; ++r) canvas.SetPixel(px, a.bottom - 1 - r, colour[static_cast<std::size_t>(rowBin[static_cast<std::size_t>(r)])]);
    }
    if (sefCount > 0) {
      const double sef = sefSum / sefCount;
      const int y = a.bottom - 1 - std::clamp(static_cast<int>(sef / maxHz * rows), 0, rows - 1);
      canvas.SetPen(kSef);
      if (previousSefY >= 0) {
        canvas.Line(px - 1, previousSefY, px, y);
      }
      canvas.SetPixel(px, y, kSef);
      previousSefY = y;
    } else {
      previousSefY = -1;
    }
  }

  // Comment markers: a dotted line and a notch above the plot.
  const double secondsPerPixel = static_cast<double>(columns) * 10.0 / plotWidth;
  canvas.SetPen(kMarker, 1, PenStyle::Dotted);
  for (int m = 0; m < view.markerCount && view.markers != nullptr; ++m) {
    const std::int64_t offset = ((static_cast<std::int64_t>(view.markers[m]) - start) % 86400 + 86400) % 86400;
    if (offset >= columns * 10) continue;
    const int x = a.left + static_cast<int>(static_cast<double>(offset) / secondsPerPixel);
    canvas.Line(x, a.top, x, a.bottom);
    canvas.SetBrush(kMarker);
    canvas.FillRect(x - 2, a.top - 10, x + 3, a.top - 6);
  }

  // Axes: frequency on the left, time of day below.
  canvas.SetPen(kAxis);
  canvas.SetFont(kFontPoints, kAxis);
  canvas.ClearBrush();
  canvas.Line(a.left - 1, a.top, a.left - 1, a.bottom + 1);
  canvas.Line(a.left - 1, a.bottom, a.right, a.bottom);
  const int hzStep = maxHz > 30.0 ? 10 : 5;
  for (int hz = 0; hz <= static_cast<int>(maxHz); hz += hzStep) {
    const int y = a.bottom - static_cast<int>(hz / maxHz * rows);
    canvas.Line(a.left - 4, y, a.left - 1, y);
    char text[12];
    std::snprintf(text, sizeof text, "%2d", hz);
    Label(canvas, a.left - 20, y - FontPixels(kFontPoints) / 2, text);
  }
  Label(canvas, 2, a.top - 2, "Hz");
  const std::int64_t span = columns * 10;
  const int tick = TickSeconds(span);
  for (std::int64_t t = (start + tick - 1) / tick * tick; t <= start + span; t += tick) {
    const int x = a.left + static_cast<int>(static_cast<double>(t - start) / secondsPerPixel);
    canvas.Line(x, a.bottom, x, a.bottom + 3);
    char text[12];
    const std::int64_t day = t % 86400;
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(day / 3600), static_cast<int>(day % 3600 / 60));
    Label(canvas, x - 12, a.bottom + 3, text);
  }

  // The colour bar with its range in dB.
  const int barLeft = a.right + 8;
  for (int r = 0; r < rows; ++r) {
    const Rgb colour = DsaColour(range.lowDb + (range.highDb - range.lowDb) * (r + 0.5) / rows, range);
    canvas.SetBrush(colour);
    canvas.FillRect(barLeft, a.bottom - 1 - r, barLeft + 10, a.bottom - r);
  }
  canvas.ClearBrush();
  const auto dbLabel = [&](double db, int y) {
    char text[16];
    std::snprintf(text, sizeof text, "%+.0f", db);
    Label(canvas, barLeft + 13, y, text);
  };
  dbLabel(range.highDb, a.top - 2);
  dbLabel((range.lowDb + range.highDb) / 2.0, (a.top + a.bottom) / 2 - FontPixels(kFontPoints) / 2);
  dbLabel(range.lowDb, a.bottom - FontPixels(kFontPoints));
  Label(canvas, barLeft + 13, a.bottom + 3, "dB");
  return range;
}

}  // namespace qs
