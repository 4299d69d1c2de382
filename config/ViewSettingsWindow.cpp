#include "config/ViewSettingsWindow.h"

#include <QCloseEvent>

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Set View"));
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm5::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
