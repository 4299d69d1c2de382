#pragma once
// TTrendForm, the spare trend window: created at start-up with its one image,
// never shown, and used by nothing else.
#include <QWidget>

class QLabel;

class TTrendForm final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 610;
  static constexpr int kClientHeight = 565;

  explicit TTrendForm(QWidget* parent = nullptr);

  QLabel* TrendGraph;  // 420 x 378 image at (14, 8)
};
