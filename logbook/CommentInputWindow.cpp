#include "logbook/CommentInputWindow.h"

#include <QCloseEvent>

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Comment input"));
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm2::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
