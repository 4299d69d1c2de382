#pragma once
// The splash picture's drawings, shared by the splash window and the icon of
// the desktop menu entry (drawn at build time by quellscope-icon).
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>

namespace qs {

// The dark blue gradient behind everything.
void DrawSplashBackground(QPainter& p, const QRect& area);
// A few seconds of make-believe EEG with its grid.
void DrawTrace(QPainter& p, const QRect& area, double penWidth = 1.2);
// A small triangular map of made-up coupling, as the bispectrum map shows it.
void DrawTriangleMap(QPainter& p, QPoint origin, int cells, int cell);
// The program's icon, size x size pixels: the splash's background, map and
// trace on a rounded tile.
QImage AppIcon(int size);

}  // namespace qs
