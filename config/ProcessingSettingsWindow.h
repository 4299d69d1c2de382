#pragma once
// TForm4, the "Set Processing" window: the processing settings, changed while
// the program runs. An always-on-top tool window; its controls come with the
// processing settings themselves. The client size is our choice.
#include <QWidget>
#include <functional>

class TForm4 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 360;
  static constexpr int kClientHeight = 330;

  explicit TForm4(QWidget* parent = nullptr);

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
