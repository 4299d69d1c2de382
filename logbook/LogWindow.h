#pragma once
// TForm7, the log window: the comma-separated log lines of the analysis. An
// always-on-top tool window without title-bar buttons (the main window shows
// and hides it). Saving, clearing and rebuilding are the run controller's; the
// window shows the lines and passes its buttons on. The client size is our
// choice.
#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace qs {
class TextLines;
}

class TForm7 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 560;
  static constexpr int kClientHeight = 260;

  explicit TForm7(QWidget* parent = nullptr);

  // Shows the lines (only what changed since the last call is redrawn when
  // lines were only added).
  void ShowLines(const qs::TextLines& lines);

  QPlainTextEdit* reLog = nullptr;
  QPushButton* bSave = nullptr;
  QPushButton* bClear = nullptr;
  QPushButton* bClose = nullptr;

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;
  std::function<void()> onSave;
  std::function<void()> onClear;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int shown_ = 0;  // lines currently in the view
};
