#include "logbook/CommentsWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "logbook/TextLines.h"

TForm8::TForm8(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Cemments Window"));
  setFixedSize(kClientWidth, kClientHeight);
  const auto button = [this](const char* caption, const char* hint, int x) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setGeometry(x, kClientHeight - 30, 110, 24);
    b->setToolTip(QString::fromLatin1(hint));
    return b;
  };
  bSave = button("Save Commets", "Save Log Window", 8);
  bClear = button("Clear Comments", "CLear Log Window", 126);
  bClose = button("Close", "Close Log Window", kClientWidth - 118);
  reComment = new QPlainTextEdit(this);
  reComment->setObjectName(QStringLiteral("reComment"));
  reComment->setGeometry(8, 8, kClientWidth - 16, kClientHeight - 46);
  reComment->setLineWrapMode(QPlainTextEdit::NoWrap);
  reComment->setReadOnly(true);
  connect(bSave, &QPushButton::clicked, this, [this] {
    if (onSave) onSave();
  });
  connect(bClear, &QPushButton::clicked, this, [this] {
    bClose->setEnabled(false);
    if (onClear) onClear();
    bClose->setEnabled(true);
  });
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
  connect(reComment, &QPlainTextEdit::selectionChanged, this, [this] {
    QString selected = reComment->textCursor().selectedText();
    if (!selected.isEmpty()) QApplication::clipboard()->setText(selected.replace(QChar::ParagraphSeparator, '\n'));
  });
}

void TForm8::ShowLines(const qs::TextLines& lines) {
  QString text;
  for (const std::string& line : lines.Lines()) {
    if (!text.isEmpty()) text += '\n';
    text += QString::fromStdString(line);
  }
  reComment->setPlainText(text);
}

void TForm8::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
