// The main window with its real widgets, real run controller and real worker
// threads: the layout at start-up, what the settings file changes in it, the
// menus, and the wiring of clicks, closing and the secondary windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/AppCore.h"
#include "app/MainWindow.h"
#include "app/SpareTrendWindow.h"
#include "app/SplashWindow.h"
#include "app/Workers.h"
#include "config/ProcessingSettingsWindow.h"
#include "config/ViewSettingsWindow.h"
#include "link/ComSettingsWindow.h"
#include "link/MonitorLink.h"
#include "logbook/CommentInputWindow.h"
#include "logbook/CommentsWindow.h"
#include "logbook/LogWindow.h"
#include "core/TextLines.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFiles.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompter.h"

namespace {

namespace fs = std::filesystem;

// A monitor link whose threads come up but never hear from the monitor: the
// run stays in progress, waiting for its first answer.
class SilentMonitorLink final : public qs::MonitorLink {
 public:
  qs::LinkStartOutcome Start(std::uint32_t) override { return qs::LinkStartOutcome::Started; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    window_.reset();
    fs::remove(settings_);
  }

  // Opens the window with these settings-file lines; none means no file at
  // all, so every setting keeps its default.
  TForm1& Open(const std::vector<std::string>& settingsLines = {}, qs::MonitorLink* link = nullptr) {
    fs::remove(settings_);
    if (!settingsLines.empty()) {
      std::ofstream out(settings_, std::ios::binary);
      for (const std::string& line : settingsLines) out << line << "\r\n";
    }
    window_ = std::make_unique<TForm1>(core_, bridge_, prompter_, link ? *link : noLink_, records_,
                                       qs::ProgramWorkers(), settings_.string());
    EXPECT_FALSE(window_->CreationFailed());
    return *window_;
  }

  // Every box shown so far, as "kind: text [caption]".
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const auto& box : prompter_.shown)
      shown.push_back(box.kind + ": " + box.text + " [" + box.caption + "]");
    return shown;
  }

  const fs::path settings_ =
      fs::path(::testing::TempDir()) / ("qs_window_" + std::to_string(::getpid()) + ".ini");
  qs::AppCore core_;
  qs::QueuedUiBridge bridge_;
  qs::test::ScriptedPrompter prompter_;
  qs::NoMonitorLink noLink_;
  qs::NoRecordFiles records_;
  std::unique_ptr<TForm1> window_;  // last: destroyed before what it uses
};

// ------------------------------------------------------------ layout

TEST_F(MainWindowTest, EveryControlHasItsPlaceCaptionHintColourAndFontInAFixedWindow) {
  TForm1& w = Open();
  const QColor navy(0, 0, 0x80), blue(0, 0, 0xFF), red(0xFF, 0, 0);
  struct Row {
    QWidget* control;
    const char* name;
    QRect place;  // a label's size is its caption's: only the position counts
    const char* text;
    const char* hint;
    QColor colour = {};  // labels
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
      {w.BicGraph, "BicGraph", {8, 123, 265, 140}, "", ""},
      {w.PowerGraph, "PowerGraph", {8, 294, 265, 138}, "", ""},
      {w.WaveGraph, "WaveGraph", {8, 514, 576, 144}, "", "4 sec duration of EEG wave"},
      {w.TrendGraph, "TrendGraph", {280, 20, 420, 488}, "", ""},
      {w.SQIGraph, "SQIGraph", {616, 550, 125, 100}, "", "Signal Quality Index"},
      {w.lBsp, "lBsp", {8, 98, 0, 0}, "Bicoherence", "", navy},  // the default map type
      {w.lPower, "lPower", {8, 269, 0, 0}, "Power spectrum", "", blue},
      {w.lWaveform, "lWaveform", {8, 489, 0, 0}, "Waveform", "", blue},
      {w.lNoise, "lNoise", {83, 489, 0, 0}, "", "", red},  // emptied at creation
      {w.lTrend, "lTrend", {280, 0, 0, 0}, "Trend", "", blue},
      {w.lRecording, "lRecording", {528, 0, 0, 0}, "On Recording", "", red},
      {w.lTime, "lTime", {712, 0, 0, 0}, "00:00:00", "", QColor(0, 0, 0)},
      {w.lSQI, "lSQI", {616, 525, 0, 0}, "SQI", "", blue},
      {w.lSEF90, "lSEF90", {712, 24, 0, 0}, "SEF95", "", blue},
      {w.lBSR, "lBSR", {720, 68, 0, 0}, "BSR", "", QColor(0x80, 0, 0)},
      {w.lBratio, "lBratio", {704, 116, 0, 0}, "Beta Ratio", "", QColor(0, 0x80, 0)},
      {w.lSynchFS, "lSynchFS", {704, 160, 0, 0}, "BispRatio", "", navy},
      {w.lAmp, "lAmp", {704, 208, 0, 0}, "Amplitude", "", QColor(0, 0x80, 0x80)},
      {w.lBIS, "lBIS", {720, 252, 0, 0}, "BIS", "", QColor(0xFF, 0, 0xFF)},
      {w.lPBICh, "lPBICh", {703, 294, 0, 0}, "pBIChigh", "", navy},
      {w.lPBICl, "lPBICl", {703, 336, 0, 0}, "pBIClow", "", navy},
      {w.lPoincare, "lPoincare", {706, 380, 0, 0}, "Poincare", "", QColor(0x80, 0, 0x80)},
      {w.eSEF90, "eSEF90", {712, 40, 49, 23}, "***", "Spectral Edge Frequency 95%"},
      {w.eBSR, "eBSR", {712, 88, 49, 23}, "***", "Burst Suppression Ratio"},
      {w.eBratio, "eBratio", {712, 136, 49, 23}, "***", "Relative Beta Ratio"},
      {w.eSyncFS, "eSyncFS", {712, 184, 49, 23}, "***", "Bispectrum Ratio"},
      {w.eAmp, "eAmp", {712, 232, 49, 23}, "***", "Mean Amplitude"},
      {w.eBIS, "eBIS", {712, 272, 49, 23}, "***", "Bispectral Index"},
      {w.ePBICh, "ePBICh", {712, 312, 49, 23}, "***", "Bispectral Index"},
      {w.ePBICl, "ePBICl", {712, 352, 49, 23}, "***", "Bispectral Index"},
      {w.ePoincare, "ePoincare", {712, 405, 49, 23}, "", "Bispectral Index"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const bool label = r.place.isEmpty();
    EXPECT_EQ(r.control->objectName(), r.name);
    EXPECT_EQ(r.control->parentWidget(), w.centralWidget());
    EXPECT_EQ(r.control->pos(), r.place.topLeft());
    if (label) {
      EXPECT_GE(r.control->width(), r.control->sizeHint().width());  // a label is never clipped
      EXPECT_EQ(r.control->palette().color(QPalette::WindowText), r.colour);
    } else {
      EXPECT_EQ(r.control->size(), r.place.size());
    }
    EXPECT_EQ(r.control->property("text").toString(), r.text);
    EXPECT_EQ(r.control->toolTip(), r.hint);
    EXPECT_EQ(r.control->font().family(), "Times New Roman");
    EXPECT_EQ(r.control->font().pixelSize(), label ? 16 : 13);
    EXPECT_TRUE(r.control->font().bold());
    if (auto* box = qobject_cast<QLineEdit*>(r.control)) {
      EXPECT_TRUE(box->isReadOnly());
    }
    if (auto* image = qobject_cast<QLabel*>(r.control); image && !label) {
      EXPECT_EQ(image->pixmap().size(), r.place.size());
    }
  }
  using G = TForm1::Graph;
  for (auto [graph, image] :
       {std::pair{G::Bic, w.BicGraph}, std::pair{G::Power, w.PowerGraph}, std::pair{G::Wave, w.WaveGraph},
        std::pair{G::Trend, w.TrendGraph}, std::pair{G::Sqi, w.SQIGraph}})
    EXPECT_EQ(w.GraphImage(graph), image);

  // The client area is fixed; the window can be neither resized nor maximised.
  EXPECT_EQ(w.windowTitle(), "Quellscope for A-2000/XP/VISTA");
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

struct SettingsCase {
  std::vector<std::string> lines;
  const char* mapTitle;
  bool options;  // OptionButton and SynchFastSlow? set
};

class MainWindowSettings : public MainWindowTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(MainWindowSettings, TheSettingsFileShapesTheWindow) {
  const SettingsCase& c = GetParam();
  TForm1& w = Open(c.lines);
  EXPECT_EQ(w.lBsp->text(), c.mapTitle);
  EXPECT_EQ(w.lSynchFS->text(), c.options ? "SynchFS" : "BispRatio");
  EXPECT_EQ(w.eSyncFS->toolTip(), c.options ? "SynchFastSlow" : "Bispectrum Ratio");
  for (QLabel* label : {w.lBsp, w.lSynchFS}) EXPECT_GE(label->width(), label->sizeHint().width());

  // The Poincare value is never computed; the recording mark waits for a recording.
  const std::set<QWidget*> never = {w.lPoincare, w.ePoincare, w.lRecording};
  const std::set<QWidget*> optional = {w.bYes,   w.bNo,    w.bStepExec, w.bSnap,
                                       w.lPBICh, w.lPBICl, w.ePBICh,    w.ePBICl};
  const QRect client = w.centralWidget()->rect();
  for (QWidget* control : w.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    SCOPED_TRACE(control->objectName().toStdString());
    EXPECT_EQ(control->isHidden(), never.contains(control) || (optional.contains(control) && !c.options));
    if (!control->isHidden()) {
      EXPECT_TRUE(client.contains(control->geometry()));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MainWindowSettings,
    ::testing::Values(SettingsCase{{}, "Bicoherence", false},
                      SettingsCase{{"FigType:BISP"}, "Bispectrum", false},
                      SettingsCase{{"FigType:TPR"}, "Triple Product", false},
                      SettingsCase{
                          {"OptionButton:true", "FigType:mBIC", "SynchFastSlow?:true"}, "mBIC", true}));

// ------------------------------------------------------------ menus

// The menu bar as text: each item's caption, shortcut, hint (when it is not the
// caption), check mark, "off" when disabled, and its menu in braces.
std::string MenuTree(const QList<QAction*>& actions) {
  QStringList items;
  for (QAction* a : actions) {
    QString item = a->isSeparator() ? QStringLiteral("---") : a->text();
    if (!a->shortcut().isEmpty()) item += " " + a->shortcut().toString();
    if (a->toolTip() != a->text()) item += " (" + a->toolTip() + ")";
    if (a->isCheckable()) item += a->isChecked() ? " [x]" : " [ ]";
    if (!a->isEnabled()) item += " off";
    if (a->menu()) item += " {" + QString::fromStdString(MenuTree(a->menu()->actions())) + "}";
    items << item;
  }
  return items.join(", ").toStdString();
}

const char* const kIdleMenus =
    "File(F) (Data Save) {Save {Wave {Binary F1, ASCII F6 off}, Bispec {Binary F2, ASCII F3}, "
    "Powspec {Binary F4, ASCII F5}, BIS Varaibles off, Amplitude, EDF+ off}, ---, Exit F10}, "
    "Mode(M) (Mode Select) {Online Ctrl+O [x], Offline Ctrl+B [ ]}, "
    "Options(O) (Set Options) {Set Processing Ctrl+F1, Set View Ctrl+F2, Set COM Ctrl+F3}, "
    "Window(W) {Open Log Ctrl+F4, Open Comment Ctrl+F5}, Version(V) Ctrl+V (Show Version)";

QShortcut* ShortcutFor(TForm1& w, const char* key) {
  for (QShortcut* s : w.findChildren<QShortcut*>())
    if (s->key() == QKeySequence(key)) return s;
  return nullptr;
}

TEST_F(MainWindowTest, MenusHaveTheirCaptionsShortcutsHintsStatesAndOpeners) {
  TForm1& w = Open();
  EXPECT_EQ(MenuTree(w.menuBar()->actions()), kIdleMenus);
  // The commands the window drives by name, in the order of the tree.
  EXPECT_EQ(
      MenuTree({w.oWaveB, w.oWaveA, w.oBicBinary, w.oBicAscii, w.oPowBinary, w.oPowAscii, w.oBISVal, w.oAmp,
                w.oEdf, w.oExit, w.oOnline, w.oOffline, w.oProcess, w.oView, w.oCOM, w.oLog, w.oComment, w.oVersion}),
      "Binary F1, ASCII F6 off, Binary F2, ASCII F3, Binary F4, ASCII F5, BIS Varaibles off, Amplitude, "
      "EDF+ off, Exit F10, Online Ctrl+O [x], Offline Ctrl+B [ ], Set Processing Ctrl+F1, Set View Ctrl+F2, "
      "Set COM Ctrl+F3, Open Log Ctrl+F4, Open Comment Ctrl+F5, Version(V) Ctrl+V (Show Version)");
  EXPECT_EQ(w.menuBar()->actions().mid(0, 4),
            (QList<QAction*>{w.mnFile->menuAction(), w.mnMode->menuAction(), w.mnOptions->menuAction(),
                             w.mnWindow->menuAction()}));
  w.oOnline->trigger();  // clicking the checked mode again must not uncheck it
  EXPECT_EQ(MenuTree(w.menuBar()->actions()), kIdleMenus);

  w.oVersion->trigger();
  EXPECT_EQ(Shown(), std::vector<std::string>{"inform: Ver 4.17B2 (for V2000/XP/VISTA) [Version]"});

  int ctrlO = ShortcutFor(w, "Ctrl+O") ? 1 : 0;
  for (QAction* a : w.findChildren<QAction*>()) ctrlO += a->shortcut() == QKeySequence("Ctrl+O") ? 1 : 0;
  EXPECT_EQ(ctrlO, 1);  // two owners would make Qt fire neither

  w.show();
  for (auto [menu, key] :
       {std::pair{w.mnFile, "Ctrl+F"}, std::pair{w.mnMode, "Ctrl+M"}, std::pair{w.mnWindow, "Ctrl+W"}}) {
    SCOPED_TRACE(key);
    QShortcut* opener = ShortcutFor(w, key);
    ASSERT_NE(opener, nullptr);
    emit opener->activated();
    EXPECT_EQ(w.menuBar()->activeAction(), menu->menuAction());
    EXPECT_TRUE(menu->isVisible());
    menu->close();
  }
}

// ------------------------------------------------------------ runs, closing, exit

void ExpectIdleControls(TForm1& w) {
  EXPECT_TRUE(w.bStart->isEnabled());
  EXPECT_FALSE(w.bStop->isEnabled());
  EXPECT_FALSE(w.bPause->isEnabled());
  EXPECT_TRUE(w.bComment->isEnabled());
  EXPECT_TRUE(w.lRecording->isHidden());
  EXPECT_FALSE(w.Timer->isActive());
  EXPECT_EQ(MenuTree(w.menuBar()->actions()), kIdleMenus);
}

TEST_F(MainWindowTest, DuringARunTheMenusAreDisabledAndClosingIsIgnoredWithoutAQuestion) {
  SilentMonitorLink link;
  TForm1& w = Open({}, &link);
  w.show();
  w.bStart->click();

  EXPECT_FALSE(w.bStart->isEnabled());
  EXPECT_FALSE(w.bStop->isEnabled());  // until the monitor answers
  EXPECT_TRUE(w.bComment->isEnabled());
  // A disabled item cannot fire by its shortcut either, nor a disabled menu open.
  for (QAction* a : {w.mnFile->menuAction(), w.mnMode->menuAction(), w.oOnline, w.oOffline, w.oWaveB, w.oExit,
                     w.oProcess, w.oCOM})
    EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  EXPECT_TRUE(w.oView->isEnabled());
  EXPECT_TRUE(w.oLog->isEnabled());
  for (const char* key : {"Ctrl+F", "Ctrl+M"}) emit ShortcutFor(w, key)->activated();
  EXPECT_EQ(w.menuBar()->activeAction(), nullptr);

  EXPECT_FALSE(w.close());  // an unscripted question would throw here
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(Shown().empty());
  EXPECT_FALSE(w.bStart->isEnabled());  // still running
  EXPECT_FALSE(w.RequestedExitCode().has_value());
  window_.reset();  // the window ends the link's threads: before the link goes
}

TEST_F(MainWindowTest, InIdleAFailedStartReturnsToIdleAndOnlyYesToTheExitQuestionEndsTheProgram) {
  TForm1& w = Open();
  w.show();
  w.bStart->click();  // online without a monitor port
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: COM port open error [COM Error]"});
  ExpectIdleControls(w);

  prompter_.answers = {false, false, true};
  EXPECT_FALSE(w.close());
  w.oExit->trigger();  // the Exit command asks without a question mark
  EXPECT_EQ(Shown(), (std::vector<std::string>{"error: COM port open error [COM Error]",
                                               "ask: Are you sure to Exit? [Quellscope]",
                                               "ask: Are you sure to Exit [Quellscope]"}));
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.RequestedExitCode().has_value());
  ExpectIdleControls(w);

  EXPECT_FALSE(w.close());  // the window itself stays; the program ends
  EXPECT_EQ(w.RequestedExitCode(), 0);
}

// ------------------------------------------------------------ what the window shows for the controller

TEST_F(MainWindowTest, ControlsChangedShowsTheControllersStateAndDrivesTheTimer) {
  TForm1& w = Open();
  EXPECT_FALSE(w.Timer->isActive());
  qs::MainControls c = w.Controller().Controls();
  c.timerEnabled = true;
  c.timerIntervalMs = 250;
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

  EXPECT_TRUE(w.Timer->isActive());
  EXPECT_EQ(w.Timer->interval(), 250);
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

  c.timerEnabled = false;
  w.ControlsChanged(c);
  EXPECT_FALSE(w.Timer->isActive());

  QImage image(125, 100, QImage::Format_RGB32);
  image.fill(QColor(0, 255, 0));
  w.ShowImage(TForm1::Graph::Sqi, image);
  EXPECT_EQ(w.SQIGraph->pixmap().toImage().pixelColor(10, 10), QColor(0, 255, 0));
}

TEST_F(MainWindowTest, SecondaryWindowsAreShownClosedAndReportTheirClosing) {
  TForm1& w = Open();
  w.oLog->trigger();  // without the windows the commands still work
  EXPECT_TRUE(core_.run.WindowOpen);
  w.oLog->trigger();
  EXPECT_FALSE(core_.run.WindowOpen);
  w.bComment->click();
  EXPECT_TRUE(core_.run.CommentInputOpen);

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

// ------------------------------------------------------------ the other windows made at start-up

TEST(StartupWindows, SecondaryAndSpareWindowsHaveTheirCaptionsSizesAndCloseHooks) {
  TForm4 processing;
  TForm5 view;
  TForm7 log;
  TForm2 commentInput;
  TForm3 com;
  TForm8 comments;
  const std::tuple<QWidget*, const char*, const char*> rows[] = {
      {&processing, "TForm4", "Set Processing"}, {&view, "TForm5", "Set View"},
      {&log, "TForm7", "Kvo Log Window"},        {&commentInput, "TForm2", "Comment input"},
      {&com, "TForm3", "Set COM port"},          {&comments, "TForm8", "Cemments Window"}};
  for (const auto& [window, className, caption] : rows) {
    SCOPED_TRACE(className);
    EXPECT_STREQ(window->metaObject()->className(), className);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
  }
  EXPECT_EQ(com.size(), QSize(319, 209));
  EXPECT_TRUE(log.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(log.windowFlags().testFlag(Qt::WindowCloseButtonHint));  // the main window shows and hides it

  int closed = 0;
  view.onClosed = [&] { ++closed; };
  view.show();
  EXPECT_TRUE(view.close());
  EXPECT_EQ(closed, 1);

  TTrendForm trend;  // the spare trend window is made but never shown
  EXPECT_EQ(trend.windowTitle(), "KVO Trends");
  EXPECT_EQ(trend.size(), QSize(610, 565));
  EXPECT_EQ(trend.TrendGraph->geometry(), QRect(14, 8, 420, 378));
  EXPECT_FALSE(trend.isVisible());
}

TEST(StartupWindows, TheSplashIsAFramelessPictureThatFreesItselfAfterFourSeconds) {
  QPointer<TForm6> splash = new TForm6;
  EXPECT_EQ(splash->size(), QSize(353, 244));
  EXPECT_EQ(TForm6::Picture().size(), QSize(353, 244));
  EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(splash->Timer.isActive());
  EXPECT_TRUE(splash->Timer.isSingleShot());
  EXPECT_EQ(splash->Timer.interval(), 4000);

  splash->ShowNow();
  EXPECT_TRUE(splash->isVisible());
  // As if 4 s had passed: the timer fires its (private) signal.
  ASSERT_TRUE(QMetaObject::invokeMethod(&splash->Timer, "timeout", Qt::DirectConnection));
  EXPECT_TRUE(qs::test::ProcessEventsUntil([&] { return splash.isNull(); }, 1000));
}

}  // namespace

// The log view appends new lines and redraws when a line changed in place
// (a comment attached to it) or the log was cleared.
TEST(LogView, ShowsAddedChangedAndClearedLines) {
  TForm7 window;
  qs::TextLines lines;
  lines.Append("10:01:04,20.84");
  lines.Append("10:02:04,21.00");
  window.ShowLines(lines);
  EXPECT_EQ(window.reLog->toPlainText(), "10:01:04,20.84\n10:02:04,21.00");
  lines[0] += ",10:01:30,intubation";
  window.ShowLines(lines);
  EXPECT_EQ(window.reLog->toPlainText(), "10:01:04,20.84,10:01:30,intubation\n10:02:04,21.00");
  lines.Append("10:03:04,13.23");
  window.ShowLines(lines);
  EXPECT_EQ(window.reLog->toPlainText().count('\n'), 2);
  lines.Clear();
  window.ShowLines(lines);
  EXPECT_TRUE(window.reLog->toPlainText().isEmpty());
}
