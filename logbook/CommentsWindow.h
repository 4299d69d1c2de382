#pragma once
// TForm8, the comments window: the list of applied comments. Always on top,
// with a close box; its controls come with the comments themselves. The
// caption is spelt exactly as users know it. The client size is our choice.
#include <QWidget>
#include <functional>

class TForm8 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 420;
  static constexpr int kClientHeight = 260;

  explicit TForm8(QWidget* parent = nullptr);

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
