#include "logbook/LinesPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/TextLines.h"

namespace qs {

LinesPanel::LinesPanel(QWidget* window, PanelButton save, PanelButton clear, PanelButton close, int buttonWidth)
    : QWidget(window) {
  setGeometry(0, 0, window->width(), window->height());
  const auto button = [&](PanelButton b, int x) {
    auto* pb = new QPushButton(QString::fromLatin1(b.caption), this);
    pb->setGeometry(x, height() - 30, buttonWidth, 24);
    pb->setToolTip(QString::fromLatin1(b.hint));
    return pb;
  };
  bSave = button(save, 8);
  bClear = button(clear, 16 + buttonWidth);
  bClose = button(close, width() - 8 - buttonWidth);
  view = new QPlainTextEdit(this);
  view->setGeometry(8, 8, width() - 16, height() - 46);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setReadOnly(true);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  connect(bSave, &QPushButton::clicked, this, [this] {
    if (onSave) onSave();
  });
  connect(bClear, &QPushButton::clicked, this, [this] {
    // The window stays while the question is open.
    bClose->setEnabled(false);
    if (onClear) onClear();
    bClose->setEnabled(true);
  });
  connect(bClose, &QPushButton::clicked, window, &QWidget::close);
  // A selection goes to the clipboard as soon as it is made, ready for a
  // report or a spreadsheet.
  connect(view, &QPlainTextEdit::selectionChanged, this, [this] {
    QString selected = view->textCursor().selectedText();
    if (!selected.isEmpty()) QApplication::clipboard()->setText(selected.replace(QChar::ParagraphSeparator, '\n'));
  });
}

void LinesPanel::ShowLines(const TextLines& lines) {
  // New lines are appended; anything else (cleared, rebuilt, a comment
  // attached to a line in place) redraws the whole view.
  if (lines.Count() <= shown_) {
    view->clear();
    shown_ = 0;
  }
  for (int i = shown_; i < lines.Count(); ++i)
    view->appendPlainText(QString::fromStdString(lines.Lines()[static_cast<std::size_t>(i)]));
  shown_ = lines.Count();
}

}  // namespace qs
