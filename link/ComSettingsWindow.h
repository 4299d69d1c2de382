#pragma once
// TForm3, the "Set COM port" window: serial port, EEG channel and sampling
// rate of the next online run. A fixed dialog with a close box only; its
// controls come with the serial link.
#include <QWidget>
#include <functional>

class TForm3 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 319;
  static constexpr int kClientHeight = 209;

  explicit TForm3(QWidget* parent = nullptr);

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
