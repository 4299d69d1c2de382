#include "config/ProcessingSettingsWindow.h"

#include <QCloseEvent>

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Set Processing"));
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm4::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
