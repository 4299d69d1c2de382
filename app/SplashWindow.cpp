#include "app/SplashWindow.h"

#include "app/SplashArt.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace {

QFont SerifFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
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

  qs::DrawSplashBackground(p, image.rect());
  p.setPen(QColor(52, 84, 120));
  p.drawRect(image.rect().adjusted(0, 0, -1, -1));

  p.setPen(QColor(232, 240, 255));
  p.setFont(SerifFont(40, true));
  p.drawText(QRect(22, 26, 240, 50), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Quellscope"));
  p.setPen(QColor(143, 179, 217));
  p.setFont(SerifFont(16, false));
  p.drawText(QRect(24, 76, 240, 22), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("EEG analysis workstation"));

  qs::DrawTriangleMap(p, QPoint(262, 100), 20, 4);
  qs::DrawTrace(p, QRect(22, 122, 309, 78));

  p.setPen(QColor(95, 127, 163));
  p.setFont(SerifFont(13, false));
  p.drawText(QRect(22, 212, 309, 20), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Spectrum \u00b7 Bispectrum \u00b7 Trends"));
  p.drawText(QRect(22, 212, 309, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Starting\u2026"));
  return image;
}
