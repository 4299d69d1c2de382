// The run controller without windows or threads: starts and stops, the link's
// requests, replay pacing and epoch review, the file commands and the windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/RunController.h"
#include "dsp/IntervalTexts.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFiles.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using RC = RunController;

// The fixture plays the main window, the monitor link and the record files
// for the controller, and records what it was asked.
class RunControllerTest : public ::testing::Test, MainView, MonitorLink, RecordFiles {
 protected:
  void ControlsChanged(const MainControls&) override {}
  void ShowWindow(SecondaryWindow w) override { shownWindows.push_back(w); }
  void CloseWindow(SecondaryWindow w) override { closedWindows.push_back(w); }
  void ExitProcess(int code) override { exitCodes.push_back(code); }
  void LogChanged() override { ++logChanges; }
  LinkStartOutcome Start(std::uint32_t id) override { return startedRuns.push_back(id), linkOutcome; }
  // Records how many runs had started when EndThreads came.
  void EndThreads() override { endedBeforeRuns.push_back(startedRuns.size()); }
  RecordCreateOutcome CreateAutomatic(std::string& path) override {
    if (createOutcome == RecordCreateOutcome::Created) core.run.RecordFile.Open(path = recordPath, "wb");
    return createOutcome;
  }
  bool CreateAt(const std::string& path) override {
    return canCreate && core.run.RecordFile.Open(path, "wb");
  }
  ReplayOpenOutcome Prescan(const std::string&) override { return prescanOutcome; }
  ReplayOpenOutcome OpenReplay(const std::string& path) override {
    if (openOutcome == ReplayOpenOutcome::Ok) core.run.ReplayFile.Open(path, "rb");
    return openOutcome;
  }

  void SetUp() override { Create(); }
  void TearDown() override { fs::remove_all(dir); }
  bool Create(ZeroAllocFn alloc = &std::calloc) {
    fs::create_directories(dir);
    rc.reset();
    rc = std::make_unique<RC>(RunControllerDeps{
        core, ui, prompter, *this, *this, *this, {}, (dir / "Kvo_V2000.ini").string(), alloc});
    c = &rc->Controls();
    return rc->FormCreate();
  }
  std::string MakeFile(const std::string& name) {
    std::ofstream(dir / name, std::ios::binary) << "x";
    return (dir / name).string();
  }
  std::vector<DrawRequest> DrainQueue() {
    std::vector<DrawRequest> out;
    for (DrawRequest r; core.drawQueue.Front(r); core.drawQueue.PopFront()) out.push_back(r);
    return out;
  }
  // The dialog `back` from the last as "title|ext|filter index", then "|proposed name" if named.
  std::string Dialog(int back = 1, bool named = false) {
    const FileDialogState& d = prompter.dialogs.end()[-back];
    return d.title + "|" + d.defaultExt + "|" + std::to_string(d.filterIndex) +
           (named ? "|" + d.fileName : "");
  }
  // Idle again, after showing this message (if any).
  void ExpectIdle(const char* message = "", const char* caption = "File Error") {
    EXPECT_TRUE(!*message || prompter.Saw(message, caption)) << message;
    EXPECT_TRUE(c->bStart && c->mnFile && c->mnMode && c->oProcess && c->oCOM && c->oView && !c->bStop);
    EXPECT_FALSE(c->bPause || c->timerEnabled || c->lRecordingVisible || core.run.ReplayFile.IsOpen());
    EXPECT_EQ(c->bPauseCaption, "Pause") << "a run stopped while paused must not start the next one as Cont";
  }
  // Offline, this file chosen (nullopt: the dialog cancelled).
  RC& Offline(std::optional<std::string> file = "case.eeg") {
    prompter.files.push_back(file ? std::optional(MakeFile(*file)) : std::nullopt);
    rc->oOfflineClick();
    return *rc;
  }

  const fs::path dir = fs::temp_directory_path() / ("qs_run_" + std::to_string(::getpid()));
  const std::string recordPath = (dir / "202612061.eeg").string();
  AppCore core;
  QueuedUiBridge ui;
  test::ScriptedPrompter prompter;
  std::vector<SecondaryWindow> shownWindows, closedWindows;
  std::vector<int> exitCodes;
  int logChanges = 0;
  LinkStartOutcome linkOutcome = LinkStartOutcome::Started;
  std::vector<std::uint32_t> startedRuns;
  std::vector<std::size_t> endedBeforeRuns;
  RecordCreateOutcome createOutcome = RecordCreateOutcome::Created;
  bool canCreate = true;  // CreateAt
  ReplayOpenOutcome prescanOutcome = ReplayOpenOutcome::Ok, openOutcome = ReplayOpenOutcome::Ok;
  const MainControls* c = nullptr;  // the controller's
  std::unique_ptr<RC> rc;           // last: it ends before what it uses
};

// ------------------------------------------------------------ start-up

TEST_F(RunControllerTest, StartUpIsIdleOnlineWithDefaultsTheSettingsFileShapesItOrItEndsWithoutMemory) {
  ASSERT_TRUE(Create() && prompter.shown.empty());
  ExpectIdle();
  EXPECT_TRUE(c->oOnlineChecked && !c->oOfflineChecked && !c->optionControlsVisible);
  // No settings file is no problem.
  EXPECT_EQ(c->lBsp + "|" + c->lSynchFS + rc->SettingsProblem(), "Bicoherence|BispRatio");

  std::ofstream(dir / "Kvo_V2000.ini") << "OptionButton:true\nSynchFastSlow?:true\nFigType:mBIC\nMaxMem:9\n"
                                          "WorkDir:/data/cases\nWave_Scale:two\n";
  ASSERT_TRUE(Create() && c->optionControlsVisible) << "a malformed line stops the reading, not the start-up";
  EXPECT_EQ(c->lBsp + "|" + c->lSynchFS + "|" + c->eSyncFSHint, "mBIC|SynchFS|SynchFastSlow");
  EXPECT_EQ(core.buffers.trend.capacity, 9u * 360u) << "the history is sized after the file is read";
  EXPECT_EQ(rc->SaveDialog().initialDir + rc->OpenDialog().initialDir, "/data/cases/data/cases");
  EXPECT_FALSE(rc->SettingsProblem().empty()) << "the window tells which line it was";

  EXPECT_FALSE(Create([](std::size_t, std::size_t) -> void* { return nullptr; }));
  EXPECT_TRUE(prompter.Saw("Out of Memory", "Exit") && exitCodes == std::vector<int>{1});
}

// ------------------------------------------------------------ online runs

// Stopping online offers the log and the comments under the record file's name;
// a dot in a folder name must not cut the proposed path short.
TEST_F(RunControllerTest, OnlineRunWaitsForTheMonitorStopsAndSavesTheLogUnderTheRecordsNameOnYes) {
  core.settings.SamplingRate = 1;
  core.buffers.trend.index = 77;
  core.run.WaveGain = 3.0f;
  rc->bStartClick();
  EXPECT_FALSE(c->bStart || c->bStop || c->mnMode || c->mnFile || c->oProcess || c->oCOM)
      << "Stop waits for the monitor's first acknowledgement";
  EXPECT_TRUE(core.sync.TxStartEvent.IsSet() && core.sync.CalcStartEvent.IsSet() && core.run.Rate256);
  EXPECT_EQ(DrainQueue(), (std::vector<DrawRequest>{
                              {WaveReset, 0, 0}, {PowerFrame, 0, 0}, {BicReset, 0, 0}, {TrendReset, 0, 0}}));
  EXPECT_EQ(core.run.WaveGain + core.buffers.trend.index, 0.0f);
  rc->oExitClick();
  EXPECT_TRUE(!rc->FormCloseQuery() && prompter.shown.empty()) << "a run blocks both ways out, no message";

  rc->RequestEnableStop(startedRuns.at(0));
  ui.RunPending();
  EXPECT_TRUE(c->bStop);
  prompter.answers = {false, true};
  rc->bStopClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to stop?", "Stop") && !c->bStart && !core.sync.TxStopEvent.IsSet())
      << "No leaves the run going";
  rc->bStopClick();
  ExpectIdle();
  EXPECT_TRUE(core.sync.TxStopEvent.IsSet() && prompter.shown.size() == 2u)
      << "an empty log and comment list ask nothing about saving";

  core.logLines.Append("Time,SEF95");
  const char* cases[][2] = {{"case", "case"}, {"cases.v2/case", "cases.v2/case"}, {"a.b.eeg", "a.b.log"}};
  for (auto [proposed, expected] : cases) {
    rc->bStartClick();
    rc->SaveDialog().fileName = (dir / proposed).string();
    prompter.answers = {true, true};
    prompter.files = {std::nullopt};
    rc->bStopClick();
    EXPECT_EQ(prompter.dialogs.back().fileName, (dir / expected).string());
  }
  core.settings.AutoRec = true;
  rc->bStartClick();
  EXPECT_TRUE(c->lRecordingVisible);
  core.commentLines.Append("10:00:05,induction");
  const std::string logPath = (dir / "202612061.log").string(), cmtPath = (dir / "202612061.cmt").string();
  prompter.answers = {true, true, true, true};
  prompter.files = {logPath, cmtPath};
  rc->bStopClick();
  // This stop's three questions and two dialogs, and no error.
  EXPECT_EQ(prompter.shown.size(), 2u + 9u + 5u);
  EXPECT_EQ(Dialog(2, true), "Logged Data File Save|log|3|" + logPath);
  EXPECT_EQ(Dialog(1, true), "Comments File Save|cmt|4|" + cmtPath);
  EXPECT_EQ(fs::file_size(logPath) + fs::file_size(cmtPath), 12u + 20u) << "both saved with CR LF";
  EXPECT_FALSE(core.run.RecordFile.IsOpen()) << "Stop closes the record file";
  rc->oExitClick();
  EXPECT_EQ(exitCodes, std::vector<int>{0});
}

// The link threads' requests may come late: each acts only on its own run, and
// only while that run is still shown running.
TEST_F(RunControllerTest, RequestsOfAnEarlierRunNeverTouchALaterOneAndAbandonedStartsComeBackToIdle) {
  rc->bStartClick();
  prompter.answers = {true};
  rc->bStopClick();
  // Idle again; the user opens an export for the next run while the send
  // thread is still finishing its stop requests: a second StopSub would close it.
  prompter.files = {(dir / "late.bda").string()};
  rc->oBicBinaryClick();
  const auto requests = {&RC::RequestStopAfterLink, &RC::RequestStopNoMonitor, &RC::RequestEnableStop};
  for (auto request : requests) ((*rc).*request)(startedRuns.at(0));
  ui.RunPending();
  EXPECT_TRUE(core.run.BicExportFile.IsOpen());
  ExpectIdle();
  // Every start ends the last run's link threads first; that run's requests
  // are then dropped.
  rc->bStartClick();
  EXPECT_EQ(endedBeforeRuns, (std::vector<std::size_t>{0, 1}));
  for (auto request : requests) ((*rc).*request)(startedRuns.at(0));
  ui.RunPending();
  EXPECT_FALSE(c->bStart || c->bStop || prompter.shown.size() > 2u) << "the run goes on, no message";
  rc->RequestStopNoMonitor(startedRuns.at(1));
  ui.RunPending();
  ExpectIdle("BIS monitor did not respond, check connection and monitor settings", "BIS monitor Error");
  rc->bStartClick();
  rc->RequestStopAfterLink(startedRuns.at(2));
  ui.RunPending();
  ExpectIdle();

  // A silent send thread ends the start without a message, a port that does
  // not open with one; all 99 automatic names taken, the user names the file:
  // Cancel abandons without a message, a file that cannot be made with one.
  core.settings.AutoRec = true;
  canCreate = false;
  prompter.files = {std::nullopt, (dir / "chosen.eeg").string()};
  using enum LinkStartOutcome;
  for (auto outcome : {SenderSilent, ReceiverSilent, Started, Started}) {
    linkOutcome = outcome;
    if (outcome == Started) createOutcome = RecordCreateOutcome::NoFreeName;
    rc->bStartClick();
    ExpectIdle();
  }
  EXPECT_EQ(Dialog(), "Packet Data File Save in Binary|eeg|2");
  EXPECT_EQ(prompter.shown.size(), 3u + 4u) << "two dialogs, and messages for the port and the file only";
  EXPECT_TRUE(prompter.Saw("COM port open error", "COM Error"));
  ExpectIdle("Packet Record File cannot create");
  EXPECT_EQ(startedRuns.size(), 3u + 2u) << "no port is opened without the record file";
}

// ------------------------------------------------------------ offline runs

TEST_F(RunControllerTest, OfflineModeChoosesAnExistingFileThatStartsOrShowsItsMessage) {
  const std::string file = MakeFile("case.eeg");
  prompter.files = {(dir / "missing.eeg").string(), dir.string(), file};
  rc->oOfflineClick();
  EXPECT_EQ(prompter.dialogs.size(), 3u) << "names that are not files show the dialog again";
  EXPECT_EQ(Dialog(3), "Wave Data File Open|eeg|2");
  EXPECT_TRUE(c->oOfflineChecked && c->oWaveA && c->oBISVal && c->oEdf && !c->oOnlineChecked);
  EXPECT_EQ(core.run.ReplayFileName + (core.run.OnlineMode ? " online" : ""), file);

  core.settings.CalcOnly = true;
  rc->oOnlineClick();
  EXPECT_TRUE(c->oOnlineChecked && core.run.OnlineMode && core.run.ReplayFileName.empty());
  EXPECT_FALSE(c->oOfflineChecked || c->oWaveA || c->oEdf || core.settings.CalcOnly);
  Offline(std::nullopt).bStartClick();  // a cancelled dialog selects nothing
  ExpectIdle("File not selected");
  openOutcome = ReplayOpenOutcome::SizeError;
  Offline().bStartClick();
  ExpectIdle("File size error");
  prescanOutcome = ReplayOpenOutcome::TypeError;
  Offline();
  ExpectIdle("File type error");
  EXPECT_TRUE(core.run.ReplayFileName.empty()) << "a file the pre-scan refuses is not kept";
}

TEST_F(RunControllerTest, OfflineReplayTicksPausesStopsAndReviewsEpochsThroughTheCalculationThread) {
  core.run.ClockSec = 10 * 3600 + 59 * 60 + 50;  // 10:59:50
  core.settings.ReplayIntervalMs = 267;
  Offline().bStartClick();
  EXPECT_TRUE(c->bStop && c->bPause && c->timerEnabled && !c->mnMode && c->timerIntervalMs == 267);
  // The first interval closes 20 s on; an offline start ends the last online
  // run's link threads too.
  EXPECT_TRUE(core.run.TrendStartHour == 11 && core.run.TrendStartSlot == 1 && endedBeforeRuns.size() == 1u);
  rc->TimerTimer();
  EXPECT_TRUE(core.sync.CalcDataEvent.Wait(0)) << "each tick replays one second";
  core.run.ReplayTickBusy = true;  // the last tick is still being answered
  rc->TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet());
  for (const char* caption : {"Cont", "Pause on", "Cont"}) {
    rc->bPauseClick();
    EXPECT_EQ(c->bPauseCaption + (c->timerEnabled ? " on" : ""), caption);
  }

  rc->bStopClick();  // while paused; offline Stop asks nothing
  EXPECT_TRUE(core.sync.CalcStopEvent.IsSet() && !c->bStart && !core.run.ReplayTickBusy)
      << "the calculation thread answers";
  rc->RequestStop(core.run.RunId);
  ui.RunPending();
  ExpectIdle();
  rc->TimerTimer();  // a tick after the run ended stops quietly
  ExpectIdle();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet() || core.run.ReplayTickBusy);
  EXPECT_EQ(prompter.shown.size(), 1u) << "only the file dialog";

  // Calculation Only: the calculation thread reads the file without the timer;
  // Stop ends the run at once.
  core.settings.CalcOnly = true;
  rc->bStartClick();
  EXPECT_TRUE(c->bStop && !c->bPause && !c->timerEnabled && core.sync.CalcRunEvent.IsSet());
  rc->TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet());
  core.run.RunContinuous = true;
  rc->bStopClick();
  ExpectIdle();
  EXPECT_FALSE(core.run.RunContinuous);

  // Epoch review: one second per answer.
  core.settings.CalcOnly = false;
  rc->bStartClick();
  rc->bStepExecClick();
  for (int i = 0; i < 5; ++i) rc->TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet()) << "no answer, no step";
  rc->bYesClick();
  EXPECT_TRUE(core.run.EpochAccepted);
  rc->bNoClick();
  EXPECT_FALSE(core.run.EpochAccepted);
  int steps = 0;
  for (int i = 0; i < 6; ++i, rc->TimerTimer()) steps += core.sync.CalcDataEvent.Wait(0) ? 1 : 0;
  EXPECT_EQ(steps, 2) << "two answers release exactly two seconds";
  rc->StopSub();
  rc->bStartClick();
  EXPECT_FALSE(core.run.StepMode) << "every start switches review off";
}

// ------------------------------------------------------------ what the workers and windows show

TEST_F(RunControllerTest, IntervalValuesPagesAndTheSecondaryWindowsChangeTheMainWindow) {
  core.settings.OptionButton = true;
  core.settings.LogInterval = 2;
  IntervalTexts t;
  FieldText* fields[] = {&t.sef, &t.bsr, &t.rbr, &t.bispr, &t.amp, &t.bis, &t.pbicLow, &t.pbicHigh};
  for (int i = 0; i < 8; ++i) fields[i]->Set(std::to_string(i + 1));
  rc->ShowInterval(t);
  EXPECT_EQ(c->eSEF90 + c->eBSR + c->eBratio + c->eSyncFS + c->eAmp + c->eBIS + c->ePBICl + c->ePBICh,
            "12345678");
  EXPECT_EQ(core.logLines.Count(), 0) << "the first of two intervals";
  rc->ShowInterval(t);
  EXPECT_EQ(core.logLines.Count() + logChanges, 2) << "a log line every second interval";
  rc->ShowDataClock("10:00:01");
  rc->ShowNoise("Noise");
  EXPECT_EQ(c->lTime + "|" + c->lNoise, "10:00:01|Noise");
  rc->bPrevClick();
  EXPECT_TRUE(core.sync.DrawEvent.Wait(0));
  rc->bPrevClick();
  rc->bNextClick();
  EXPECT_FALSE(core.sync.DrawEvent.IsSet()) << "quick clicks queue their pages but signal once";
  EXPECT_EQ(DrainQueue(), (std::vector<DrawRequest>{{PrevHour, 0, 0}, {PrevHour, 0, 0}, {NextHour, 0, 0}}));

  using enum SecondaryWindow;
  for (auto click : {&RC::oProcessClick, &RC::oCOMClick, &RC::oViewClick}) ((*rc).*click)();
  EXPECT_EQ(shownWindows, std::vector<SecondaryWindow>{Process});
  EXPECT_FALSE(c->formEnabled) << "the processing window is modal";
  rc->SecondaryWindowClosed(Process);
  EXPECT_TRUE(c->formEnabled && !core.run.WindowOpen);
  rc->oViewClick();
  EXPECT_TRUE(c->formEnabled && core.run.WindowOpen);
  rc->SecondaryWindowClosed(View);
  rc->oCOMClick();
  EXPECT_EQ(shownWindows.back(), Com);
  // The log and comments items toggle on the shared flag: with the COM window
  // open they close their (hidden) window and clear the flag.
  for (auto [click, window] : {std::pair{&RC::oLogClick, Log}, std::pair{&RC::oCommentClick, Comments}}) {
    ((*rc).*click)();
    EXPECT_EQ(closedWindows.back(), window);
    ((*rc).*click)();
    EXPECT_EQ(shownWindows.back(), window);
  }
  rc->SecondaryWindowClosed(Comments);
  rc->bCommentClick();
  rc->SecondaryWindowClosed(CommentInput);
  EXPECT_FALSE(core.run.WindowOpen || core.run.CommentInputOpen);

  // What the settings windows change here.
  rc->ShowSef(true);
  EXPECT_EQ(c->lSEF90 + "|" + c->eSEF90Hint, "SEF90|Spectral Edge Frequency 90%");
  rc->SetMapTitle(4);
  EXPECT_EQ(c->lBsp, "Bispectrum") << "an unknown map type reads as 0";
  // The log rebuilt for a new logging interval: every third record for 30 s.
  core.buffers.trend.index = 10;
  core.run.FileStartSec = 36000;
  rc->RebuildLog(3);
  ASSERT_EQ(core.logLines.Count(), 3) << "records 2, 5 and 8";
  EXPECT_EQ(core.logLines[2].substr(0, 9) + std::to_string(logChanges), "10:01:23,2");

  rc->bStartClick();  // every start empties the boxes and the noise text
  EXPECT_EQ(c->eBIS + c->lNoise, "***");
  core.settings.CalcOnly = true;  // only the log is kept up to date
  for (int i = 0; i < 2; ++i) rc->ShowInterval(t);
  EXPECT_EQ(c->eBIS + std::to_string(core.logLines.Count()), "***4");
}

// ------------------------------------------------------------ log, comments and exports

TEST_F(RunControllerTest, TheLogWindowSavesUnderTheReplayedFilesNameClearsOnlyOnYesAndTakesComments) {
  Offline("case.v2.eeg");
  const std::string existing = MakeFile("old.log");
  prompter.files = {existing, existing, std::nullopt};
  prompter.answers = {false, true};
  rc->LogSaveClick();
  EXPECT_EQ(fs::file_size(existing), 1u) << "No to the overwrite keeps the file";
  rc->LogSaveClick();
  rc->CommentSaveClick();
  ASSERT_EQ(prompter.dialogs.size(), 4u);
  // Only the last extension is replaced.
  EXPECT_EQ(Dialog(3, true), "Logged Data File Save|log|3|" + (dir / "case.v2.log").string());
  EXPECT_TRUE(prompter.Saw("File already exists", "Overwrite ") && prompter.shown.size() == 6u) << "no error";
  EXPECT_EQ(fs::file_size(existing), 0u) << "an empty log saves an empty file";
  EXPECT_EQ(Dialog(1, true), "Comments File Save|cmt|4|" + (dir / "case.v2.cmt").string());
  core.logLines.Append("a");
  prompter.answers = {false, true};
  rc->LogClearClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Clear", "Log Clear") && core.logLines.Count() == 1)
      << "No keeps it";
  rc->LogClearClick();  // Yes

  // Comments land on the log line that was current when the input opened.
  rc->bCommentClick();
  ASSERT_EQ(rc->CommentShownTime().size(), 8u) << "hh:mm:ss of the opening";
  rc->ApplyComment("", "intubation");
  EXPECT_EQ(core.commentLines[0], rc->CommentShownTime() + ",intubation") << "the time shown";
  EXPECT_FALSE(core.logLines.Count() || core.run.CommentInputOpen) << "without CommentOnLog no log line";
  core.settings.CommentOnLog = true;
  rc->bCommentClick();
  rc->ApplyComment("10:00:00", "ope_start");
  EXPECT_EQ(core.logLines.Lines(), std::vector<std::string>{"10:00:00,ope_start"}) << "a line of its own";
  for (const char* line : {"l2", "l3"}) core.logLines.Append(line);
  rc->bCommentClick();  // three log lines now
  for (const char* line : {"l4", "l5"}) core.logLines.Append(line);
  rc->ApplyComment("10:05:00", "bucking");
  rc->bCommentClick();  // five lines
  rc->ApplyComment("10:05:30", "cough");
  EXPECT_EQ(core.logLines[2] + "|" + core.logLines[4], "l3,10:05:00,bucking|l5,10:05:30,cough")
      << "the third line, not the fifth";
  rc->bCommentClick();
  core.logLines.Clear();
  rc->ApplyComment("10:06:00", "extubation");
  // The anchored line is gone: the comment is not lost.
  EXPECT_EQ(core.logLines.Lines(), std::vector<std::string>{"10:06:00,extubation"});
  prompter.answers = {false};
  rc->CommentClearClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Clear", "Comments Clear") && core.commentLines.Count() == 5)
      << "No keeps every comment";
}

TEST_F(RunControllerTest, EachSaveCommandOpensItsExportAndWarnsWhenOneIsOpen) {
  RunState& r = core.run;
  prompter.files = {(dir / "missing" / "x.csv").string()};
  rc->oBISValClick();
  EXPECT_EQ(prompter.dialogs.at(0).fileName.size(), 8u) << "yyyymmdd proposed when the dialog has no name";
  EXPECT_TRUE(prompter.Saw("BIS Variables File open error", "File Error"));

  // Pairs on one file: the second warns that it is open and takes it over,
  // binary first, then text; one wave at a time: the text wave closes the
  // binary one. Without a title the dialog keeps its last one.
  // The binary flags after each: Bic 1, Pow 2 (binary until told), wave 4.
  const std::tuple<void (RC::*)(), std::string, DataFile*, int> cases[] = {
      {&RC::oBicBinaryClick, "BIC Data File Save in Binary|bda|2", &r.BicExportFile, 3},
      {&RC::oBicAsciiClick, "BIC Data File Save in Ascii|dat|1", &r.BicExportFile, 2},
      {&RC::oPowBinaryClick, "ShowPower Spectrum Data File Save in Binary|bda|2", &r.PowExportFile, 2},
      {&RC::oPowAsciiClick, "ShowPower Spectrum Data File Save in Ascii|dat|1", &r.PowExportFile, 0},
      {&RC::oWaveBClick, "Packet Data File Save in Binary|eeg|2", &r.RecordFile, 4},
      {&RC::oWaveAClick, "Wave Data (at 128Hz sampling) Save in ASCII|dat|1", &r.WaveAsciiFile, 0},
      {&RC::oBISValClick, "|csv|5", &r.BisVariablesFile, 0},
      {&RC::oAmpClick, "|csv|5", &r.AmpExportFile, 0},
  };
  for (int i = 0; i < 8; ++i) {
    const auto& [click, dialog, file, binary] = cases[i];
    const std::string path = (dir / ("export" + std::to_string(i))).string(), title = rc->SaveDialog().title;
    SCOPED_TRACE(path);
    prompter.files = {path};
    ((*rc).*click)();
    EXPECT_EQ(Dialog(), (dialog[0] == '|' ? title : "") + dialog);
    EXPECT_TRUE(file->IsOpen() && file->Path() == path);
    EXPECT_EQ(r.BicExportBinary.load() + 2 * r.PowExportBinary.load() + 4 * r.WaveFileBinary.load(), binary);
    EXPECT_EQ(prompter.shown.end()[-2].text == "Save file already open", i % 2 == 1 && i < 6);
  }
  EXPECT_FALSE(r.RecordFile.IsOpen()) << "the text wave replaced the binary one";
  rc->StopSub();
  for (const auto& k : cases) EXPECT_FALSE(std::get<2>(k)->IsOpen()) << "Stop closes the exports";
}

}  // namespace
}  // namespace qs
