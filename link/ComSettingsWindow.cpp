#include "link/ComSettingsWindow.h"

#include <QCloseEvent>

TForm3::TForm3(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Set COM port"));
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm3::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
