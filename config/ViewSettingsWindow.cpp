#include "config/ViewSettingsWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>

#include "config/SettingsWidgets.h"
#include "config/ViewSettings.h"

using namespace qs::widgets;

namespace {

constexpr const char* kTimeHint = "Set processing start time";

void ShowPosition(QAbstractSlider* control, int maximum, int position) {
  const QSignalBlocker quiet(control);
  control->setRange(0, maximum);
  control->setValue(position);
}

}  // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Set View"));
  setFixedSize(kClientWidth, kClientHeight);

  cbRawWave = MakeCheckBox(this, "cbRawWave", {8, 8, 170, 20}, "Show Raw Wave");
  cbProcWave = MakeCheckBox(this, "cbProcWave", {8, 30, 170, 20}, "Show Processed Wave");
  cbGraph = MakeChoiceList(this, "cbGraph", {186, 8, 166, 22}, qs::kGraphItems, "Select graphic display");
  cbFilter = MakeCheckBox(this, "cbFilter", {186, 34, 166, 20}, "Use filter");
  cbTest = MakeCheckBox(this, "cbTest", {186, 56, 166, 20}, "Test Mode");

  lScale = MakeLabel(this, "lScale", {8, 88, 110, 22}, "Waveform Scale");
  cbScale = MakeChoiceList(this, "cbScale", {8, 110, 110, 22}, qs::kScaleItems);
  lPScale = MakeLabel(this, "lPScale", {126, 88, 110, 22}, "Power Scale");
  cbPScale = MakeChoiceList(this, "cbPScale", {126, 110, 110, 22}, qs::kPowerScaleItems);
  lSpeed = MakeLabel(this, "lSpeed", {244, 88, 108, 22}, "Speed");
  cbSpeed =
      MakeChoiceList(this, "cbSpeed", {244, 110, 108, 22}, qs::kSpeedItems, "Replay speed in Offline mode");
  cbSpeed->setMaxVisibleItems(8);

  lStartTime = MakeLabel(this, "lStartTime", {8, 150, 80, 20}, "", "Recording started time");
  lSetTime = MakeLabel(this, "lSetTime", {140, 150, 80, 20}, "", "Current Process starting time");
  lEndTime = MakeLabel(this, "lEndTime", {272, 150, 80, 20}, "", "Recording finished time");
  tbTime = new QSlider(Qt::Horizontal, this);
  tbTime->setObjectName(QStringLiteral("tbTime"));
  tbTime->setGeometry(8, 174, 300, 28);
  tbTime->setToolTip(QString::fromLatin1(kTimeHint));
  udTime = new QScrollBar(Qt::Horizontal, this);
  udTime->setObjectName(QStringLiteral("udTime"));
  udTime->setGeometry(314, 180, 38, 17);
  udTime->setToolTip(QString::fromLatin1(kTimeHint));
  udTime->setSingleStep(1);
  udTime->setPageStep(1);

  bQuit = MakeButton(this, "bQuit", {276, 266, 76, 24}, "Close");
  Connect();
}

void TForm5::Connect() {
  const auto run = [this](auto handler) {
    if (logic_ == nullptr) return;
    handler(*logic_);
    ShowControls();
  };
  const auto onClick = [this, run](QCheckBox* box, void (qs::ViewSettings::*handler)(bool)) {
    connect(box, &QCheckBox::clicked, this,
            [run, handler](bool checked) { run([&](qs::ViewSettings& v) { (v.*handler)(checked); }); });
  };
  const auto onEntry = [run](QComboBox* list, void (qs::ViewSettings::*handler)(std::string_view)) {
    OnEntry(list, [run, handler](const std::string& entry) {
      run([&](qs::ViewSettings& v) { (v.*handler)(entry); });
    });
  };
  const auto onMove = [this, run](QAbstractSlider* control, void (qs::ViewSettings::*handler)(int)) {
    connect(control, &QAbstractSlider::valueChanged, this,
            [run, handler](int position) { run([&](qs::ViewSettings& v) { (v.*handler)(position); }); });
  };
  using V = qs::ViewSettings;
  onClick(cbRawWave, &V::cbRawWaveClick);
  onClick(cbProcWave, &V::cbProcWaveClick);
  onClick(cbFilter, &V::cbFilterClick);
  onClick(cbTest, &V::cbTestClick);
  onEntry(cbGraph, &V::cbGraphChange);
  onEntry(cbScale, &V::cbScaleChange);
  onEntry(cbPScale, &V::cbPScaleChange);
  onEntry(cbSpeed, &V::cbSpeedChange);
  onMove(tbTime, &V::tbTimeChange);
  onMove(udTime, &V::udTimeClick);
  connect(bQuit, &QPushButton::clicked, this, &QWidget::close);
}

void TForm5::ShowControls() {
  if (logic_ == nullptr) return;
  const qs::ViewControls& c = logic_->Controls();
  // The removed map type never comes back.
  while (cbGraph->count() > c.graphItems) cbGraph->removeItem(cbGraph->count() - 1);
  ShowItem(cbGraph, c.cbGraph);
  cbFilter->setVisible(c.cbFilterVisible);
  ShowChecked(cbFilter, c.cbFilter);
  cbTest->setVisible(c.cbTestVisible);
  ShowChecked(cbTest, c.cbTest);
  ShowChecked(cbRawWave, c.cbRawWave);
  ShowChecked(cbProcWave, c.cbProcWave);

  ShowItem(cbScale, c.cbScale);
  lPScale->setVisible(c.cbPScaleVisible);
  cbPScale->setVisible(c.cbPScaleVisible);
  ShowItem(cbPScale, c.cbPScale);
  ShowItem(cbSpeed, c.cbSpeed);
  cbSpeed->setEnabled(c.cbSpeedEnabled);

  lStartTime->setText(QString::fromStdString(c.lStartTime));
  lSetTime->setText(QString::fromStdString(c.lSetTime));
  lEndTime->setText(QString::fromStdString(c.lEndTime));
  ShowPosition(tbTime, c.timeMax, c.timePosition);
  ShowPosition(udTime, c.timeMax, c.timePosition);
  tbTime->setVisible(c.timeControlsVisible);
  udTime->setVisible(c.timeControlsVisible);
}

void TForm5::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (logic_ == nullptr) return;
  logic_->ShowViewWindow();
  ShowControls();
}

void TForm5::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
