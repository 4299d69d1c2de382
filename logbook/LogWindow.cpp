#include "logbook/LogWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "logbook/TextLines.h"

TForm7::TForm7(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("Kvo Log Window"));
  setFixedSize(kClientWidth, kClientHeight);
  const auto button = [this](const char* caption, const char* hint, int x) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setGeometry(x, kClientHeight - 30, 80, 24);
    b->setToolTip(QString::fromLatin1(hint));
    return b;
  };
  bSave = button("Save Log", "Save Log Window", 8);
  bClear = button("Clear Log", "CLear Log Window", 96);
  bClose = button("Close", "Close Log Window", kClientWidth - 88);
  reLog = new QPlainTextEdit(this);
  reLog->setObjectName(QStringLiteral("reLog"));
  reLog->setGeometry(8, 8, kClientWidth - 16, kClientHeight - 46);
  reLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  reLog->setReadOnly(true);
  reLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  connect(bSave, &QPushButton::clicked, this, [this] {
    if (onSave) onSave();
  });
  connect(bClear, &QPushButton::clicked, this, [this] {
    // The window stays while the question is open.
    bClose->setEnabled(false);
    if (onClear) onClear();
    bClose->setEnabled(true);
  });
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
  // A selection goes to the clipboard as soon as it is made, ready for a
  // report or a spreadsheet.
  connect(reLog, &QPlainTextEdit::selectionChanged, this, [this] {
    QString selected = reLog->textCursor().selectedText();
    if (!selected.isEmpty()) QApplication::clipboard()->setText(selected.replace(QChar::ParagraphSeparator, '\n'));
  });
}

void TForm7::ShowLines(const qs::TextLines& lines) {
  if (lines.Count() < shown_) {
    reLog->clear();
    shown_ = 0;
  }
  for (int i = shown_; i < lines.Count(); ++i) reLog->appendPlainText(QString::fromStdString(lines.Lines()[static_cast<std::size_t>(i)]));
  shown_ = lines.Count();
}

void TForm7::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
