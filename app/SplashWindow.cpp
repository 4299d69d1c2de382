#include "app/SplashWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// A blue-cyan-green-yellow-red scale over v in 0..1, for the small map.
QColor ScaleColour(double v) {
  v = std::clamp(v, 0.0, 1.0);
  const double r = std::clamp(1.5 - std::abs(4.0 * v - 3.0), 0.0, 1.0);
  const double g = std::clamp(1.5 - std::abs(4.0 * v - 2.0), 0.0, 1.0);
  const double b = std::clamp(1.5 - std::abs(4.0 * v - 1.0), 0.0, 1.0);
  return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}

QFont SerifFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// A few seconds of make-believe EEG: an alpha rhythm waxing and waning over a
// slow wave, with a little deterministic noise so every start looks the same.
void DrawTrace(QPainter& p, const QRect& area) {
  p.setPen(QPen(QColor(40, 64, 92), 1, Qt::DotLine));
  for (int k = 0; k <= 4; ++k) {
    const int x = area.left() + k * area.width() / 4;
    p.drawLine(x, area.top(), x, area.bottom());
  }
  p.drawLine(area.left(), area.center().y(), area.right(), area.center().y());

  QPainterPath path;
  std::uint32_t seed = 12345;
  const double half = area.height() / 2.0;
  for (int x = 0; x <= area.width(); ++x) {
    const double t = x / 90.0;  // seconds
    seed = seed * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(seed >> 8) / (1u << 24) - 0.5) * 0.18;
    const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 0.35 * t);
    const double v = 0.45 * envelope * std::sin(2 * std::numbers::pi * 10.0 * t) +
                     0.35 * std::sin(2 * std::numbers::pi * 1.3 * t + 0.7) + noise;
    const QPointF point(area.left() + x, area.center().y() - v * half);
    if (x == 0)
      path.moveTo(point);
    else
      path.lineTo(point);
  }
  p.setPen(QPen(QColor(80, 220, 130), 1.2));
  p.drawPath(path);
}

// A small triangular map of made-up coupling over two frequencies, in the
// style of the bispectrum map of the main window.
void DrawTriangleMap(QPainter& p, QPoint origin, int cells, int cell) {
  for (int j = 0; j < cells; ++j) {
    for (int i = j; i < cells - j; ++i) {
      const double di = (i - cells * 0.32) / (cells * 0.22);
      const double dj = (j - cells * 0.18) / (cells * 0.16);
      const double value = std::exp(-(di * di + dj * dj)) * 0.85 + 0.1 * (1.0 - double(i) / cells);
      p.fillRect(origin.x() + i * cell, origin.y() - (j + 1) * cell, cell, cell, ScaleColour(value));
    }
  }
  p.setPen(QPen(QColor(140, 170, 200), 1));
  p.drawLine(origin, origin + QPoint(cells * cell + 3, 0));
  p.drawLine(origin, origin - QPoint(0, cells / 2 * cell + 3));
}

}  // namespace

TForm6::TForm6(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(Picture()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(kClientWidth, kClientHeight);
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

  Timer.setSingleShot(true);
  Timer.setInterval(kShowMs);
  connect(&Timer, &QTimer::timeout, this, &TForm6::TimerTimer);
  Timer.start();
}

void TForm6::ShowNow() {
  show();
  raise();
  // The window system maps a new window a little later; give it a moment
  // (bounded) so that the first paint is not lost.
  QElapsedTimer waited;
  waited.start();
  while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 300) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  repaint();
  QCoreApplication::processEvents();
}

void TForm6::TimerTimer() {
  close();
}

void TForm6::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, picture_);
}

QImage TForm6::Picture() {
  QImage image(kClientWidth, kClientHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient background(0, 0, 0, kClientHeight);
  background.setColorAt(0.0, QColor(16, 34, 58));
  background.setColorAt(1.0, QColor(5, 11, 22));
  p.fillRect(image.rect(), background);
  p.setPen(QColor(52, 84, 120));
  p.drawRect(image.rect().adjusted(0, 0, -1, -1));

  p.setPen(QColor(232, 240, 255));
  p.setFont(SerifFont(40, true));
  p.drawText(QRect(22, 26, 240, 50), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Quellscope"));
  p.setPen(QColor(143, 179, 217));
  p.setFont(SerifFont(16, false));
  p.drawText(QRect(24, 76, 240, 22), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("EEG analysis workstation"));

  DrawTriangleMap(p, QPoint(262, 100), 20, 4);
  DrawTrace(p, QRect(22, 122, 309, 78));

  p.setPen(QColor(95, 127, 163));
  p.setFont(SerifFont(13, false));
  p.drawText(QRect(22, 212, 309, 20), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Spectrum \u00b7 Bispectrum \u00b7 Trends"));
  p.drawText(QRect(22, 212, 309, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Starting\u2026"));
  return image;
}
