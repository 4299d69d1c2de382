#include "logbook/LogWindow.h"

#include <QCloseEvent>

TForm7::TForm7(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("Kvo Log Window"));
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm7::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
