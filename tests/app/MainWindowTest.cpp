// The main window with its real widgets, real run controller and real worker
// threads: the layout at start-up, what the settings file changes in it, the
// menus, and the wiring of clicks, closing and the secondary windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/Workers.h"
#include "app/SpareTrendWindow.h"
#include "app/SplashWindow.h"
#include "config/ProcessingSettingsWindow.h"
#include "config/ViewSettingsWindow.h"
#include "link/ComSettingsWindow.h"
#include "link/MonitorLink.h"
#include "logbook/CommentInputWindow.h"
#include "logbook/CommentsWindow.h"
#include "logbook/LogWindow.h"
#include "platform/TestUiBridge.h"
#include "record/RecordFiles.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompter.h"

namespace {

namespace fs = std::filesystem;
using qs::test::ScriptedPrompter;

const QColor kNavy(0, 0, 0x80), kBlue(0, 0, 0xFF), kRed(0xFF, 0, 0), kMaroon(0x80, 0, 0), kGreen(0, 0x80, 0),
    kTeal(0, 0x80, 0x80), kFuchsia(0xFF, 0, 0xFF), kPurple(0x80, 0, 0x80), kBlack(0, 0, 0);

// A monitor link whose threads come up but never hear from the monitor: the
// run stays in progress, waiting for its first answer.
class SilentMonitorLink final : public qs::MonitorLink {
 public:
  qs::LinkStartOutcome Start(std::uint32_t) override { return qs::LinkStartOutcome::Started; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qs_window_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    window_.reset();
    fs::remove_all(dir_);
  }

  // Opens the window with these settings-file lines; none means no file at
  // all, so every setting keeps its default.
  TForm1& Open(const std::vector<std::string>& settingsLines = {}, qs::MonitorLink* link = nullptr) {
    const fs::path settings = dir_ / "Kvo_V2000.ini";
    if (!settingsLines.empty()) {
      std::ofstream out(settings, std::ios::binary);
      for (const std::string& line : settingsLines) out << line << "\r\n";
    }
    window_ = std::make_unique<TForm1>(core_, bridge_, prompter_, link ? *link : noLink_, records_,
                                       qs::ProgramWorkers(), settings.string());
    EXPECT_FALSE(window_->CreationFailed());
    return *window_;
  }

  fs::path dir_;
  qs::AppCore core_;
  qs::TestUiBridge bridge_;
  ScriptedPrompter prompter_;
  qs::NoMonitorLink noLink_;
  qs::NoRecordFiles records_;
  std::unique_ptr<TForm1> window_;  // last: destroyed before what it uses
};

void ExpectWindowFont(const QWidget* w, int pixelSize) {
  EXPECT_EQ(w->font().family(), "Times New Roman") << w->objectName().toStdString();
  EXPECT_EQ(w->font().pixelSize(), pixelSize) << w->objectName().toStdString();
  EXPECT_TRUE(w->font().bold()) << w->objectName().toStdString();
}

// ------------------------------------------------------------ layout at start-up

TEST_F(MainWindowTest, ButtonsSitAtTheirPlacesWithCaptionsAndHints) {
  TForm1& w = Open();
  struct Row {
    QPushButton* button;
    const char* name;
    QRect place;
    const char* caption;
    const char* hint;
  };
  const Row rows[] = {
      {w.bStart, "bStart", {8, 8, 73, 17}, "Start", "Start Processing"},
      {w.bStop, "bStop", {8, 32, 73, 17}, "Stop", "Stop Processing"},
      {w.bPause, "bPause", {96, 8, 73, 17}, "Pause", "Pause Processing"},
      {w.bComment, "bComment", {184, 8, 73, 17}, "Comment", "Open Comment Window"},
      {w.bYes, "bYes", {136, 31, 33, 16}, "Yes", "Accept epoch"},
      {w.bNo, "bNo", {136, 50, 33, 16}, "No", "Accept epoch"},
      {w.bStepExec, "bStepExec", {184, 31, 65, 17}, "Step Exec", "Step Manipulation"},
      {w.bSnap, "bSnap", {184, 49, 65, 17}, "Snap", "Snap shot Save to file"},
      {w.bPrev, "bPrev", {640, 0, 25, 17}, "<", "To previous hour"},
      {w.bNext, "bNext", {664, 0, 25, 17}, ">", "To next hour"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_NE(r.button, nullptr);
    EXPECT_EQ(r.button->objectName(), r.name);
    EXPECT_EQ(r.button->parentWidget(), w.centralWidget());
    EXPECT_EQ(r.button->geometry(), r.place);
    EXPECT_EQ(r.button->text(), r.caption);
    EXPECT_EQ(r.button->toolTip(), r.hint);
    ExpectWindowFont(r.button, 13);
  }
}

TEST_F(MainWindowTest, LabelsSitAtTheirPlacesInTheirColours) {
  TForm1& w = Open();
  struct Row {
    QLabel* label;
    const char* name;
    QPoint place;
    const char* caption;
    QColor colour;
  };
  const Row rows[] = {
      {w.lBsp, "lBsp", {8, 98}, "Bicoherence", kNavy},  // the default map type
      {w.lPower, "lPower", {8, 269}, "Power spectrum", kBlue},
      {w.lWaveform, "lWaveform", {8, 489}, "Waveform", kBlue},
      {w.lNoise, "lNoise", {83, 489}, "", kRed},  // emptied at creation
      {w.lTrend, "lTrend", {280, 0}, "Trend", kBlue},
      {w.lRecording, "lRecording", {528, 0}, "On Recording", kRed},
      {w.lTime, "lTime", {712, 0}, "00:00:00", kBlack},
      {w.lSQI, "lSQI", {616, 525}, "SQI", kBlue},
      {w.lSEF90, "lSEF90", {712, 24}, "SEF95", kBlue},
      {w.lBSR, "lBSR", {720, 68}, "BSR", kMaroon},
      {w.lBratio, "lBratio", {704, 116}, "Beta Ratio", kGreen},
      {w.lSynchFS, "lSynchFS", {704, 160}, "BispRatio", kNavy},
      {w.lAmp, "lAmp", {704, 208}, "Amplitude", kTeal},
      {w.lBIS, "lBIS", {720, 252}, "BIS", kFuchsia},
      {w.lPBICh, "lPBICh", {703, 294}, "pBIChigh", kNavy},
      {w.lPBICl, "lPBICl", {703, 336}, "pBIClow", kNavy},
      {w.lPoincare, "lPoincare", {706, 380}, "Poincare", kPurple},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_NE(r.label, nullptr);
    EXPECT_EQ(r.label->objectName(), r.name);
    EXPECT_EQ(r.label->pos(), r.place);
    EXPECT_EQ(r.label->text(), r.caption);
    EXPECT_EQ(r.label->palette().color(QPalette::WindowText), r.colour);
    ExpectWindowFont(r.label, 16);
    // Labels size themselves to their caption: nothing is clipped.
    if (!r.label->text().isEmpty()) {
      EXPECT_GE(r.label->width(), r.label->sizeHint().width());
    }
  }
}

TEST_F(MainWindowTest, GraphImagesHaveTheirPlacesSizesAndHints) {
  TForm1& w = Open();
  struct Row {
    QLabel* image;
    TForm1::Graph graph;
    const char* name;
    QRect place;
    const char* hint;
  };
  const Row rows[] = {
      {w.BicGraph, TForm1::Graph::Bic, "BicGraph", {8, 123, 265, 140}, ""},
      {w.PowerGraph, TForm1::Graph::Power, "PowerGraph", {8, 294, 265, 138}, ""},
      {w.WaveGraph, TForm1::Graph::Wave, "WaveGraph", {8, 514, 576, 144}, "4 sec duration of EEG wave"},
      {w.TrendGraph, TForm1::Graph::Trend, "TrendGraph", {280, 20, 420, 488}, ""},
      {w.SQIGraph, TForm1::Graph::Sqi, "SQIGraph", {616, 550, 125, 100}, "Signal Quality Index"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.image->objectName(), r.name);
    EXPECT_EQ(w.GraphImage(r.graph), r.image);
    EXPECT_EQ(r.image->geometry(), r.place);
    EXPECT_EQ(r.image->pixmap().size(), r.place.size());
    EXPECT_EQ(r.image->toolTip(), r.hint);
  }
}

TEST_F(MainWindowTest, ValueBoxesAreReadOnlyAndShowTheNotAvailableMark) {
  TForm1& w = Open();
  struct Row {
    QLineEdit* box;
    const char* name;
    QPoint place;
    const char* hint;
  };
  const Row rows[] = {
      {w.eSEF90, "eSEF90", {712, 40}, "Spectral Edge Frequency 95%"},
      {w.eBSR, "eBSR", {712, 88}, "Burst Suppression Ratio"},
      {w.eBratio, "eBratio", {712, 136}, "Relative Beta Ratio"},
      {w.eSyncFS, "eSyncFS", {712, 184}, "Bispectrum Ratio"},
      {w.eAmp, "eAmp", {712, 232}, "Mean Amplitude"},
      {w.eBIS, "eBIS", {712, 272}, "Bispectral Index"},
      {w.ePBICh, "ePBICh", {712, 312}, "Bispectral Index"},
      {w.ePBICl, "ePBICl", {712, 352}, "Bispectral Index"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.box->objectName(), r.name);
    EXPECT_EQ(r.box->geometry(), QRect(r.place, QSize(49, 23)));
    EXPECT_TRUE(r.box->isReadOnly());
    EXPECT_EQ(r.box->text(), "***");
    EXPECT_EQ(r.box->toolTip(), r.hint);
    ExpectWindowFont(r.box, 13);
  }
  EXPECT_EQ(w.ePoincare->geometry(), QRect(712, 405, 49, 23));
  EXPECT_TRUE(w.ePoincare->isReadOnly());
}

TEST_F(MainWindowTest, EveryControlLiesWithinTheClientArea) {
  TForm1& w = Open({"OptionButton:true"});  // with the optional controls shown
  const QRect client = w.centralWidget()->rect();
  for (QWidget* c : w.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (c->isHidden()) continue;
    EXPECT_TRUE(client.contains(c->geometry())) << c->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, OptionalControlsAreHiddenByDefault) {
  TForm1& w = Open();
  for (QWidget* c : std::vector<QWidget*>{w.bYes, w.bNo, w.bStepExec, w.bSnap, w.lPBICh, w.lPBICl, w.ePBICh,
                                          w.ePBICl, w.lPoincare, w.ePoincare, w.lRecording})
    EXPECT_TRUE(c->isHidden()) << c->objectName().toStdString();
  for (QWidget* c : std::vector<QWidget*>{w.bStart, w.bStop, w.bPause, w.bComment, w.bPrev, w.bNext, w.lBsp,
                                          w.BicGraph, w.lTime, w.eSEF90, w.eBIS, w.SQIGraph, w.TrendGraph})
    EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
}

TEST_F(MainWindowTest, OptionButtonShowsTheOptionalControlsButNeverThePoincareValue) {
  TForm1& w = Open({"OptionButton:true"});
  for (QWidget* c :
       std::vector<QWidget*>{w.bYes, w.bNo, w.bStepExec, w.bSnap, w.lPBICh, w.lPBICl, w.ePBICh, w.ePBICl})
    EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
  EXPECT_TRUE(w.lPoincare->isHidden());
  EXPECT_TRUE(w.ePoincare->isHidden());
}

struct MapTitleCase {
  std::vector<std::string> lines;
  const char* title;
};

void PrintTo(const MapTitleCase& c, std::ostream* os) {
  *os << '"' << c.title << '"';
}

class MainWindowMapTitle : public MainWindowTest, public ::testing::WithParamInterface<MapTitleCase> {};

TEST_P(MainWindowMapTitle, TheMapTitleFollowsTheMapType) {
  TForm1& w = Open(GetParam().lines);
  EXPECT_EQ(w.lBsp->text(), GetParam().title);
  EXPECT_GE(w.lBsp->width(), w.lBsp->sizeHint().width());  // resized with its caption
}

INSTANTIATE_TEST_SUITE_P(FigType, MainWindowMapTitle,
                         ::testing::Values(MapTitleCase{{"FigType:BISP"}, "Bispectrum"},
                                           MapTitleCase{{"FigType:BIC"}, "Bicoherence"},
                                           MapTitleCase{{"FigType:TPR"}, "Triple Product"},
                                           MapTitleCase{{"OptionButton:true", "FigType:mBIC"}, "mBIC"}),
                         [](const ::testing::TestParamInfo<MapTitleCase>& info) {
                           std::string name = info.param.title;
                           std::erase(name, ' ');
                           return name;
                         });

TEST_F(MainWindowTest, SynchFastSlowRenamesTheRatioAndItsHint) {
  TForm1& w = Open({"SynchFastSlow?:true"});
  EXPECT_EQ(w.lSynchFS->text(), "SynchFS");
  EXPECT_EQ(w.eSyncFS->toolTip(), "SynchFastSlow");
}

TEST_F(MainWindowTest, TheClientAreaIsFixedAndTheWindowCannotBeResizedOrMaximised) {
  TForm1& w = Open();
  EXPECT_EQ(w.windowTitle(), "Quellscope for A-2000/XP/VISTA");
  ASSERT_NE(w.centralWidget(), nullptr);
  EXPECT_EQ(w.centralWidget()->size(), QSize(778, 672));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

  w.show();
  const QSize shown = w.size();
  w.resize(shown + QSize(200, 100));
  EXPECT_EQ(w.size(), shown);
  EXPECT_EQ(w.centralWidget()->size(), QSize(778, 672));
  EXPECT_EQ(w.centralWidget()->y(), w.menuBar()->height());  // the menu bar sits above the client area
}

TEST_F(MainWindowTest, TheReplayTimerIsStoppedWithItsDesignPeriod) {
  TForm1& w = Open();
  EXPECT_FALSE(w.Timer->isActive());
  EXPECT_EQ(w.Timer->interval(), 500);
}

// ------------------------------------------------------------ menus

// The captions from the command up to the menu bar, e.g. "File(F)/Save/Wave/Binary".
std::string MenuPath(QAction* action) {
  std::string path = action->text().toStdString();
  for (QObject* owner = action->parent(); auto* menu = qobject_cast<QMenu*>(owner); owner = menu->parent())
    path.insert(0, menu->title().toStdString() + "/");
  return path;
}

TEST_F(MainWindowTest, MenuBarHoldsTheFourMenusAndTheVersionCommand) {
  TForm1& w = Open();
  QStringList titles;
  for (QAction* a : w.menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"File(F)", "Mode(M)", "Options(O)", "Window(W)", "Version(V)"}));
  EXPECT_EQ(w.mnFile->menuAction()->toolTip(), "Data Save");
  EXPECT_EQ(w.mnMode->menuAction()->toolTip(), "Mode Select");
  EXPECT_EQ(w.mnOptions->menuAction()->toolTip(), "Set Options");
  EXPECT_EQ(w.oVersion->toolTip(), "Show Version");
  EXPECT_EQ(w.oVersion->shortcut(), QKeySequence("Ctrl+V"));
  EXPECT_EQ(w.oVersion->menu(), nullptr);  // a command, not a menu
}

TEST_F(MainWindowTest, MenuCommandsHaveTheirCaptionsAndShortcuts) {
  TForm1& w = Open();
  struct Row {
    QAction* action;
    const char* path;
    const char* shortcut;
  };
  const Row rows[] = {
      {w.oWaveB, "File(F)/Save/Wave/Binary", "F1"},
      {w.oWaveA, "File(F)/Save/Wave/ASCII", "F6"},
      {w.oBicBinary, "File(F)/Save/Bispec/Binary", "F2"},
      {w.oBicAscii, "File(F)/Save/Bispec/ASCII", "F3"},
      {w.oPowBinary, "File(F)/Save/Powspec/Binary", "F4"},
      {w.oPowAscii, "File(F)/Save/Powspec/ASCII", "F5"},
      {w.oBISVal, "File(F)/Save/BIS Varaibles", ""},
      {w.oAmp, "File(F)/Save/Amplitude", ""},
      {w.oExit, "File(F)/Exit", "F10"},
      {w.oOnline, "Mode(M)/Online", "Ctrl+O"},
      {w.oOffline, "Mode(M)/Offline", "Ctrl+B"},
      {w.oProcess, "Options(O)/Set Processing", "Ctrl+F1"},
      {w.oView, "Options(O)/Set View", "Ctrl+F2"},
      {w.oCOM, "Options(O)/Set COM", "Ctrl+F3"},
      {w.oLog, "Window(W)/Open Log", "Ctrl+F4"},
      {w.oComment, "Window(W)/Open Comment", "Ctrl+F5"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path);
    EXPECT_EQ(MenuPath(r.action), r.path);
    EXPECT_EQ(r.action->shortcut(), QKeySequence(r.shortcut));
  }
  // Exit is set apart from the Save menu.
  const QList<QAction*> fileItems = w.mnFile->actions();
  ASSERT_EQ(fileItems.size(), 3);
  EXPECT_TRUE(fileItems[1]->isSeparator());
}

TEST_F(MainWindowTest, CtrlOBelongsToOnlineAloneAndCtrlFMWOpenTheirMenus) {
  TForm1& w = Open();
  int ctrlO = 0;
  for (QAction* a : w.findChildren<QAction*>())
    if (a->shortcut() == QKeySequence("Ctrl+O")) ++ctrlO;
  for (QShortcut* s : w.findChildren<QShortcut*>())
    if (s->key() == QKeySequence("Ctrl+O")) ++ctrlO;
  EXPECT_EQ(ctrlO, 1);  // two owners would make Qt fire neither

  w.show();
  for (auto [menu, key] :
       {std::pair{w.mnFile, "Ctrl+F"}, std::pair{w.mnMode, "Ctrl+M"}, std::pair{w.mnWindow, "Ctrl+W"}}) {
    SCOPED_TRACE(key);
    QShortcut* opener = nullptr;
    for (QShortcut* s : w.findChildren<QShortcut*>())
      if (s->key() == QKeySequence(key)) opener = s;
    ASSERT_NE(opener, nullptr);
    emit opener->activated();
    EXPECT_EQ(w.menuBar()->activeAction(), menu->menuAction());
    EXPECT_TRUE(menu->isVisible());
    menu->close();
  }
}

TEST_F(MainWindowTest, AtStartUpOnlineIsCheckedAndOnlyTheOfflineExportsAreDisabled) {
  TForm1& w = Open();
  EXPECT_TRUE(w.oOnline->isCheckable());
  EXPECT_TRUE(w.oOffline->isCheckable());
  EXPECT_TRUE(w.oOnline->isChecked());
  EXPECT_FALSE(w.oOffline->isChecked());
  EXPECT_FALSE(w.oWaveA->isEnabled());
  EXPECT_FALSE(w.oBISVal->isEnabled());
  for (QAction* a :
       {w.mnFile->menuAction(), w.mnMode->menuAction(), w.mnOptions->menuAction(), w.mnWindow->menuAction(),
        w.oWaveB, w.oBicBinary, w.oBicAscii, w.oPowBinary, w.oPowAscii, w.oAmp, w.oExit, w.oOnline,
        w.oOffline, w.oProcess, w.oView, w.oCOM, w.oLog, w.oComment, w.oVersion})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
}

TEST_F(MainWindowTest, ClickingTheCheckedModeAgainKeepsItChecked) {
  TForm1& w = Open();
  w.oOnline->trigger();  // a checkable item unchecks itself on a click
  EXPECT_TRUE(w.oOnline->isChecked());
  EXPECT_FALSE(w.oOffline->isChecked());
}

TEST_F(MainWindowTest, TheVersionCommandShowsTheVersionBox) {
  TForm1& w = Open();
  w.oVersion->trigger();
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].kind, "inform");  // a notice with one OK button
  EXPECT_EQ(prompter_.shown[0].text, "Ver 4.17B2 (for V2000/XP/VISTA)");
  EXPECT_EQ(prompter_.shown[0].caption, "Version");
}

// ------------------------------------------------------------ runs, closing, exit

void ExpectIdleControls(TForm1& w) {
  EXPECT_TRUE(w.bStart->isEnabled());
  EXPECT_FALSE(w.bStop->isEnabled());
  EXPECT_FALSE(w.bPause->isEnabled());
  EXPECT_TRUE(w.bComment->isEnabled());
  for (QAction* a : {w.mnFile->menuAction(), w.mnMode->menuAction(), w.oProcess, w.oCOM, w.oView, w.oOnline,
                     w.oOffline, w.oExit})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  EXPECT_TRUE(w.lRecording->isHidden());
  EXPECT_FALSE(w.Timer->isActive());
}

TEST_F(MainWindowTest, StartingOnlineWithoutAPortReportsTheErrorAndReturnsToIdle) {
  TForm1& w = Open();
  w.bStart->click();

  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].kind, "error");
  EXPECT_EQ(prompter_.shown[0].text, "COM port open error");
  EXPECT_EQ(prompter_.shown[0].caption, "COM Error");
  ExpectIdleControls(w);
  EXPECT_TRUE(w.oOnline->isChecked());
}

TEST_F(MainWindowTest, DuringARunTheMenusAndTheirShortcutsAreDisabled) {
  SilentMonitorLink link;
  TForm1& w = Open({}, &link);
  w.bStart->click();

  EXPECT_FALSE(w.bStart->isEnabled());
  EXPECT_FALSE(w.bStop->isEnabled());  // until the monitor answers
  EXPECT_TRUE(w.bComment->isEnabled());
  // A disabled item cannot fire by its shortcut either.
  for (QAction* a : {w.mnFile->menuAction(), w.mnMode->menuAction(), w.oOnline, w.oOffline, w.oWaveB, w.oExit,
                     w.oProcess, w.oCOM})
    EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  EXPECT_TRUE(w.oView->isEnabled());
  EXPECT_TRUE(w.oLog->isEnabled());
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(MainWindowTest, ClosingTheWindowDuringARunDoesNothingAndAsksNothing) {
  SilentMonitorLink link;
  TForm1& w = Open({}, &link);
  w.show();
  w.bStart->click();
  ASSERT_FALSE(w.bStart->isEnabled());

  EXPECT_FALSE(w.close());  // an unscripted question would throw here

  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(prompter_.shown.empty());
  EXPECT_FALSE(w.bStart->isEnabled());  // still running
  EXPECT_FALSE(w.RequestedExitCode().has_value());
}

TEST_F(MainWindowTest, ClosingInIdleAsksAndNoKeepsEverythingAsItWas) {
  TForm1& w = Open();
  w.show();
  prompter_.answers = {false};

  EXPECT_FALSE(w.close());

  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].kind, "ask");
  EXPECT_EQ(prompter_.shown[0].text, "Are you sure to Exit?");
  EXPECT_EQ(prompter_.shown[0].caption, "Quellscope");
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.RequestedExitCode().has_value());
  ExpectIdleControls(w);
  EXPECT_TRUE(w.oOnline->isChecked());
}

TEST_F(MainWindowTest, ClosingInIdleAndAnsweringYesEndsTheProgramWithCodeZero) {
  TForm1& w = Open();
  w.show();
  prompter_.answers = {true};

  EXPECT_FALSE(w.close());  // the window itself stays; the program ends

  EXPECT_EQ(w.RequestedExitCode(), 0);
  EXPECT_TRUE(prompter_.Saw("Are you sure to Exit?", "Quellscope"));
}

TEST_F(MainWindowTest, TheExitCommandAsksWithoutAQuestionMark) {
  TForm1& w = Open();
  prompter_.answers = {false};
  w.oExit->trigger();
  EXPECT_TRUE(prompter_.Saw("Are you sure to Exit", "Quellscope"));
  EXPECT_FALSE(w.RequestedExitCode().has_value());
}

// ------------------------------------------------------------ what the window shows for the controller

TEST_F(MainWindowTest, TheTimerFollowsTheControlsState) {
  TForm1& w = Open();
  qs::MainControls c = w.Controller().Controls();
  c.timerEnabled = true;
  c.timerIntervalMs = 250;
  w.ControlsChanged(c);
  EXPECT_TRUE(w.Timer->isActive());
  EXPECT_EQ(w.Timer->interval(), 250);

  c.timerEnabled = false;
  w.ControlsChanged(c);
  EXPECT_FALSE(w.Timer->isActive());
}

TEST_F(MainWindowTest, ControlsChangedShowsCaptionsTextsAndVisibility) {
  TForm1& w = Open();
  qs::MainControls c = w.Controller().Controls();
  c.bPause = true;
  c.bPauseCaption = "Cont";
  c.lRecordingVisible = true;
  c.lNoise = "Noisy";
  c.eBIS = "45.0";
  c.optionControlsVisible = true;
  c.oOnlineChecked = false;
  c.oOfflineChecked = true;
  c.oWaveA = true;
  w.ControlsChanged(c);

  EXPECT_TRUE(w.bPause->isEnabled());
  EXPECT_EQ(w.bPause->text(), "Cont");
  EXPECT_FALSE(w.lRecording->isHidden());
  EXPECT_EQ(w.lNoise->text(), "Noisy");
  EXPECT_GE(w.lNoise->width(), w.lNoise->sizeHint().width());
  EXPECT_EQ(w.eBIS->text(), "45.0");
  EXPECT_FALSE(w.bYes->isHidden());
  EXPECT_FALSE(w.oOnline->isChecked());
  EXPECT_TRUE(w.oOffline->isChecked());
  EXPECT_TRUE(w.oWaveA->isEnabled());
}

TEST_F(MainWindowTest, ShowImageReplacesTheGraphPicture) {
  TForm1& w = Open();
  QImage image(125, 100, QImage::Format_RGB32);
  image.fill(QColor(0, 255, 0));
  w.ShowImage(TForm1::Graph::Sqi, image);
  EXPECT_EQ(w.SQIGraph->pixmap().toImage().pixelColor(10, 10), QColor(0, 255, 0));
}

TEST_F(MainWindowTest, LogAndCommentCommandsWorkWithoutSecondaryWindows) {
  TForm1& w = Open();
  w.oLog->trigger();
  EXPECT_TRUE(core_.run.WindowOpen);
  w.oLog->trigger();
  EXPECT_FALSE(core_.run.WindowOpen);
}

TEST_F(MainWindowTest, SecondaryWindowsAreShownClosedAndReportTheirClosing) {
  TForm1& w = Open();
  TForm7 log;
  TForm3 com;
  SecondaryWindows windows;
  windows.log = &log;
  windows.com = &com;
  w.SetSecondaryWindows(windows);

  w.oLog->trigger();
  EXPECT_TRUE(log.isVisible());
  w.oLog->trigger();  // the second click closes it
  EXPECT_FALSE(log.isVisible());
  EXPECT_FALSE(core_.run.WindowOpen);

  w.oCOM->trigger();
  EXPECT_TRUE(com.isVisible());
  EXPECT_TRUE(core_.run.WindowOpen);
  com.close();  // the user closes it by its close box
  EXPECT_FALSE(core_.run.WindowOpen);
}

TEST_F(MainWindowTest, TheCommentButtonOpensTheInputOnce) {
  TForm1& w = Open();
  w.bComment->click();
  EXPECT_TRUE(core_.run.CommentInputOpen);
  w.bComment->click();  // already open: nothing more
  EXPECT_TRUE(core_.run.CommentInputOpen);
}

// ------------------------------------------------------------ the other windows made at start-up

TEST(StartupWindows, SecondaryWindowsHaveTheirCaptionsAndFixedClientSizes) {
  TForm4 processing;
  TForm5 view;
  TForm7 log;
  TForm2 commentInput;
  TForm3 com;
  TForm8 comments;
  struct Row {
    QWidget* window;
    const char* className;
    const char* caption;
  };
  const Row rows[] = {
      {&processing, "TForm4", "Set Processing"}, {&view, "TForm5", "Set View"},
      {&log, "TForm7", "Kvo Log Window"},        {&commentInput, "TForm2", "Comment input"},
      {&com, "TForm3", "Set COM port"},          {&comments, "TForm8", "Cemments Window"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.className);
    EXPECT_STREQ(r.window->metaObject()->className(), r.className);
    EXPECT_TRUE(r.window->isWindow());
    EXPECT_EQ(r.window->windowTitle(), r.caption);
    EXPECT_EQ(r.window->minimumSize(), r.window->maximumSize());
  }
  EXPECT_EQ(com.size(), QSize(319, 209));
  EXPECT_TRUE(log.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(
      log.windowFlags().testFlag(Qt::WindowCloseButtonHint));  // shown and hidden from the main window only
}

TEST(StartupWindows, ClosingASecondaryWindowRunsItsHook) {
  TForm5 view;
  int closed = 0;
  view.onClosed = [&] { ++closed; };
  view.show();
  EXPECT_TRUE(view.close());
  EXPECT_EQ(closed, 1);
}

TEST(StartupWindows, TheSpareTrendWindowIsMadeButNeverShown) {
  TTrendForm trend;
  EXPECT_EQ(trend.windowTitle(), "KVO Trends");
  EXPECT_EQ(trend.size(), QSize(610, 565));
  EXPECT_EQ(trend.TrendGraph->geometry(), QRect(14, 8, 420, 378));
  EXPECT_FALSE(trend.isVisible());
}

TEST(StartupWindows, TheSplashIsAFramelessPictureThatFreesItselfAfterFourSeconds) {
  QPointer<TForm6> splash = new TForm6;
  EXPECT_EQ(splash->size(), QSize(353, 244));
  EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(splash->Timer.isActive());
  EXPECT_TRUE(splash->Timer.isSingleShot());
  EXPECT_EQ(splash->Timer.interval(), 4000);
  EXPECT_EQ(TForm6::Picture().size(), QSize(353, 244));

  splash->ShowNow();
  EXPECT_TRUE(splash->isVisible());
  // As if 4 s had passed: the timer fires its (private) signal.
  ASSERT_TRUE(QMetaObject::invokeMethod(&splash->Timer, "timeout", Qt::DirectConnection));
  EXPECT_TRUE(qs::test::ProcessEventsUntil([&] { return splash.isNull(); }, 1000));
}

}  // namespace
