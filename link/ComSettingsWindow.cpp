#include "link/ComSettingsWindow.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "core/RunState.h"
#include "link/ComChoices.h"
#include "link/SerialPort.h"

TForm3::TForm3(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Set COM port"));
  setFixedSize(kClientWidth, kClientHeight);

  lCOMport = new QLabel(QStringLiteral("Set COM Port No."), this);
  lCOMport->setGeometry(16, 14, 150, 20);
  cbCOM = new QComboBox(this);
  for (int i = 0; i < qs::kComPorts; ++i) cbCOM->addItem(QString::fromStdString(qs::ComPortName(i)));
  cbCOM->setMaxVisibleItems(16);
  cbCOM->setToolTip(QStringLiteral("Select Serial Port"));
  cbCOM->setGeometry(180, 12, 120, 22);

  lChannel = new QLabel(QStringLiteral("Set EEG channel No."), this);
  lChannel->setGeometry(16, 52, 150, 20);
  cbChannel = new QComboBox(this);
  cbChannel->addItems({"ch. 0", "ch. 1", "ch. 2", "ch. 3"});
  cbChannel->setToolTip(QStringLiteral("Select EEG channel"));
  cbChannel->setGeometry(180, 50, 120, 22);

  lSamplingRate = new QLabel(QStringLiteral("Set Sampling Rate "), this);
  lSamplingRate->setGeometry(16, 90, 150, 20);
  cbRate = new QComboBox(this);
  cbRate->addItems({"128Hz", "256Hz"});
  cbRate->setToolTip(QStringLiteral("Select EEG Sampling Rate"));
  cbRate->setGeometry(180, 88, 120, 22);

  lDevice = new QLabel(this);
  lDevice->setGeometry(16, 126, kClientWidth - 32, 20);

  bQuit = new QPushButton(QStringLiteral("Close"), this);
  bQuit->setGeometry((kClientWidth - 90) / 2, kClientHeight - 40, 90, 26);

  // FormCreate: port and channel 0, rate as the settings say.
  cbCOM->setCurrentIndex(0);
  cbChannel->setCurrentIndex(0);
  cbRate->setCurrentIndex(settings_->SamplingRate == 1 ? 1 : 0);
  ShowDevice();

  // Only the user's choices change the settings, not the window's own updates.
  connect(cbCOM, qOverload<int>(&QComboBox::activated), this, [this] { cbCOMChange(); });
  connect(cbChannel, qOverload<int>(&QComboBox::activated), this, [this] { cbChannelChange(); });
  connect(cbRate, qOverload<int>(&QComboBox::activated), this, [this] { cbRateChange(); });
  connect(bQuit, &QPushButton::clicked, this, [this] { bQuitClick(); });
}

void TForm3::Bind(qs::AppSettings& settings, qs::RunState& run) {
  settings_ = &settings;
  run_ = &run;
  cbRate->setCurrentIndex(settings_->SamplingRate == 1 ? 1 : 0);
  ShowDevice();
}

void TForm3::ShowDevice() {
  lDevice->setText(QStringLiteral("Device: ") +
                   QString::fromStdString(qs::SerialDevicePath(settings_->COM_Port, settings_->COM_Device)));
}

void TForm3::FormOnShow() {
  const int model = run_ != nullptr ? run_->MonitorModel.load() : monitorModel_;
  const int engine = run_ != nullptr ? run_->EngineKind.load() : engineKind_;
  // The window opens on the current choices.
  cbCOM->setCurrentIndex(std::clamp(settings_->COM_Port.load(), 0, qs::kComPorts - 1));
  cbChannel->setCurrentIndex(std::clamp(settings_->EegChannel.load(), 0, 3));
  const qs::ComShowState state = qs::ComOnShow(model, engine, settings_->SamplingRate);
  settings_->SamplingRate = state.samplingRate;
  cbRate->setCurrentIndex(state.samplingRate);
  cbChannel->setMaxVisibleItems(state.channelRows);
  ShowDevice();
}

void TForm3::cbCOMChange() {
  settings_->COM_Port = cbCOM->currentIndex();
  ShowDevice();
}

void TForm3::cbChannelChange() {
  const int engine = run_ != nullptr ? run_->EngineKind.load() : engineKind_;
  const int channel = qs::ComChannelChoice(cbChannel->currentIndex(), engine);
  settings_->EegChannel = channel;
  cbChannel->setCurrentIndex(channel);
}

void TForm3::cbRateChange() {
  settings_->SamplingRate = cbRate->currentIndex() == 1 ? 1 : 0;
}

void TForm3::bQuitClick() {
  close();
}

void TForm3::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormOnShow();
}

void TForm3::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  // Close and the close box alike: WindowOpen is cleared through onClosed
  // and the main window is enabled again.
  if (event->isAccepted() && onClosed) onClosed();
}
