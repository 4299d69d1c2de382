#pragma once
// TForm3, the "Set COM port" window: serial port, EEG channel and sampling
// rate of the next online run. It writes COM_Port, EegChannel and
// SamplingRate directly (nothing goes back to the settings file) and shows
// the device that the next online start will open: /dev/ttyS<n> for the
// chosen port, or the COM_Device of the settings file, which overrides it.
#include <QWidget>
#include <functional>

#include "core/AppSettings.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace qs {
struct RunState;
}

class TForm3 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 319;
  static constexpr int kClientHeight = 209;

  explicit TForm3(QWidget* parent = nullptr);
  // The records the window reads and writes; until bound it works on a
  // private copy of the defaults.
  void Bind(qs::AppSettings& settings, qs::RunState& run);

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;

  QLabel* lCOMport;
  QComboBox* cbCOM;
  QLabel* lChannel;
  QComboBox* cbChannel;
  QLabel* lSamplingRate;
  QComboBox* cbRate;
  QLabel* lDevice;  // the device path the next online start opens
  QPushButton* bQuit;

  void FormOnShow();
  void cbCOMChange();
  void cbChannelChange();
  void cbRateChange();
  void bQuitClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowDevice();
  qs::AppSettings ownSettings_;
  qs::AppSettings* settings_ = &ownSettings_;
  int monitorModel_ = 0;  // when unbound
  int engineKind_ = 0;
  qs::RunState* run_ = nullptr;
};
