#pragma once
// TForm6, the splash window: a frameless, always-on-top picture in the middle
// of the screen that closes and frees itself 4 seconds after it was made,
// whatever the rest of the program is doing.
#include <QImage>
#include <QTimer>
#include <QWidget>

class TForm6 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 353;
  static constexpr int kClientHeight = 244;
  static constexpr int kShowMs = 4000;

  explicit TForm6(QWidget* parent = nullptr);

  // Shows the window and paints it at once, before the event loop runs.
  void ShowNow();

  QTimer Timer;

  // The picture, drawn once; exposed for tests.
  static QImage Picture();

 public slots:
  void TimerTimer();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};
