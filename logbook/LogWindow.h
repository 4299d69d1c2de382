#pragma once
// TForm7, the log window: the comma-separated log lines of the analysis. An
// always-on-top tool window without title-bar buttons (the main window shows
// and hides it). Saving, clearing and rebuilding are the run controller's; the
// window shows the lines and passes its buttons on. The client size is our
// choice.
#include <QWidget>
#include <functional>

#include "logbook/LinesPanel.h"

class TForm7 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 560;
  static constexpr int kClientHeight = 260;

  explicit TForm7(QWidget* parent = nullptr);

  void ShowLines(const qs::TextLines& lines) { panel->ShowLines(lines); }

  qs::LinesPanel* panel = nullptr;
  QPlainTextEdit* reLog = nullptr;

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
