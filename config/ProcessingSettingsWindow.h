#pragma once
// TForm4, the "Set Processing" window: the processing settings, changed while
// the program runs. An always-on-top tool window over qs::ProcessingSettings:
// it shows that object's controls and hands every user action to the handler
// of the same name. The client size is our choice.
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qs {
class ProcessingSettings;
}

class TForm4 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 360;
  static constexpr int kClientHeight = 330;

  explicit TForm4(QWidget* parent = nullptr);

  // The behaviour behind the controls; null detaches (the controls then do
  // nothing).
  void Attach(qs::ProcessingSettings* logic) { logic_ = logic; }
  // Shows every control as the behaviour holds it, the threshold texts too.
  void ShowControls();

  QCheckBox* cbProcWave;
  QCheckBox* cbBW;
  QCheckBox* cbCalcOnly;
  QCheckBox* cbTrend;
  QCheckBox* cbBIS_SR;
  QCheckBox* cbBIS_SEF;
  QCheckBox* cbSEF;
  QComboBox* cbMoving;
  QLineEdit* eBS_Thres;
  QLineEdit* eOverThres;
  QLineEdit* eSpike;
  QComboBox* cbBispCount;
  QComboBox* cbPowCount;
  QComboBox* cbTimeCount;
  QComboBox* cbLogInterval;
  QPushButton* bApply;
  QPushButton* bQuit;

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowChoices();
  void Connect();

  qs::ProcessingSettings* logic_ = nullptr;
};
