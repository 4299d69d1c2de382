#include "config/ProcessingSettingsWindow.h"

#include <QCloseEvent>

#include "config/ProcessingSettings.h"
#include "config/SettingsWidgets.h"

using namespace qs::widgets;

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Set Processing"));
  setFixedSize(kClientWidth, kClientHeight);

  cbProcWave = MakeCheckBox(this, "cbProcWave", {8, 8, 170, 20}, "Use Processed Wave");
  cbBW = MakeCheckBox(this, "cbBW", {8, 30, 170, 20}, "Show in Gray Scale");
  cbTrend = MakeCheckBox(this, "cbTrend", {8, 52, 170, 20}, "Process Trend");
  cbCalcOnly = MakeCheckBox(this, "cbCalcOnly", {8, 74, 170, 20}, "Calculation Only");
  cbBIS_SR = MakeCheckBox(this, "cbBIS_SR", {186, 8, 166, 20}, "Use BIS BSR");
  cbBIS_SEF = MakeCheckBox(this, "cbBIS_SEF", {186, 30, 166, 20}, "Use BIS SEF95");
  cbSEF = MakeCheckBox(this, "cbSEF", {186, 52, 166, 20}, "Show SEF90");
  cbMoving = MakeChoiceList(this, "cbMoving", {186, 74, 166, 22}, qs::kMovingItems);

  MakeLabel(this, "lBS_Thres", {8, 108, 180, 22}, "BS Threshold (mcV)");
  eBS_Thres = new QLineEdit(this);
  eBS_Thres->setObjectName(QStringLiteral("eBS_Thres"));
  eBS_Thres->setGeometry(192, 108, 72, 22);
  MakeLabel(this, "lOverThres", {8, 134, 180, 22}, "OverShoot Threshold (mcV)");
  eOverThres = new QLineEdit(this);
  eOverThres->setObjectName(QStringLiteral("eOverThres"));
  eOverThres->setGeometry(192, 134, 72, 22);
  MakeLabel(this, "lSpike", {8, 160, 180, 22}, "Spike Threshold (mcV)");
  eSpike = new QLineEdit(this);
  eSpike->setObjectName(QStringLiteral("eSpike"));
  eSpike->setGeometry(192, 160, 72, 22);
  bApply = MakeButton(this, "bApply", {276, 134, 76, 24}, "Apply");

  MakeLabel(this, "lBispCount", {8, 194, 180, 22}, "Bispec calc duration");
  cbBispCount = MakeChoiceList(this, "cbBispCount", {192, 194, 90, 22}, qs::kBispCountItems);
  MakeLabel(this, "lPowCount", {8, 220, 180, 22}, "Powerspec calc duration");
  cbPowCount = MakeChoiceList(this, "cbPowCount", {192, 220, 90, 22}, qs::kPowCountItems);
  MakeLabel(this, "lTimeCount", {8, 246, 180, 22}, "Amplitude calc duration");
  cbTimeCount = MakeChoiceList(this, "cbTimeCount", {192, 246, 90, 22}, qs::kTimeCountItems);
  MakeLabel(this, "lLogInterval", {8, 272, 180, 22}, "Logging Interval");
  cbLogInterval = MakeChoiceList(this, "cbLogInterval", {192, 272, 90, 22}, qs::kTimeCountItems,
                                 "Select Processing Interval");

  bQuit = MakeButton(this, "bQuit", {276, 298, 76, 24}, "Close");
  Connect();
}

void TForm4::Connect() {
  // Each handler runs on the behaviour, then the window shows its state again:
  // one click may change other boxes (the SEF group) or keep a typed entry out.
  const auto run = [this](auto handler) {
    if (logic_ == nullptr) return;
    handler(*logic_);
    ShowChoices();
  };
  const auto onClick = [this, run](QCheckBox* box, void (qs::ProcessingSettings::*handler)(bool)) {
    connect(box, &QCheckBox::clicked, this,
            [run, handler](bool checked) { run([&](qs::ProcessingSettings& p) { (p.*handler)(checked); }); });
  };
  const auto onEntry = [run](QComboBox* list, void (qs::ProcessingSettings::*handler)(std::string_view)) {
    OnEntry(list, [run, handler](const std::string& entry) {
      run([&](qs::ProcessingSettings& p) { (p.*handler)(entry); });
    });
  };
  using P = qs::ProcessingSettings;
  onClick(cbProcWave, &P::cbProcWaveClick);
  onClick(cbBW, &P::cbBWClick);
  onClick(cbCalcOnly, &P::cbCalcOnlyClick);
  onClick(cbTrend, &P::cbTrendClick);
  onClick(cbBIS_SR, &P::cbBIS_SRClick);
  onClick(cbBIS_SEF, &P::cbBIS_SEFClick);
  onClick(cbSEF, &P::cbSEFClick);
  onEntry(cbMoving, &P::cbMovingChange);
  onEntry(cbBispCount, &P::cbBispCountChange);
  onEntry(cbPowCount, &P::cbPowCountChange);
  onEntry(cbTimeCount, &P::cbTimeCountChange);
  onEntry(cbLogInterval, &P::cbLogIntervalChange);
  connect(bApply, &QPushButton::clicked, this, [this, run] {
    const std::string bs = eBS_Thres->text().toStdString();
    const std::string overshoot = eOverThres->text().toStdString();
    const std::string spike = eSpike->text().toStdString();
    run([&](P& p) { p.ApplyThresholds(bs, overshoot, spike); });
  });
  connect(bQuit, &QPushButton::clicked, this, &QWidget::close);
}

void TForm4::ShowControls() {
  if (logic_ == nullptr) return;
  const qs::ProcessingControls& c = logic_->Controls();
  eBS_Thres->setText(QString::fromStdString(c.eBS_Thres));
  eOverThres->setText(QString::fromStdString(c.eOverThres));
  eSpike->setText(QString::fromStdString(c.eSpike));
  ShowChoices();
}

// Everything but the threshold fields, which keep what the user is typing
// until "Apply".
void TForm4::ShowChoices() {
  if (logic_ == nullptr) return;
  const qs::ProcessingControls& c = logic_->Controls();
  ShowChecked(cbProcWave, c.cbProcWave);
  ShowChecked(cbBW, c.cbBW);
  ShowChecked(cbTrend, c.cbTrend);
  ShowChecked(cbCalcOnly, c.cbCalcOnly);
  cbCalcOnly->setEnabled(c.cbCalcOnlyEnabled);
  ShowChecked(cbBIS_SR, c.cbBIS_SR);
  ShowChecked(cbBIS_SEF, c.cbBIS_SEF);
  ShowChecked(cbSEF, c.cbSEF);
  cbSEF->setEnabled(c.cbSEFEnabled);
  ShowItem(cbMoving, c.cbMoving);
  ShowItem(cbBispCount, c.cbBispCount);
  ShowItem(cbPowCount, c.cbPowCount);
  ShowItem(cbTimeCount, c.cbTimeCount);
  ShowItem(cbLogInterval, c.cbLogInterval);
}

void TForm4::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
