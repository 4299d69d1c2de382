#pragma once
// The body shared by the log window and the comments window: a plain-text
// view of lines (no wrapping, read-only; a selection goes to the clipboard at
// once) and the Save, Clear and Close buttons.
#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace qs {

class TextLines;

struct PanelButton {
  const char* caption;
  const char* hint;
};

class LinesPanel final : public QWidget {
  Q_OBJECT

 public:
  LinesPanel(QWidget* window, PanelButton save, PanelButton clear, PanelButton close, int buttonWidth);

  // Shows the lines; when lines were only added, only those are appended.
  void ShowLines(const TextLines& lines);

  QPlainTextEdit* view = nullptr;
  QPushButton* bSave = nullptr;
  QPushButton* bClear = nullptr;
  QPushButton* bClose = nullptr;
  std::function<void()> onSave;
  std::function<void()> onClear;

 private:
  int shown_ = 0;
};

}  // namespace qs
