// The windows with their real widgets over the real run controller, without
// worker threads: only that each control reaches its handler and that the
// windows show what the controller decided. The behaviour itself is tested
// headless, in RunControllerTest and in tests/config for the settings windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>

#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "config/ProcessingSettingsWindow.h"
#include "config/ViewSettingsWindow.h"
#include "link/ComSettingsWindow.h"
#include "link/MonitorLink.h"
#include "logbook/LogWindow.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"
#include "record/RecordTestFiles.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompter.h"

namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_);
    core_.logLines.Append("10:01:04,20.84");  // the log window's first line
    window_ = std::make_unique<TForm1>(core_, bridge_, prompter_, noLink_, records_, qs::WorkerFactory{},
                                       (dir_ / "none.ini").string());
    window_->SetSecondaryWindows({.processing = &processing_, .view = &view_, .log = &log_, .com = &com_});
    window_->show();
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Triggers a menu item or clicks a button: the last box or dialog shown.
  std::string Use(QObject* control) {
    QMetaObject::invokeMethod(control, qobject_cast<QAction*>(control) ? "trigger" : "click");
    const auto& s = prompter_.shown.back();
    return s.kind + ": " + s.text +
           (s.caption.empty() ? " ." + prompter_.dialogs.back().defaultExt : " [" + s.caption + "]");
  }

  const fs::path dir_ = fs::temp_directory_path() / ("qs_windows_" + std::to_string(::getpid()));
  qs::AppCore core_;
  qs::QueuedUiBridge bridge_;
  qs::test::ScriptedPrompter prompter_;
  qs::NoMonitorLink noLink_;
  qs::RecordFileService records_{core_};
  TForm4 processing_;
  TForm5 view_;
  TForm7 log_;
  TForm3 com_;
  std::unique_ptr<TForm1> window_;  // last: destroyed before what it uses
};

TEST_F(MainWindowTest, EveryButtonMenuItemAndWindowReachesItsHandler) {
  TForm1& w = *window_;
  // What each shows first, online and idle; every dialog is cancelled.
  prompter_.files.assign(10, std::nullopt);
  prompter_.answers = {false, false};
  const std::pair<QObject*, const char*> rows[] = {
      {w.bStart, "error: COM port open error [COM Error]"},
      {w.oVersion, "inform: Ver 4.17B2 (for V2000/XP/VISTA) [Version]"},
      {w.oExit, "ask: Are you sure to Exit [Quellscope]"},
      {w.oWaveB, "save: Packet Data File Save in Binary .eeg"},
      {w.oBicBinary, "save: BIC Data File Save in Binary .bda"},
      {w.oBicAscii, "save: BIC Data File Save in Ascii .dat"},
      {w.oPowBinary, "save: ShowPower Spectrum Data File Save in Binary .bda"},
      {w.oPowAscii, "save: ShowPower Spectrum Data File Save in Ascii .dat"},
      {w.oAmp, "save: ShowPower Spectrum Data File Save in Ascii .csv"},
      {w.bSnap, "save: Snap Data File Save in Ascii .dat"},
      {w.oEdf, "save: Snap Data File Save in Ascii .dat"},  // disabled online
      {w.oOffline, "open: Wave Data File Open .eeg"},
      {w.oWaveA, "save: Wave Data (at 128Hz sampling) Save in ASCII .dat"},
      {w.oBISVal, "save: Wave Data (at 128Hz sampling) Save in ASCII .csv"},
      {w.oEdf, "error: File not selected [File Error]"},
  };
  for (const auto& [control, shown] : rows) EXPECT_EQ(Use(control), shown);
  // The window never closes itself: it asks, and a Yes ends the program.
  EXPECT_FALSE(w.close() || w.RequestedExitCode().has_value()) << "No keeps the program running";
  EXPECT_EQ(prompter_.shown.back().text, "Are you sure to Exit?");
  for (int i = 0; i < 2; ++i) w.oOnline->trigger();  // clicking the checked mode again must not uncheck it
  EXPECT_TRUE(w.oOnline->isChecked() && !w.oOffline->isChecked());

  w.oLog->trigger();
  EXPECT_EQ(log_.reLog->toPlainText(), "10:01:04,20.84");
  // Added lines are appended; a line changed in place (a comment attached to
  // it) redraws the view.
  core_.logLines[0] += ",intubation";
  w.LogChanged();
  core_.logLines.Append("10:02:04,21.00");
  w.LogChanged();
  EXPECT_EQ(log_.reLog->toPlainText(), "10:01:04,20.84,intubation\n10:02:04,21.00");
  prompter_.answers = {true};
  log_.panel->bClear->click();
  EXPECT_TRUE(log_.reLog->toPlainText().isEmpty()) << "Clear reaches the log and the window shows it";
  w.oLog->trigger();  // the second click closes it
  EXPECT_FALSE(log_.isVisible() || core_.run.WindowOpen);
  w.oCOM->trigger();
  EXPECT_TRUE(com_.isVisible() && core_.run.WindowOpen);
  com_.close();  // by its close box
  EXPECT_FALSE(core_.run.WindowOpen);

  for (QPushButton* b : {w.bStepExec, w.bYes, w.bNo, w.bPrev, w.bNext, w.bComment}) b->click();
  EXPECT_TRUE(core_.run.StepMode && core_.run.CommentInputOpen && !core_.run.EpochAccepted) << "No came last";
  EXPECT_EQ(core_.run.StepCredits, 2);
  std::vector<int> pages;
  for (qs::DrawRequest r; core_.drawQueue.Front(r); core_.drawQueue.PopFront()) pages.push_back(r.kind);
  EXPECT_EQ(std::vector<int>(pages.end() - 2, pages.end()), (std::vector<int>{qs::PrevHour, qs::NextHour}));
  // Two owners of one key would make Qt fire neither.
  int ctrlO = 0;
  for (QAction* a : w.findChildren<QAction*>()) ctrlO += a->shortcut() == QKeySequence("Ctrl+O") ? 1 : 0;
  for (QShortcut* s : w.findChildren<QShortcut*>()) ctrlO += s->key() == QKeySequence("Ctrl+O") ? 1 : 0;
  EXPECT_EQ(ctrlO, 1);

  // The splash frees itself after four seconds.
  QPointer<TForm6> splash = new TForm6;
  splash->ShowNow();
  ASSERT_TRUE(QMetaObject::invokeMethod(&splash->Timer, "timeout", Qt::DirectConnection));
  EXPECT_TRUE(qs::test::ProcessEventsUntil([&] { return splash.isNull(); }, 1000));

  // The settings windows' controls reach their settings, the main window and the replay.
  qs::AppSettings& s = core_.settings;
  w.oProcess->trigger();
  EXPECT_TRUE(processing_.isVisible() && !w.isEnabled() && processing_.eBS_Thres->text() == "5");
  processing_.cbTrend->click();
  emit processing_.cbBispCount->activated(0);
  processing_.eBS_Thres->setText("7");
  processing_.cbBW->click();  // another control in between keeps the typed text
  processing_.bApply->click();
  EXPECT_TRUE(!s.Proc_Trend && s.Bisp_Dur == 6 && s.BS_Threshold == 7.0f);
  processing_.bQuit->click();
  EXPECT_TRUE(w.isEnabled() && !core_.run.WindowOpen && s.GrayScale) << "GrayScale committed on closing";

  qs::test::RecordBuilder b(qs::RawLayout::TwoChannels128, 10, 0, 0);
  for (int i = 0; i < 700; ++i) b.AddSecond();
  b.Save(dir_ / "case.eeg");
  prompter_.files = {(dir_ / "case.eeg").string()};
  w.oOffline->trigger();
  w.oView->trigger();
  EXPECT_TRUE(view_.isVisible() && w.isEnabled());
  emit view_.cbGraph->activated(2);
  EXPECT_EQ(w.lBsp->text(), "Triple Product");
  EXPECT_GE(w.lBsp->width(), w.lBsp->sizeHint().width()) << "a label is never clipped";
  view_.udTime->setValue(601);
  EXPECT_EQ(view_.lSetTime->text() + QString::number(view_.tbTime->value()), "10:10:01601");
  view_.bQuit->click();

  w.bStart->click();
  EXPECT_EQ(core_.run.ClockSec, 36601u) << "the replay begins at the chosen second";
  EXPECT_FALSE(w.close() || w.mnFile->menuAction()->isEnabled()) << "a run: no question, no menu";
  // Qt fires the shortcuts of items in a disabled menu: they are off as well,
  // and the menu's own key does not open it.
  emit w.findChild<QShortcut*>("mnModeShortcut")->activated();
  EXPECT_FALSE(w.oWaveB->isEnabled() || w.oExit->isEnabled() || w.oOnline->isEnabled() ||
               w.menuBar()->activeAction());
  w.oView->trigger();
  emit view_.cbSpeed->activated(1);
  EXPECT_TRUE(w.Timer->isActive() && w.Timer->interval() == s.ReplayIntervalMs && s.ReplayIntervalMs != 1000);
  QMetaObject::invokeMethod(w.Timer, "timeout", Qt::DirectConnection);
  EXPECT_TRUE(core_.sync.CalcDataEvent.IsSet()) << "the timer paces the replay";
  w.bPause->click();
  EXPECT_EQ(w.bPause->text() + (w.Timer->isActive() ? " on" : ""), "Cont");
}

}  // namespace
