// The two settings windows with their real widgets, attached to a real main
// window and run controller (no worker threads, so the drawing queue stays as
// the windows leave it): that every control reaches its handler, that the
// windows show what the behaviour decided, and what the main window shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/AppCore.h"
#include "app/MainWindow.h"
#include "config/ProcessingSettingsWindow.h"
#include "config/ViewSettingsWindow.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"
#include "record/RecordTestFiles.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompter.h"

namespace {

namespace fs = std::filesystem;

// What a user does to a choice list: picks an item, or types and presses Enter.
void Pick(QComboBox* list, const char* item) {
  const int index = list->findText(QString::fromLatin1(item), Qt::MatchExactly);
  ASSERT_GE(index, 0) << item;
  list->setCurrentIndex(index);
  emit list->activated(index);
}

void Type(QComboBox* list, const char* text) {
  list->lineEdit()->setText(QString::fromLatin1(text));
  emit list->lineEdit()->editingFinished();
}

class SettingsWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qs_settings_windows_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    window_ = std::make_unique<TForm1>(core_, bridge_, prompter_, link_, records_, qs::WorkerFactory{},
                                       (dir_ / "none.ini").string());
    window_->SetSecondaryWindows({.processing = &processing_, .view = &view_});
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    fs::remove_all(dir_);
  }

  std::vector<qs::DrawRequest> Queued() {
    std::vector<qs::DrawRequest> out;
    qs::DrawRequest r;
    while (core_.drawQueue.Front(r)) {
      out.push_back(r);
      core_.drawQueue.PopFront();
    }
    return out;
  }

  // Chooses Offline and a recording of this many seconds that begins at this
  // time of day.
  void ChooseRecording(int hour, int minute, int seconds) {
    qs::test::RecordBuilder b(qs::RawLayout::TwoChannels128, hour, minute, 0);
    for (int i = 0; i < seconds; ++i) b.AddSecond();
    const fs::path path = dir_ / "case.eeg";
    b.Save(path);
    prompter_.files = {path.string()};
    window_->oOffline->trigger();
    ASSERT_EQ(core_.run.ReplayFileName, path.string());
  }

  fs::path dir_;
  qs::AppCore core_;
  qs::QueuedUiBridge bridge_;
  qs::test::ScriptedPrompter prompter_;
  qs::NoMonitorLink link_;
  qs::RecordFileService records_{core_};
  TForm4 processing_;
  TForm5 view_;
  std::unique_ptr<TForm1> window_;  // last: destroyed before what it uses
  qs::AppSettings& s_ = core_.settings;
};

// ------------------------------------------------------------ "Set Processing"

TEST_F(SettingsWindowsTest, TheProcessingWindowShowsTheSettingsAndDisablesTheMainWindowUntilItCloses) {
  TForm1& w = *window_;
  w.oProcess->trigger();
  EXPECT_TRUE(processing_.isVisible());
  EXPECT_FALSE(w.isEnabled());
  EXPECT_EQ(processing_.eBS_Thres->text(), "5");
  EXPECT_EQ(processing_.eOverThres->text(), "80");
  EXPECT_EQ(processing_.eSpike->text(), "30");
  EXPECT_TRUE(processing_.cbBIS_SR->isChecked());
  EXPECT_FALSE(processing_.cbCalcOnly->isEnabled()) << "online";
  EXPECT_EQ(processing_.cbBispCount->currentText(), "3 min");
  EXPECT_EQ(processing_.cbLogInterval->currentText(), "1 min");
  EXPECT_EQ(processing_.cbLogInterval->toolTip(), "Select Processing Interval");
  EXPECT_EQ(processing_.cbMoving->currentText(), "Moving Average 1sec");

  processing_.bQuit->click();
  EXPECT_FALSE(processing_.isVisible());
  EXPECT_TRUE(w.isEnabled());
  EXPECT_FALSE(core_.run.WindowOpen);
}

TEST_F(SettingsWindowsTest, TheSefBoxesWorkTogetherAndTheMainWindowShowsTheEdgeFrequencyInUse) {
  TForm1& w = *window_;
  w.oProcess->trigger();
  processing_.cbSEF->click();  // with the monitor's BSR: unchecked at once
  EXPECT_FALSE(processing_.cbSEF->isChecked());
  EXPECT_EQ(w.lSEF90->text(), "SEF95");

  processing_.cbBIS_SR->click();
  processing_.cbSEF->click();
  EXPECT_TRUE(processing_.cbSEF->isChecked());
  EXPECT_EQ(w.lSEF90->text(), "SEF90");
  EXPECT_EQ(w.eSEF90->toolTip(), "Spectral Edge Frequency 90%");
  EXPECT_EQ(s_.SefFraction, 0.10f);

  processing_.cbBIS_SEF->click();
  EXPECT_FALSE(processing_.cbSEF->isChecked());
  EXPECT_FALSE(processing_.cbSEF->isEnabled());
  EXPECT_EQ(w.lSEF90->text(), "SEF95");
  EXPECT_EQ(w.eSEF90->toolTip(), "Spectral Edge Frequency 95%");
  EXPECT_EQ(s_.SefFraction, 0.05f);
  processing_.cbBIS_SEF->click();
  EXPECT_TRUE(processing_.cbSEF->isEnabled());
}

TEST_F(SettingsWindowsTest, ApplyTakesOnlyThresholdsFromTheirMinimumAndTheFieldsKeepTheText) {
  window_->oProcess->trigger();
  processing_.eBS_Thres->setText("1.5");
  processing_.eSpike->setText("abc");
  processing_.bApply->click();
  EXPECT_EQ(s_.BS_Threshold, 5.0f);
  EXPECT_EQ(s_.Spike_Threshold, 30.0f);
  EXPECT_EQ(processing_.eBS_Thres->text(), "1.5");
  EXPECT_EQ(processing_.eSpike->text(), "abc");

  processing_.eBS_Thres->setText("2");
  processing_.bApply->click();
  EXPECT_EQ(s_.BS_Threshold, 2.0f);
  processing_.eBS_Thres->setText("7");
  processing_.cbTrend->click();  // another control in between keeps the typed text
  EXPECT_EQ(processing_.eBS_Thres->text(), "7");
  processing_.bApply->click();
  EXPECT_EQ(s_.BS_Threshold, 7.0f);
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(SettingsWindowsTest, ChoiceListsTakeItemsAndTypedTextWithoutStoringAnUnmappedValue) {
  window_->oProcess->trigger();
  Pick(processing_.cbMoving, "Moving Average 2sec");
  EXPECT_EQ(s_.Moving_Average, 1);
  Type(processing_.cbMoving, "Moving Average 9sec");
  EXPECT_EQ(s_.Moving_Average, 1);
  EXPECT_EQ(processing_.cbMoving->currentText(), "Moving Average 2sec")
      << "the list shows the choice in force";
  Pick(processing_.cbBispCount, "1 min");
  EXPECT_EQ(s_.Bisp_Dur, 6);
  Type(processing_.cbBispCount, "2 min");
  EXPECT_EQ(s_.Bisp_Dur, 12);
  Type(processing_.cbBispCount, "10 min");
  EXPECT_EQ(s_.Bisp_Dur, 18);
  EXPECT_EQ(processing_.cbBispCount->currentText(), "3 min");
  EXPECT_EQ(processing_.cbBispCount->count(), 5) << "typed text is not added";
}

TEST_F(SettingsWindowsTest, ALoggingIntervalChangeAsksOnlyWithHistory) {
  window_->oProcess->trigger();
  Pick(processing_.cbLogInterval, "20 sec");
  EXPECT_EQ(s_.LogInterval, 2);
  EXPECT_TRUE(prompter_.shown.empty()) << "no history yet";

  core_.buffers.trend.index = 4;
  prompter_.answers = {true};
  Pick(processing_.cbLogInterval, "30 sec");
  EXPECT_EQ(s_.LogInterval, 3);
  EXPECT_TRUE(prompter_.Saw("Update Log Window", "Update"));
  EXPECT_EQ(core_.logLines.Count(), 1) << "record 2 of the four";
}

TEST_F(SettingsWindowsTest, GrayScaleIsRedrawnOnlyWhenItChangedAtClosing) {
  window_->oProcess->trigger();
  processing_.cbBW->click();
  processing_.cbBW->click();
  processing_.close();
  EXPECT_TRUE(Queued().empty());
  EXPECT_FALSE(s_.GrayScale);

  window_->oProcess->trigger();
  processing_.cbBW->click();
  EXPECT_TRUE(Queued().empty());
  processing_.bQuit->click();
  EXPECT_TRUE(s_.GrayScale);
  EXPECT_EQ(Queued(), (std::vector<qs::DrawRequest>{{qs::PowerFrame, 0, 0}}));
}

// ------------------------------------------------------------ "Set View"

TEST_F(SettingsWindowsTest, WithoutOptionButtonTheViewWindowOffersThreeMapTypesAlsoAfterReopening) {
  TForm1& w = *window_;
  for (int opening = 0; opening < 2; ++opening) {
    w.oView->trigger();
    EXPECT_TRUE(view_.isVisible());
    EXPECT_TRUE(w.isEnabled()) << "the main window stays usable";
    EXPECT_EQ(view_.cbGraph->count(), 3);
    EXPECT_EQ(view_.cbGraph->itemText(2), "Show Triple Product");
    EXPECT_EQ(view_.cbGraph->currentText(), "Show Bicoherence");
    EXPECT_TRUE(view_.cbFilter->isHidden());
    EXPECT_TRUE(view_.cbTest->isHidden());
    EXPECT_TRUE(view_.cbPScale->isHidden());
    EXPECT_TRUE(view_.lPScale->isHidden());
    EXPECT_FALSE(view_.cbSpeed->isEnabled()) << "online";
    EXPECT_TRUE(view_.tbTime->isHidden());
    EXPECT_EQ(view_.lStartTime->text(), "");
    view_.bQuit->click();
    EXPECT_FALSE(core_.run.WindowOpen);
  }
}

TEST_F(SettingsWindowsTest, MapTypeAndScalesQueueTheirRedrawsAndTypedTextChangesNothing) {
  TForm1& w = *window_;
  w.oView->trigger();
  Pick(view_.cbGraph, "Show Triple Product");
  EXPECT_EQ(w.lBsp->text(), "Triple Product");
  EXPECT_EQ(s_.FigType, 2);
  Pick(view_.cbScale, "100mcV");
  EXPECT_EQ(s_.Wave_Scale, 1.0f);
  EXPECT_EQ(Queued(), (std::vector<qs::DrawRequest>{{qs::BicReset, 2, 0}, {qs::WaveReset, 0, 0}}));

  Type(view_.cbScale, "300mcV");
  Type(view_.cbGraph, "Show mBIC");
  EXPECT_EQ(s_.Wave_Scale, 1.0f);
  EXPECT_EQ(s_.WaveScaleIndex, 2);
  EXPECT_EQ(s_.FigType, 2);
  EXPECT_EQ(view_.cbScale->currentText(), "100mcV");
  EXPECT_TRUE(Queued().empty());

  view_.cbRawWave->click();
  EXPECT_FALSE(s_.Show_Raw);
  s_.Show_Raw = true;  // changed elsewhere: a click on the background shows it
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 290), view_.mapToGlobal(QPointF(4, 290)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&view_, &press);
  EXPECT_TRUE(view_.cbRawWave->isChecked());
}

TEST_F(SettingsWindowsTest, TheStartTimeControlsMoveTogetherAndTheReplayBeginsThere) {
  TForm1& w = *window_;
  ChooseRecording(10, 0, 700);
  w.oView->trigger();
  EXPECT_TRUE(view_.cbSpeed->isEnabled());
  EXPECT_EQ(view_.lStartTime->text(), "10:00:00");
  EXPECT_EQ(view_.lEndTime->text(), "10:11:40");
  EXPECT_EQ(view_.lStartTime->toolTip(), "Recording started time");
  EXPECT_FALSE(view_.tbTime->isHidden());
  EXPECT_EQ(view_.tbTime->maximum(), 700);
  view_.tbTime->setValue(600);
  EXPECT_EQ(view_.lSetTime->text(), "10:10:00");
  EXPECT_EQ(view_.udTime->value(), 600);
  view_.udTime->setValue(601);
  EXPECT_EQ(view_.tbTime->value(), 601);
  EXPECT_EQ(view_.lSetTime->text(), "10:10:01");
  view_.bQuit->click();

  w.bStart->click();
  EXPECT_EQ(core_.run.ClockSec, 36601u);
  EXPECT_TRUE(w.Timer->isActive());
  EXPECT_EQ(w.Timer->interval(), 1000);

  // During the run: a new pace at once, but no new start point.
  w.oView->trigger();
  EXPECT_TRUE(view_.tbTime->isHidden());
  EXPECT_TRUE(view_.udTime->isHidden());
  Pick(view_.cbSpeed, "x3");
  EXPECT_EQ(w.Timer->interval(), 267);
  EXPECT_TRUE(w.Timer->isActive());
  Pick(view_.cbSpeed, "x8");
  EXPECT_EQ(w.Timer->interval(), 126);
  EXPECT_EQ(view_.cbSpeed->maxVisibleItems(), 8);
}

TEST_F(SettingsWindowsTest, TimesOfARecordingThatPassesMidnightGoOnAbove23Hours) {
  ChooseRecording(23, 55, 700);
  window_->oView->trigger();
  EXPECT_EQ(view_.lEndTime->text(), "24:06:40");
  view_.tbTime->setValue(600);
  EXPECT_EQ(view_.lSetTime->text(), "24:05:00");
}

}  // namespace
