#include "logbook/CommentsWindow.h"

#include <QCloseEvent>
#include <QPlainTextEdit>

TForm8::TForm8(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Cemments Window"));
  setFixedSize(kClientWidth, kClientHeight);
  panel = new qs::LinesPanel(this, {"Save Commets", "Save Log Window"}, {"Clear Comments", "CLear Log Window"},
                             {"Close", "Close Log Window"}, 110);
  reComment = panel->view;
  reComment->setObjectName(QStringLiteral("reComment"));
}

void TForm8::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
