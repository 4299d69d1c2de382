#pragma once
// TForm2, the comment input window: one time-stamped clinical comment at a
// time. Its controls come with the comments themselves. The client size is our
// choice.
#include <QWidget>
#include <functional>

class TForm2 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 120;

  explicit TForm2(QWidget* parent = nullptr);

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
