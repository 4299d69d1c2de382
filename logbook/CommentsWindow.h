#pragma once
// TForm8, the comments window: the applied comments, one "time,text" line
// each, always on top. Saving and clearing are the run controller's. The
// client size is our choice.
#include <QWidget>
#include <functional>

#include "logbook/LinesPanel.h"

class TForm8 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 420;
  static constexpr int kClientHeight = 260;

  explicit TForm8(QWidget* parent = nullptr);

  void ShowLines(const qs::TextLines& lines) { panel->ShowLines(lines); }

  qs::LinesPanel* panel = nullptr;
  QPlainTextEdit* reComment = nullptr;

  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
