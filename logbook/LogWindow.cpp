#include "logbook/LogWindow.h"

#include <QCloseEvent>
#include <QPlainTextEdit>

TForm7::TForm7(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("Kvo Log Window"));
  setFixedSize(kClientWidth, kClientHeight);
  panel = new qs::LinesPanel(this, {"Save Log", "Save Log Window"}, {"Clear Log", "CLear Log Window"},
                             {"Close", "Close Log Window"}, 80);
  reLog = panel->view;
  reLog->setObjectName(QStringLiteral("reLog"));
}

void TForm7::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
