#include "display/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qs {

void Canvas::SetPen(Rgb colour, int width, PenStyle style) {
  pen_ = colour;
  penWidth_ = std::max(1, width);
  penStyle_ = style;
}

void Canvas::FillRect(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image_.width());
  bottom = std::min(bottom, image_.height());
  if (left >= right || top >= bottom) return;
  const std::uint32_t pixel = 0xFF000000u | brush_;
  for (int y = top; y < bottom; ++y) std::fill(Row(y) + left, Row(y) + right, pixel);
}

void Canvas::Plot(int x, int y) {
  if (penStyle_ == PenStyle::Dotted) {
    const bool on = dotPhase_ < 3;
    dotPhase_ = (dotPhase_ + 1) % 6;
    if (!on) return;
  }
  SetPixel(x, y, pen_);
}

void Canvas::LineTo(int x1, int y1) {
  const int x0 = at_.x;
  const int y0 = at_.y;
  at_ = {x1, y1};
  dotPhase_ = 0;
  const int dx = std::abs(x1 - x0);
  const int dy = std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  if (penWidth_ > 1) {
    // Wide strokes are horizontal or vertical: thick across, flat at the ends.
    const int from = -(penWidth_ / 2);
    const int to = from + penWidth_;
    if (dy == 0) {
      for (int x = x0; x != x1; x += sx)
        for (int t = from; t < to; ++t) SetPixel(x, y0 + t, pen_);
    } else if (dx == 0) {
      for (int y = y0; y != y1; y += sy)
        for (int t = from; t < to; ++t) SetPixel(x0 + t, y, pen_);
    } else {
      // Not used by the graphs: a square of the pen's width at every point.
      int err = dx - dy, x = x0, y = y0;
      while (x != x1 || y != y1) {
        for (int u = from; u < to; ++u)
          for (int v = from; v < to; ++v) SetPixel(x + u, y + v, pen_);
        const int e2 = 2 * err;
        if (e2 > -dy) err -= dy, x += sx;
        if (e2 < dx) err += dx, y += sy;
      }
    }
    return;
  }
  // Bresenham; the end point itself is not drawn.
  int err = dx - dy;
  int x = x0;
  int y = y0;
  while (x != x1 || y != y1) {
    Plot(x, y);
    const int e2 = 2 * err;
    if (e2 > -dy) {
      err -= dy;
      x += sx;
    }
    if (e2 < dx) {
      err += dx;
      y += sy;
    }
  }
}

void Canvas::Polyline(const Point* points, int count) {
  if (count <= 0) return;
  MoveTo(points[0].x, points[0].y);
  for (int i = 1; i < count; ++i) LineTo(points[i].x, points[i].y);
}

void Canvas::TextOut(int x, int y, std::string_view text) {
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(FontPixels(fontPoints_));
  font.setStyleStrategy(QFont::NoAntialias);
  const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const QRect cell(x, y, metrics.horizontalAdvance(s), metrics.height());
  if (!brushClear_) painter.fillRect(cell, QColor::fromRgb(brush_));
  painter.setPen(QColor::fromRgb(fontColour_));
  painter.drawText(x, y + metrics.ascent(), s);
}

void Canvas::CopyFrom(const QImage& source, int left, int top, int right, int bottom, int x, int y) {
  // Clip the source rectangle to both images.
  if (left < 0) x -= left, left = 0;
  if (top < 0) y -= top, top = 0;
  if (x < 0) left -= x, x = 0;
  if (y < 0) top -= y, y = 0;
  right = std::min({right, source.width(), left + image_.width() - x});
  bottom = std::min({bottom, source.height(), top + image_.height() - y});
  if (left >= right || top >= bottom) return;
  const std::size_t bytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
  const int rows = bottom - top;
  // Bottom-up when copying downwards within one image, so that no row is read
  // after it has been overwritten.
  const bool backwards = &source == &image_ && y > top;
  for (int i = 0; i < rows; ++i) {
    const int r = backwards ? rows - 1 - i : i;
    const auto* from = reinterpret_cast<const std::uint32_t*>(source.constScanLine(top + r)) + left;
    std::memmove(Row(y + r) + x, from, bytes);
  }
}

}  // namespace qs
