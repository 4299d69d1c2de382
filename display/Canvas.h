#pragma once
// Raster drawing with the pixel rules every graph of the main window is laid
// out in, so that a coordinate in the drawing code is the pixel on screen:
//  - a line from A to B colours A and the pixels up to B, not B itself; a
//    polyline therefore leaves out only its last point;
//  - a rectangle fill covers left..right-1 and top..bottom-1;
//  - text is placed by the top left corner of its cell; with a clear brush its
//    background stays as it was, with a solid brush the cell is filled first;
//  - a pen of width w draws a horizontal or vertical stroke w pixels thick,
//    rows (or columns) from p - w/2 to p - w/2 + w - 1, flat at both ends;
//  - a dotted pen of width 1 draws three pixels, leaves three.
// Lines, fills and pixels are written straight into the image (exact, no
// antialiasing, clipped to the image); only text goes through QPainter, with
// antialiasing off. Fonts are "Times New Roman" at the pixel size of the point
// size on a 96-dpi screen, whatever the real screen's resolution.
#include <QImage>
#include <cstdint>
#include <string_view>

#include "display/ColourScale.h"

namespace qs {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

enum class PenStyle { Solid, Dotted };

class Canvas {
 public:
  // Detaches the image from any shared copy first, so that the row pointers
  // taken while drawing stay valid.
  explicit Canvas(QImage& image) : image_(image) { image_.bits(); }

  void SetPen(Rgb colour, int width = 1, PenStyle style = PenStyle::Solid);
  void SetPenColour(Rgb colour) { pen_ = colour; }
  void SetBrush(Rgb colour) {
    brush_ = colour;
    brushClear_ = false;
  }
  void ClearBrush() { brushClear_ = true; }
  void SetFont(int points, Rgb colour) {
    fontPoints_ = points;
    fontColour_ = colour;
  }
  void SetFontColour(Rgb colour) { fontColour_ = colour; }

  void FillRect(int left, int top, int right, int bottom);
  void FillAll() { FillRect(0, 0, image_.width(), image_.height()); }
  void MoveTo(int x, int y) { at_ = {x, y}; }
  void LineTo(int x, int y);
  void Line(int x0, int y0, int x1, int y1) {
    MoveTo(x0, y0);
    LineTo(x1, y1);
  }
  void Polyline(const Point* points, int count);
  void SetPixel(int x, int y, Rgb colour) {
    if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height()) Row(y)[x] = 0xFF000000u | colour;
  }
  void TextOut(int x, int y, std::string_view text);

  // Copies the rectangle (left, top)..(right, bottom) of source (right and
  // bottom excluded) to (x, y) of this image. The source may be this image:
  // overlapping rows are moved, not smeared.
  void CopyFrom(const QImage& source, int left, int top, int right, int bottom, int x, int y);

  const QImage& Image() const { return image_; }
  Rgb PixelAt(int x, int y) const { return image_.pixel(x, y) & 0xFFFFFFu; }

 private:
  std::uint32_t* Row(int y) { return reinterpret_cast<std::uint32_t*>(image_.scanLine(y)); }
  void Plot(int x, int y);

  QImage& image_;
  Point at_;
  Rgb pen_ = 0;
  int penWidth_ = 1;
  PenStyle penStyle_ = PenStyle::Solid;
  int dotPhase_ = 0;
  Rgb brush_ = 0xFFFFFF;
  bool brushClear_ = false;
  int fontPoints_ = 12;
  Rgb fontColour_ = 0;
};

// The pixel size of a font of the given point size on the 96-dpi screens the
// graphs were laid out for: 12 pt is 16 px, 10 pt is 13 px.
constexpr int FontPixels(int points) { return (points * 96 + 36) / 72; }

}  // namespace qs
