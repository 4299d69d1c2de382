#include "report/CaseReport.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "display/DsaGraph.h"

namespace qs {
namespace {

constexpr double kPageW = 297.0, kPageH = 210.0;  // mm, A4 landscape
constexpr double kMargin = 10.0;
constexpr double kGraphLeft = 36.0, kGraphRight = 212.0;
constexpr double kTableLeft = 220.0;
constexpr double kGraphTop = 38.0, kAxisY = 196.0;

// Millimetres to the device's dots.
struct Mm {
  double k;
  double operator()(double mm) const { return mm * k; }
  QPointF P(double x, double y) const { return {x * k, y * k}; }
  QRectF R(double x, double y, double w, double h) const { return {x * k, y * k, w * k, h * k}; }
};

struct Series {
  EpochResult::Field field;
  QColor colour;
  const char* name;
};

struct Panel {
  const char* title;
  std::vector<Series> series;
  double low, high;  // fixed range; low == high: from the data
  double weight;     // share of the graph height
  bool ownIndex;     // artifact-rejected intervals are not drawn
};

bool Available(float v) {
  return !(v < -1000.0f);
}

void SetFont(QPainter& p, double points, bool bold = false) {
  QFont f("Liberation Sans");
  f.setStyleHint(QFont::SansSerif);
  f.setPointSizeF(points);
  f.setBold(bold);
  p.setFont(f);
}

void Text(QPainter& p, const Mm& mm, double x, double y, const QString& text) {
  p.drawText(mm.P(x, y), text);
}

// The time-axis step: the smallest "nice" step giving at most ~9 ticks.
int TickStep(double span) {
  static constexpr int kSteps[] = {60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600};
  for (int s : kSteps)
    if (span / s <= 9) return s;
  return 43200;
}

// Data range of a panel without a fixed one, padded, never empty.
std::pair<double, double> Range(const Panel& panel, const std::vector<CaseInterval>& intervals,
                                double scale) {
  if (panel.low != panel.high) return {panel.low, panel.high};
  double lo = 1e300, hi = -1e300;
  for (const CaseInterval& i : intervals) {
    if (panel.ownIndex && i.Rejected()) continue;
    for (const Series& s : panel.series) {
      const float v = i.record[s.field];
      if (!Available(v)) continue;
      lo = std::min(lo, v * scale);
      hi = std::max(hi, v * scale);
    }
  }
  if (lo > hi) return {0.0, 1.0};
  if (hi - lo < 1e-6) {
    lo -= 0.5;
    hi += 0.5;
  }
  const double pad = (hi - lo) * 0.08;
  return {lo - pad, hi + pad};
}

std::string Number(double v) {
  char text[32];
  const double a = std::fabs(v);
  if (a < 0.005) return "0";
  std::snprintf(text, sizeof text, a >= 10 ? "%.0f" : a >= 1 ? "%.1f" : "%.2f", v);
  return text;
}

// The spectrogram (DSA) of the case: its panel is kept on the page, in the
// shared time axis, until it is drawn from the per-interval spectrum history
// (t0..t1 of the page across the panel, 0..30 Hz upwards).
// The density spectral array over the page's stretch of the case: one
// column per interval (its averaged spectrum, 0-30 Hz, in dB on the
// spectrogram window's colour map and automatic range), drawn as one picture
// scaled into the panel, with the SEF as a white line over it. Intervals
// without a column stay light grey.
void DrawSpectrogramPanel(QPainter& p, const Mm& mm, double x, double y, double w, double h,
                          const SpectrumHistory* spectra, std::uint32_t startSecond, double t0, double t1) {
  constexpr double kMaxHz = 30.0;
  constexpr int kBins = 60;  // 0.5 Hz bins up to 30 Hz
  p.setPen(Qt::black);
  SetFont(p, 6.5);
  Text(p, mm, kMargin, y + 2.6, "DSA (Hz)");
  SetFont(p, 5.5);
  for (const int hz : {0, 10, 20, 30})
    Text(p, mm, x - 4.2, y + h - h * hz / kMaxHz + (hz == 30 ? 2.0 : 0.0), QString::number(hz));
  if (spectra == nullptr || spectra->Size() == 0 || !(t1 > t0)) {
    p.setPen(QPen(QColor(120, 120, 120), mm(0.15), Qt::DashLine));
    p.drawRect(mm.R(x, y, w, h));
    p.setPen(QColor(110, 110, 110));
    Text(p, mm, x + 3, y + h / 2, "no spectra");
    return;
  }
  const DsaRange range = DsaAutoRange(*spectra, kMaxHz);
  const int columns = std::max(1, static_cast<int>(std::ceil((t1 - t0) / 10.0)));
  QImage image(columns, kBins, QImage::Format_RGB32);
  image.fill(QColor(235, 235, 235));
  QPainterPath sef;
  bool open = false;
  const auto X = [&](double t) { return x + (t - t0) / (t1 - t0) * w; };
  for (std::size_t c = 0; c < spectra->Size(); ++c) {
    const SpectrumColumn& column = spectra->Column(c);
    const double end = SecondsIntoCase(startSecond, static_cast<int>(column.time % 86400));
    if (end <= t0 || end - 10.0 >= t1) continue;
    const int at = std::clamp(static_cast<int>(std::floor((end - 10.0 - t0) / 10.0)), 0, columns - 1);
    for (int b = 0; b < kBins; ++b)
      image.setPixel(at, kBins - 1 - b, column.rejected ? qRgb(200, 200, 200)
                                                        : 0xFF000000u | DsaColour(PowerDb(column.power[b]), range));
    if (column.rejected || !(column.sef >= 0.0f) || column.sef > kMaxHz) {
      open = false;
      continue;
    }
    const QPointF point = mm.P(X(end - 5.0), y + h - h * column.sef / kMaxHz);
    if (open)
      sef.lineTo(point);
    else
      sef.moveTo(point);
    open = true;
  }
  p.drawImage(mm.R(x, y, w, h), image);
  p.setPen(QPen(Qt::white, mm(0.25)));
  p.drawPath(sef);
  p.setPen(QPen(QColor(120, 120, 120), mm(0.15)));
  p.setBrush(Qt::NoBrush);
  p.drawRect(mm.R(x, y, w, h));
  p.setPen(Qt::black);
  SetFont(p, 5.5);
  Text(p, mm, kMargin, y + 6.0, QString::asprintf("%.0f to %.0f dB", range.lowDb, range.highDb));
  Text(p, mm, kMargin, y + 9.0, QStringLiteral("SEF: white line"));
}

}  // namespace

std::string ClockText(std::uint32_t startSecond, double elapsed, bool withSeconds) {
  const long t = (static_cast<long>(startSecond) + static_cast<long>(std::floor(elapsed))) % 86400;
  char text[16];
  if (withSeconds)
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
  else
    std::snprintf(text, sizeof text, "%02ld:%02ld", t / 3600, t / 60 % 60);
  return text;
}

int CaseReportPages(const CaseFacts& facts) {
  return facts.seconds > kOnePageSeconds ? 2 : 1;
}

void DrawCaseReportPage(QPainter& p, double dotsPerMm, int page, const CaseReportInput& in) {
  const Mm mm{dotsPerMm};
  const CaseFacts& f = *in.facts;
  const std::vector<CaseInterval>& intervals = *in.intervals;
  const int pages = CaseReportPages(f);
  p.fillRect(mm.R(0, 0, kPageW, kPageH), Qt::white);
  p.setRenderHint(QPainter::Antialiasing);

  // Header.
  p.setPen(Qt::black);
  SetFont(p, 13, true);
  Text(p, mm, kMargin, 16,
       QString::fromStdString("Case report: " + f.fileName) +
           (pages > 1 ? QString("  (page %1 of %2)").arg(page + 1).arg(pages) : QString()));
  SetFont(p, 9);
  char source[96] = "";
  if (f.vitalParts > 1)
    std::snprintf(source, sizeof source, "   (converted from Vital at 128 Hz: part 1 of %d)", f.vitalParts);
  else if (f.vitalParts == 1)
    std::snprintf(source, sizeof source, "   (converted from Vital at 128 Hz)");
  else if (f.converted)
    std::snprintf(source, sizeof source, "   (converted from EDF/BDF at 128 Hz)");
  char line[320];
  std::snprintf(line, sizeof line,
                "Date %04d-%02d-%02d   Start %s   Duration %s (%d s)   Sampling rate %d Hz   Channels %d, "
                "analysed channel %d%s",
                f.date.year, f.date.month, f.date.day, ClockText(f.startSecond, 0, true).c_str(),
                ClockText(0, f.seconds, true).c_str(), f.seconds, f.rateHz, f.channels, f.channel, source);
  Text(p, mm, kMargin, 22, line);
  SetFont(p, 7.5);
  for (std::size_t k = 0; k < f.settingsLines.size(); ++k)
    Text(p, mm, kMargin, 26.5 + 3.5 * static_cast<double>(k),
         QString::fromStdString("Settings: " + f.settingsLines[k]));

  // The time window of this page.
  const double total = std::max(f.seconds, 10);
  const double t0 = pages == 1 ? 0.0 : total / pages * page;
  const double t1 = pages == 1 ? total : total / pages * (page + 1);
  const auto X = [&](double t) { return kGraphLeft + (t - t0) / (t1 - t0) * (kGraphRight - kGraphLeft); };
  const CaseTotals& totals = *in.totals;
  const double bsrScale = totals.bsrInPercent ? 1.0 : 100.0;

  const std::vector<Panel> panels = {
      {"BIS (monitor)", {{EpochResult::Bis, QColor(0, 0, 180), "BIS"}}, 0, 100, 1.2, false},
      {totals.sefFromMonitor ? "SEF (Hz, monitor)" : "SEF (Hz)",
       {{EpochResult::Sef, QColor(0, 130, 0), "SEF"}},
       0,
       30,
       1.0,
       !totals.sefFromMonitor},
      {totals.bsrFromMonitor ? "BSR (%, monitor)" : "BSR (%)",
       {{EpochResult::Bsr, QColor(200, 0, 0), "BSR"}},
       0,
       100,
       0.8,
       !totals.bsrFromMonitor},
      {"RBR", {{EpochResult::Rbr, QColor(150, 0, 150), "RBR"}}, 0, 0, 0.8, true},
      {"BispR", {{EpochResult::BispR, QColor(0, 120, 140), "BispR"}}, 0, 0, 0.8, true},
      {"pBIC low/high",
       {{EpochResult::PbicLow, QColor(200, 120, 0), "low"},
        {EpochResult::PbicHigh, QColor(90, 60, 0), "high"}},
       0,
       0,
       0.8,
       true},
      {"Amplitude (uV)", {{EpochResult::Amp, QColor(120, 80, 40), "Amp"}}, 0, 0, 0.8, true},
      {"SQI time/power/bisp",
       {{EpochResult::SqiTime, QColor(0, 0, 0), "time"},
        {EpochResult::SqiPower, QColor(0, 150, 0), "power"},
        {EpochResult::SqiBisp, QColor(0, 0, 200), "bisp"}},
       0,
       1,
       0.8,
       false},
  };
  constexpr double kDsaWeight = 1.4;  // the spectrogram's room below the graphs
  double weights = kDsaWeight;
  for (const Panel& panel : panels) weights += panel.weight;
  constexpr double kGap = 1.6;
  const double height = kAxisY - kGraphTop - kGap * static_cast<double>(panels.size());
  double y = kGraphTop;

  // Artifact-rejected intervals, shaded over every panel.
  const double dsaHeight = height * kDsaWeight / weights;
  for (const CaseInterval& i : intervals) {
    if (!i.Rejected() || i.elapsed < t0 || i.elapsed - 10 > t1) continue;
    const double a = X(std::max<double>(t0, i.elapsed - 10.0)), b = X(std::min<double>(t1, i.elapsed));
    p.fillRect(mm.R(a, kGraphTop, b - a, kAxisY - kGraphTop), QColor(215, 215, 215));
  }

  for (const Panel& panel : panels) {
    const double h = height * panel.weight / weights;
    const double scale = panel.series.front().field == EpochResult::Bsr ? bsrScale : 1.0;
    const auto [lo, hi] = Range(panel, intervals, scale);
    const auto Y = [&, lo = lo, hi = hi](double v) {
      return y + h - (std::clamp(v, lo, hi) - lo) / (hi - lo) * h;
    };
    p.setPen(QPen(QColor(120, 120, 120), mm(0.15)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(mm.R(kGraphLeft, y, kGraphRight - kGraphLeft, h));
    if (panel.series.front().field == EpochResult::Bis) {  // the 40-60 band
      p.fillRect(mm.R(kGraphLeft, Y(60), kGraphRight - kGraphLeft, Y(40) - Y(60)), QColor(0, 0, 255, 25));
    }
    SetFont(p, 6.5);
    p.setPen(Qt::black);
    Text(p, mm, kMargin, y + 2.6, panel.title);
    const auto rightAligned = [&](double baseline, const std::string& text) {
      const QString t = QString::fromStdString(text);
      Text(p, mm, kGraphLeft - 1.0 - p.fontMetrics().horizontalAdvance(t) / dotsPerMm, baseline, t);
    };
    rightAligned(y + 2.2, Number(hi));
    rightAligned(y + h - 0.3, Number(lo));
    for (std::size_t si = 0; si < panel.series.size(); ++si) {
      const Series& s = panel.series[si];
      QPainterPath path;
      bool open = false;
      for (const CaseInterval& i : intervals) {
        const float v = i.record[s.field];
        const bool skip = !Available(v) || (panel.ownIndex && i.Rejected()) ||
                          (s.field >= EpochResult::PbicLow && v == 0.0f) || i.elapsed < t0 || i.elapsed > t1;
        if (skip) {
          open = false;
          continue;
        }
        const QPointF point = mm.P(X(i.elapsed), Y(v * scale));
        if (open)
          path.lineTo(point);
        else
          path.moveTo(point);
        open = true;
      }
      p.setPen(QPen(s.colour, mm(0.25)));
      p.drawPath(path);
      if (panel.series.size() > 1) {
        p.setPen(s.colour);
        Text(p, mm, kGraphRight - 22 + 7.5 * static_cast<double>(si), y + 2.6, s.name);
      }
    }
    y += h + kGap;
  }

  DrawSpectrogramPanel(p, mm, kGraphLeft, y, kGraphRight - kGraphLeft, dsaHeight - kGap, in.spectra, f.startSecond,
                       t0, t1);

  // Time axis: ticks at whole steps of the time of day.
  p.setPen(QPen(Qt::black, mm(0.2)));
  p.drawLine(mm.P(kGraphLeft, kAxisY), mm.P(kGraphRight, kAxisY));
  const int step = TickStep(t1 - t0);
  const long start = static_cast<long>(f.startSecond % 86400);
  SetFont(p, 6.5);
  for (long tick = ((start + static_cast<long>(t0)) / step + 1) * step; tick - start <= t1; tick += step) {
    const double x = X(static_cast<double>(tick - start));
    p.drawLine(mm.P(x, kAxisY), mm.P(x, kAxisY + 1.2));
    Text(p, mm, x - 3.2, kAxisY + 4, QString::fromStdString(ClockText(0, static_cast<double>(tick), false)));
  }

  // Comments: a marker across the graphs and the text above them.
  if (in.comments != nullptr) {
    SetFont(p, 6);
    int row = 0;
    for (const TimedComment& c : *in.comments) {
      if (c.secondOfDay < 0) continue;
      const double t = SecondsIntoCase(f.startSecond, c.secondOfDay);
      if (t < t0 || t > t1) continue;
      const double x = X(t);
      p.setPen(QPen(QColor(220, 110, 0), mm(0.2), Qt::DashLine));
      p.drawLine(mm.P(x, kGraphTop - 1), mm.P(x, kAxisY));
      p.setPen(QColor(170, 70, 0));
      Text(p, mm, x + 0.6, kGraphTop - 1.2 - 2.4 * (row % 2), QString::fromStdString(c.time + " " + c.text));
      ++row;
    }
  }

  // The summary table.
  SetFont(p, 10, true);
  p.setPen(Qt::black);
  Text(p, mm, kTableLeft, kGraphTop + 2, "Summary");
  SetFont(p, 8);
  double row = kGraphTop + 8;
  for (std::size_t k = 0; k < kFigureCount; ++k) {
    const auto fig = static_cast<Figure>(k);
    const std::string value = FormatFigure(fig, (*in.summary)[fig]);
    p.setPen(QColor(60, 60, 60));
    Text(p, mm, kTableLeft, row, FigureLabel(fig));
    p.setPen(Qt::black);
    const QString v = QString::fromStdString(value.empty() ? "n/a" : value);
    const double w = p.fontMetrics().horizontalAdvance(v) / dotsPerMm;
    Text(p, mm, kPageW - kMargin - w, row, v);
    p.setPen(QPen(QColor(220, 220, 220), mm(0.1)));
    p.drawLine(mm.P(kTableLeft, row + 1.2), mm.P(kPageW - kMargin, row + 1.2));
    row += 5.6;
  }
  SetFont(p, 6.5);
  p.setPen(QColor(90, 90, 90));
  Text(p, mm, kTableLeft, row + 2, "Grey: artifact-rejected intervals");
  Text(p, mm, kTableLeft, row + 5, "(own indices left out). n/a: not available.");
}

bool WriteCaseReportPdf(const std::string& path, const CaseReportInput& input, std::string* error) {
  QPdfWriter writer(QString::fromStdString(path));
  writer.setResolution(600);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  writer.setTitle(QString::fromStdString("Case report " + input.facts->fileName));
  writer.setCreator("Quellscope");
  QPainter painter;
  if (!painter.begin(&writer)) {
    *error = "cannot write " + path;
    return false;
  }
  const double dotsPerMm = writer.resolution() / 25.4;
  const int pages = CaseReportPages(*input.facts);
  for (int page = 0; page < pages; ++page) {
    if (page > 0) writer.newPage();
    DrawCaseReportPage(painter, dotsPerMm, page, input);
  }
  if (!painter.end()) {
    *error = "writing " + path + " failed";
    return false;
  }
  return true;
}

bool WriteCaseReportPng(const std::string& path, const CaseReportInput& input, int dpi, std::string* error) {
  const double dotsPerMm = dpi / 25.4;
  QImage image(static_cast<int>(kPageW * dotsPerMm + 0.5), static_cast<int>(kPageH * dotsPerMm + 0.5),
               QImage::Format_RGB32);
  image.setDotsPerMeterX(static_cast<int>(dotsPerMm * 1000 + 0.5));
  image.setDotsPerMeterY(static_cast<int>(dotsPerMm * 1000 + 0.5));
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    DrawCaseReportPage(painter, dotsPerMm, 0, input);
  }
  if (!image.save(QString::fromStdString(path), "PNG")) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace qs
