#pragma once
// TForm5, the "Set View" window: what the graphs show and how a recording is
// replayed. An always-on-top tool window over qs::ViewSettings: it shows that
// object's controls and hands every user action to the handler of the same
// name; a click on its background shows every control afresh. The client size
// is our choice.
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QSlider;

namespace qs {
class ViewSettings;
}

class TForm5 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 360;
  static constexpr int kClientHeight = 300;

  explicit TForm5(QWidget* parent = nullptr);

  // The behaviour behind the controls; null detaches (the controls then do
  // nothing).
  void Attach(qs::ViewSettings* logic) { logic_ = logic; }
  // Shows every control as the behaviour holds it.
  void ShowControls();

  QCheckBox* cbRawWave;
  QCheckBox* cbProcWave;
  QComboBox* cbGraph;
  QCheckBox* cbFilter;
  QCheckBox* cbTest;
  QLabel* lScale;
  QComboBox* cbScale;
  QLabel* lPScale;
  QComboBox* cbPScale;
  QLabel* lSpeed;
  QComboBox* cbSpeed;
  QLabel* lStartTime;
  QLabel* lSetTime;
  QLabel* lEndTime;
  QSlider* tbTime;
  QScrollBar* udTime;  // a horizontal up-down: its two arrows step one second
  QPushButton* bQuit;

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Connect();

  qs::ViewSettings* logic_ = nullptr;
};
