#include "logbook/CommentsWindow.h"

#include <QCloseEvent>

TForm8::TForm8(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Cemments Window"));
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm8::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
