// The splash picture's drawings, shared by the splash window and the
// program's icon.
#include "app/SplashArt.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace qs {

namespace {

// A blue-cyan-green-yellow-red scale over v in 0..1, for the small map.
QColor ScaleColour(double v) {
  v = std::clamp(v, 0.0, 1.0);
  const double r = std::clamp(1.5 - std::abs(4.0 * v - 3.0), 0.0, 1.0);
  const double g = std::clamp(1.5 - std::abs(4.0 * v - 2.0), 0.0, 1.0);
  const double b = std::clamp(1.5 - std::abs(4.0 * v - 1.0), 0.0, 1.0);
  return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}

}  // namespace

// A few seconds of make-believe EEG: an alpha rhythm waxing and waning over a
// slow wave, with a little deterministic noise so every start looks the same.
void DrawTrace(QPainter& p, const QRect& area, double penWidth) {
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
  p.setPen(QPen(QColor(80, 220, 130), penWidth));
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


void DrawSplashBackground(QPainter& p, const QRect& area) {
  QLinearGradient background(0, area.top(), 0, area.bottom() + 1);
  background.setColorAt(0.0, QColor(16, 34, 58));
  background.setColorAt(1.0, QColor(5, 11, 22));
  p.fillRect(area, background);
}

QImage AppIcon(int size) {
  // Drawn once large and scaled down smoothly: the small sizes keep the
  // picture's proportions instead of losing its parts to whole pixels.
  constexpr int kDrawn = 256;
  QImage image(kDrawn, kDrawn, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, kDrawn - 16, kDrawn - 16), 36, 36);
    p.setClipPath(tile);
    DrawSplashBackground(p, image.rect());
    DrawTriangleMap(p, QPoint(70, 132), 20, 6);
    DrawTrace(p, QRect(24, 150, kDrawn - 48, 76), 5.0);
  }
  if (size == kDrawn) return image;
  return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace qs
