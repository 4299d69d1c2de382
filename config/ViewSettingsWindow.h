#pragma once
// TForm5, the "Set View" window: what the graphs show and how a recording is
// replayed. An always-on-top tool window; its controls come with the view
// settings themselves. The client size is our choice.
#include <QWidget>
#include <functional>

class TForm5 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 360;
  static constexpr int kClientHeight = 300;

  explicit TForm5(QWidget* parent = nullptr);

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
