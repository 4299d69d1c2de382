// The run controller without windows or threads: starts and stops, the link's
// requests, replay pacing and epoch review, the file commands and the windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/RunController.h"
#include "dsp/IntervalTexts.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFiles.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class FakeView final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override {}
  void ShowWindow(SecondaryWindow w) override { shown.push_back(w); }
  void CloseWindow(SecondaryWindow w) override { closed.push_back(w); }
  void ExitProcess(int code) override { exitCodes.push_back(code); }
  void LogChanged() override { ++logChanges; }
  int logChanges = 0;
  std::vector<SecondaryWindow> shown, closed;
  std::vector<int> exitCodes;
};

class FakeLink final : public MonitorLink {
 public:
  LinkStartOutcome Start(std::uint32_t id) override {
    startedRuns.push_back(id);
    return outcome;
  }
  // Records how many runs had started when EndThreads came.
  void EndThreads() override { endedBeforeRuns.push_back(startedRuns.size()); }
  LinkStartOutcome outcome = LinkStartOutcome::Started;
  std::vector<std::uint32_t> startedRuns;
  std::vector<std::size_t> endedBeforeRuns;
};

class FakeRecords final : public RecordFiles {
 public:
  explicit FakeRecords(RunState& run) : run_(run) {}
  RecordCreateOutcome CreateAutomatic(std::string& path) override {
    if (createOutcome == RecordCreateOutcome::Created) run_.RecordFile.Open(path = recordPath, "wb");
    return createOutcome;
  }
  bool CreateAt(const std::string& path) override { return works && run_.RecordFile.Open(path, "wb"); }
  ReplayOpenOutcome Prescan(const std::string&) override { return prescanOutcome; }
  ReplayOpenOutcome OpenReplay(const std::string& path) override {
    return openOutcome == ReplayOpenOutcome::Ok && run_.ReplayFile.Open(path, "rb") ? ReplayOpenOutcome::Ok
                                                                                    : openOutcome;
  }
  RecordCreateOutcome createOutcome = RecordCreateOutcome::Created;
  bool works = true;  // CreateAt
  ReplayOpenOutcome prescanOutcome = ReplayOpenOutcome::Ok, openOutcome = ReplayOpenOutcome::Ok;
  std::string recordPath;
  RunState& run_;
};

// A file dialog as "title|ext|filter index".
std::string Dialog(const FileDialogState& d) {
  return d.title + "|" + d.defaultExt + "|" + std::to_string(d.filterIndex);
}

class RunControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    records.recordPath = (dir / "202612061.eeg").string();
  }
  void TearDown() override {
    controller.reset();  // it ends the link's threads and its workers first
    fs::remove_all(dir);
  }
  std::string MakeFile(const std::string& name) {
    std::ofstream(dir / name, std::ios::binary) << "x";
    return (dir / name).string();
  }
  RunController& Create(ZeroAllocFn alloc = &std::calloc) {
    controller = std::make_unique<RunController>(RunControllerDeps{
        core, ui, prompter, view, link, records, {}, (dir / "Kvo_V2000.ini").string(), alloc});
    created = controller->FormCreate();
    return *controller;
  }
  std::vector<DrawRequest> DrainQueue() {
    std::vector<DrawRequest> out;
    for (DrawRequest r; core.drawQueue.Front(r); core.drawQueue.PopFront()) out.push_back(r);
    return out;
  }
  void ExpectIdle() {
    const MainControls& c = controller->Controls();
    EXPECT_TRUE(c.bStart && c.mnFile && c.mnMode && c.oProcess && c.oCOM && c.oView);
    EXPECT_FALSE(c.bStop || c.bPause || c.timerEnabled || c.lRecordingVisible);
    EXPECT_EQ(c.bPauseCaption, "Pause") << "a run stopped while paused must not start the next one as Cont";
  }
  // Offline, this file chosen (nullopt: the dialog cancelled).
  RunController& Offline(std::optional<std::string> file = "case.eeg") {
    RunController& rc = controller ? *controller : Create();
    prompter.files.push_back(file ? std::optional(MakeFile(*file)) : std::nullopt);
    rc.oOfflineClick();
    return rc;
  }
  void Stop() {
    prompter.answers = {true};
    controller->bStopClick();
  }
  static constexpr const char* kNoMonitor =
      "BIS monitor did not respond, check connection and monitor settings";

  const fs::path dir = fs::temp_directory_path() / ("qs_run_" + std::to_string(::getpid()));
  AppCore core;
  QueuedUiBridge ui;
  test::ScriptedPrompter prompter;
  FakeView view;
  FakeLink link;
  FakeRecords records{core.run};
  std::unique_ptr<RunController> controller;
  bool created = false;
};

// ------------------------------------------------------------ start-up

TEST_F(RunControllerTest, FreshStartUpIsIdleInOnlineModeWithDefaults) {
  const MainControls& c = Create().Controls();
  ASSERT_TRUE(created);
  ExpectIdle();
  EXPECT_TRUE(c.oOnlineChecked && !c.oOfflineChecked && !c.optionControlsVisible);
  EXPECT_EQ(c.lBsp + "|" + c.lSynchFS, "Bicoherence|BispRatio");
  // No settings file is no problem.
  EXPECT_TRUE(controller->SettingsProblem().empty() && prompter.shown.empty());
}

TEST_F(RunControllerTest, SettingsShapeTheWindowAtCreation) {
  std::ofstream(dir / "Kvo_V2000.ini") << "OptionButton:true\nSynchFastSlow?:true\nFigType:mBIC\nMaxMem:9\n"
                                          "WorkDir:/data/cases\nWave_Scale:two\n";
  const MainControls& c = Create().Controls();
  ASSERT_TRUE(created) << "a malformed line stops the reading, not the start-up";
  EXPECT_TRUE(c.optionControlsVisible);
  EXPECT_EQ(c.lBsp + "|" + c.lSynchFS + "|" + c.eSyncFSHint, "mBIC|SynchFS|SynchFastSlow");
  EXPECT_EQ(core.buffers.trend.capacity, 9u * 360u) << "the history is sized after the file is read";
  EXPECT_EQ(controller->SaveDialog().initialDir + controller->OpenDialog().initialDir,
            "/data/cases/data/cases");
  EXPECT_FALSE(controller->SettingsProblem().empty()) << "the window tells which line it was";
}

TEST_F(RunControllerTest, OutOfMemoryAtCreationEndsTheProgramWithCodeOne) {
  Create([](std::size_t, std::size_t) -> void* { return nullptr; });
  EXPECT_FALSE(created);
  EXPECT_TRUE(prompter.Saw("Out of Memory", "Exit"));
  EXPECT_EQ(view.exitCodes, std::vector<int>{1});
}

// ------------------------------------------------------------ online runs

TEST_F(RunControllerTest, OnlineRunWaitsForTheMonitorThenStopsAndExitsOnlyOnYes) {
  RunController& rc = Create();
  core.settings.SamplingRate = 1;
  core.buffers.trend.index = 77;
  core.run.WaveGain = 3.0f;
  rc.bStartClick();
  const MainControls& c = rc.Controls();
  EXPECT_FALSE(c.bStart || c.mnMode || c.mnFile || c.oProcess || c.oCOM);
  EXPECT_FALSE(c.bStop) << "Stop waits for the monitor's first acknowledgement";
  EXPECT_TRUE(core.sync.TxStartEvent.IsSet() && core.sync.CalcStartEvent.IsSet() && core.run.Rate256);
  EXPECT_EQ(DrainQueue(), (std::vector<DrawRequest>{
                              {WaveReset, 0, 0}, {PowerFrame, 0, 0}, {BicReset, 0, 0}, {TrendReset, 0, 0}}));
  EXPECT_EQ(core.run.WaveGain + core.buffers.trend.index, 0.0f);
  rc.oExitClick();
  EXPECT_FALSE(rc.FormCloseQuery());
  EXPECT_TRUE(prompter.shown.empty()) << "a run blocks both ways out without a message";

  rc.RequestEnableStop(link.startedRuns.at(0));
  ui.RunPending();
  EXPECT_TRUE(c.bStop);
  prompter.answers = {false};
  rc.bStopClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to stop?", "Stop"));
  EXPECT_FALSE(c.bStart || core.sync.TxStopEvent.IsSet()) << "No leaves the run going";
  Stop();
  EXPECT_TRUE(core.sync.TxStopEvent.IsSet());
  ExpectIdle();
  EXPECT_EQ(prompter.shown.size(), 2u) << "an empty log and comment list ask nothing about saving";

  prompter.answers = {true};
  rc.oExitClick();
  EXPECT_EQ(view.exitCodes, std::vector<int>{0});
}

// The link threads' requests may come late: each acts only on its own run, and
// only while that run is still shown running.
TEST_F(RunControllerTest, RequestsOfAnEarlierRunNeverTouchALaterOne) {
  RunController& rc = Create();
  rc.bStartClick();
  Stop();
  // Idle again; the user opens an export for the next run while the send
  // thread is still finishing its stop requests: a second StopSub would close it.
  prompter.files = {(dir / "late.bda").string()};
  rc.oBicBinaryClick();
  const auto requests = {&RunController::RequestStopAfterLink, &RunController::RequestStopNoMonitor,
                         &RunController::RequestEnableStop};
  for (auto request : requests) (rc.*request)(link.startedRuns.at(0));
  ui.RunPending();
  EXPECT_TRUE(core.run.BicExportFile.IsOpen());
  ExpectIdle();
  // Every start ends the last run's link threads first; that run's requests
  // are then dropped.
  rc.bStartClick();
  EXPECT_EQ(link.endedBeforeRuns, (std::vector<std::size_t>{0, 1}));
  for (auto request : requests) (rc.*request)(link.startedRuns.at(0));
  ui.RunPending();
  EXPECT_FALSE(rc.Controls().bStart || rc.Controls().bStop) << "the second run is still going";
  EXPECT_FALSE(prompter.Saw(kNoMonitor, "BIS monitor Error"));
  rc.RequestStopNoMonitor(link.startedRuns.at(1));
  ui.RunPending();
  EXPECT_TRUE(prompter.Saw(kNoMonitor, "BIS monitor Error"));
  ExpectIdle();
  rc.bStartClick();
  rc.RequestStopAfterLink(link.startedRuns.at(2));
  ui.RunPending();
  ExpectIdle();
}

TEST_F(RunControllerTest, AbandonedStartsComeBackToIdle) {
  RunController& rc = Create();
  // A silent send thread ends the start without a message, a port that does
  // not open with one; all 99 automatic names taken, the user names the file:
  // Cancel abandons without a message, a file that cannot be made with one.
  core.settings.AutoRec = true;
  records.works = false;
  prompter.files = {std::nullopt, (dir / "chosen.eeg").string()};
  for (auto outcome : {LinkStartOutcome::SenderSilent, LinkStartOutcome::ReceiverSilent}) {
    link.outcome = outcome;
    rc.bStartClick();
    ExpectIdle();
  }
  records.createOutcome = RecordCreateOutcome::NoFreeName;
  for (int i = 0; i < 2; ++i) rc.bStartClick();
  ExpectIdle();
  EXPECT_EQ(Dialog(prompter.dialogs.at(0)), "Packet Data File Save in Binary|eeg|2");
  EXPECT_EQ(prompter.shown.size(), 4u) << "two dialogs, and messages for the port and the file only";
  EXPECT_TRUE(prompter.Saw("COM port open error", "COM Error"));
  EXPECT_TRUE(prompter.Saw("Packet Record File cannot create", "File Error"));
  EXPECT_EQ(link.startedRuns.size(), 2u) << "no port is opened without the record file";
}

// Stopping online offers the log and the comments under the record file's name;
// a dot in a folder name must not cut the proposed path short.
TEST_F(RunControllerTest, StoppingOnlineOffersTheLogAndCommentsUnderTheRecordFilesName) {
  RunController& rc = Create();
  core.logLines.Append("Time,SEF95");
  for (const auto& [proposed, expected] :
       std::vector<std::pair<fs::path, fs::path>>{{dir / "case", dir / "case"},
                                                  {dir / "cases.v2" / "case", dir / "cases.v2" / "case"},
                                                  {dir / "a.b.eeg", dir / "a.b.log"}}) {
    rc.bStartClick();
    rc.SaveDialog().fileName = proposed.string();
    prompter.answers = {true, true};
    prompter.files = {std::nullopt};
    rc.bStopClick();
    EXPECT_EQ(prompter.dialogs.back().fileName, expected.string());
  }
  core.settings.AutoRec = true;
  rc.bStartClick();
  EXPECT_TRUE(rc.Controls().lRecordingVisible);
  core.commentLines.Append("10:00:05,induction");
  const std::string logPath = (dir / "202612061.log").string(), cmtPath = (dir / "202612061.cmt").string();
  prompter.answers = {true, true, true};
  prompter.files = {logPath, cmtPath};
  rc.bStopClick();
  // This stop's three questions and two dialogs, and no error.
  EXPECT_EQ(prompter.shown.size(), 9u + 5u);
  EXPECT_EQ(Dialog(prompter.dialogs.end()[-2]) + prompter.dialogs.end()[-2].fileName,
            "Logged Data File Save|log|3" + logPath);
  EXPECT_EQ(Dialog(prompter.dialogs.back()) + prompter.dialogs.back().fileName,
            "Comments File Save|cmt|4" + cmtPath);
  EXPECT_EQ(fs::file_size(logPath) + fs::file_size(cmtPath), 12u + 20u) << "both saved with CR LF";
  EXPECT_FALSE(core.run.RecordFile.IsOpen()) << "Stop closes the record file";
}

// ------------------------------------------------------------ offline runs

TEST_F(RunControllerTest, OfflineModeChoosesAnExistingFileThatStartsOrShowsItsMessage) {
  RunController& rc = Create();
  const std::string file = MakeFile("case.eeg");
  prompter.files = {(dir / "missing.eeg").string(), dir.string(), file};
  rc.oOfflineClick();
  EXPECT_EQ(prompter.dialogs.size(), 3u) << "names that are not files show the dialog again";
  EXPECT_EQ(Dialog(prompter.dialogs[0]), "Wave Data File Open|eeg|2");
  const MainControls& c = rc.Controls();
  EXPECT_TRUE(c.oOfflineChecked && c.oWaveA && c.oBISVal && c.oEdf && !c.oOnlineChecked);
  EXPECT_EQ(core.run.ReplayFileName + (core.run.OnlineMode ? " online" : ""), file);

  core.settings.CalcOnly = true;
  rc.oOnlineClick();
  EXPECT_TRUE(c.oOnlineChecked && core.run.OnlineMode);
  EXPECT_FALSE(c.oOfflineChecked || c.oWaveA || c.oEdf || core.settings.CalcOnly);
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  Offline(std::nullopt);
  EXPECT_TRUE(core.run.ReplayFileName.empty()) << "a cancelled dialog selects nothing";
  rc.bStartClick();
  EXPECT_TRUE(prompter.Saw("File not selected", "File Error"));
  ExpectIdle();
  records.openOutcome = ReplayOpenOutcome::SizeError;
  Offline().bStartClick();
  EXPECT_TRUE(prompter.Saw("File size error", "File Error"));
  ExpectIdle();
  records.prescanOutcome = ReplayOpenOutcome::TypeError;
  Offline();
  EXPECT_TRUE(prompter.Saw("File type error", "File Error"));
  EXPECT_TRUE(core.run.ReplayFileName.empty()) << "a file the pre-scan refuses is not kept";
}

TEST_F(RunControllerTest, OfflineReplayTicksPausesAndStopsThroughTheCalculationThread) {
  RunController& rc = Create();
  core.run.ClockSec = 10 * 3600 + 59 * 60 + 50;  // 10:59:50
  core.settings.ReplayIntervalMs = 267;
  Offline().bStartClick();
  const MainControls& c = rc.Controls();
  EXPECT_TRUE(c.bStop && c.bPause && c.timerEnabled && !c.mnMode);
  EXPECT_EQ(c.timerIntervalMs, 267);
  // The first interval closes 20 s on; an offline start ends the last online
  // run's link threads too.
  EXPECT_EQ(core.run.TrendStartHour * 1000 + core.run.TrendStartSlot, 11001);
  EXPECT_EQ(link.endedBeforeRuns.size(), 1u);
  rc.TimerTimer();
  EXPECT_TRUE(core.sync.CalcDataEvent.Wait(0)) << "each tick replays one second";
  core.run.ReplayTickBusy = true;  // the last tick is still being answered
  rc.TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet());
  for (const std::string caption : {"Cont", "Pause", "Cont"}) {
    rc.bPauseClick();
    EXPECT_EQ(c.bPauseCaption + (c.timerEnabled ? " on" : ""), caption == "Pause" ? "Pause on" : caption);
  }

  rc.bStopClick();  // while paused; offline Stop asks nothing
  EXPECT_TRUE(core.sync.CalcStopEvent.IsSet());
  EXPECT_FALSE(c.bStart || core.run.ReplayTickBusy) << "the calculation thread answers";
  rc.RequestStop(core.run.RunId);
  ui.RunPending();
  ExpectIdle();
  EXPECT_FALSE(core.run.ReplayFile.IsOpen());
  rc.TimerTimer();  // a tick after the run ended stops quietly
  ExpectIdle();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet() || core.run.ReplayTickBusy);
  EXPECT_EQ(prompter.shown.size(), 1u) << "only the file dialog";

  // Calculation Only: the calculation thread reads the file without the timer;
  // Stop ends the run at once.
  core.settings.CalcOnly = true;
  rc.bStartClick();
  EXPECT_TRUE(c.bStop && !c.bPause && !c.timerEnabled && core.sync.CalcRunEvent.IsSet());
  rc.TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet());
  core.run.RunContinuous = true;
  rc.bStopClick();
  ExpectIdle();
  EXPECT_FALSE(core.run.RunContinuous);
}

TEST_F(RunControllerTest, EpochReviewAdvancesOneSecondPerAnswer) {
  RunController& rc = Offline();
  rc.bStartClick();
  rc.bStepExecClick();
  for (int i = 0; i < 5; ++i) rc.TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet()) << "no answer, no step";
  rc.bYesClick();
  EXPECT_TRUE(core.run.EpochAccepted);
  rc.bNoClick();
  EXPECT_FALSE(core.run.EpochAccepted);
  int steps = 0;
  for (int i = 0; i < 6; ++i, rc.TimerTimer()) steps += core.sync.CalcDataEvent.Wait(0) ? 1 : 0;
  EXPECT_EQ(steps, 2) << "two answers release exactly two seconds";
  rc.StopSub();
  rc.bStartClick();
  EXPECT_FALSE(core.run.StepMode) << "every start switches review off";
}

// ------------------------------------------------------------ what the workers show

TEST_F(RunControllerTest, IntervalValuesIndicatorsAndPagesFromTheWorkers) {
  RunController& rc = Create();
  const MainControls& c = rc.Controls();
  core.settings.OptionButton = true;
  core.settings.LogInterval = 2;
  IntervalTexts t;
  FieldText* fields[] = {&t.sef, &t.bsr, &t.rbr, &t.bispr, &t.amp, &t.bis, &t.pbicLow, &t.pbicHigh};
  for (int i = 0; i < 8; ++i) fields[i]->Set(std::to_string(i + 1));
  rc.ShowInterval(t);
  EXPECT_EQ(c.eSEF90 + c.eBSR + c.eBratio + c.eSyncFS + c.eAmp + c.eBIS + c.ePBICl + c.ePBICh, "12345678");
  EXPECT_EQ(core.logLines.Count(), 0) << "the first of two intervals";
  rc.ShowInterval(t);
  EXPECT_EQ(core.logLines.Count() + view.logChanges, 2) << "a log line every second interval";

  rc.ShowDataClock("10:00:01");
  rc.ShowNoise("Noise");
  EXPECT_EQ(c.lTime + "|" + c.lNoise, "10:00:01|Noise");
  rc.bPrevClick();
  EXPECT_TRUE(core.sync.DrawEvent.Wait(0));
  rc.bPrevClick();
  rc.bNextClick();
  EXPECT_FALSE(core.sync.DrawEvent.IsSet()) << "quick clicks queue their pages but signal once";
  EXPECT_EQ(DrainQueue(), (std::vector<DrawRequest>{{PrevHour, 0, 0}, {PrevHour, 0, 0}, {NextHour, 0, 0}}));

  rc.bStartClick();  // every start empties the boxes and the noise text
  EXPECT_EQ(c.eBIS + c.lNoise, "***");
  core.settings.CalcOnly = true;  // only the log is kept up to date
  for (int i = 0; i < 2; ++i) rc.ShowInterval(t);
  EXPECT_EQ(c.eBIS + std::to_string(core.logLines.Count()), "***2");
}

// ------------------------------------------------------------ windows

TEST_F(RunControllerTest, SecondaryWindowsOpenOneAtATimeAndChangeTheMainWindow) {
  RunController& rc = Create();
  const MainControls& c = rc.Controls();
  for (auto click : {&RunController::oProcessClick, &RunController::oCOMClick, &RunController::oViewClick})
    (rc.*click)();
  EXPECT_EQ(view.shown, std::vector<SecondaryWindow>{SecondaryWindow::Process});
  EXPECT_FALSE(c.formEnabled) << "the processing window is modal";
  rc.SecondaryWindowClosed(SecondaryWindow::Process);
  EXPECT_TRUE(c.formEnabled && !core.run.WindowOpen);
  rc.oViewClick();
  EXPECT_TRUE(c.formEnabled && core.run.WindowOpen);
  rc.SecondaryWindowClosed(SecondaryWindow::View);
  rc.oCOMClick();
  EXPECT_EQ(view.shown.back(), SecondaryWindow::Com);
  // The log and comments items toggle on the shared flag: with the COM window
  // open they close their (hidden) window and clear the flag.
  for (auto [click, window] : {std::pair{&RunController::oLogClick, SecondaryWindow::Log},
                               std::pair{&RunController::oCommentClick, SecondaryWindow::Comments}}) {
    (rc.*click)();
    EXPECT_EQ(view.closed.back(), window);
    (rc.*click)();
    EXPECT_EQ(view.shown.back(), window);
  }
  rc.SecondaryWindowClosed(SecondaryWindow::Comments);
  EXPECT_FALSE(core.run.WindowOpen);
  rc.bCommentClick();
  rc.SecondaryWindowClosed(SecondaryWindow::CommentInput);
  EXPECT_FALSE(core.run.CommentInputOpen);

  // What the settings windows change here.
  rc.ShowSef(true);
  EXPECT_EQ(c.lSEF90 + "|" + c.eSEF90Hint, "SEF90|Spectral Edge Frequency 90%");
  rc.SetMapTitle(4);
  EXPECT_EQ(c.lBsp, "Bispectrum") << "an unknown map type reads as 0";
  // The log rebuilt for a new logging interval: every third record for 30 s.
  TrendStore& history = core.buffers.trend;
  for (int i = 0; i < 10; ++i, history.Advance()) history.Current()[EpochResult::Sef] = static_cast<float>(i);
  core.run.FileStartSec = 36000;
  rc.RebuildLog(3);
  ASSERT_EQ(core.logLines.Count(), 3) << "records 2, 5 and 8";
  EXPECT_EQ(core.logLines[2].substr(0, 14), "10:01:23,8.00,") << "from the file's start";
  EXPECT_EQ(view.logChanges, 1);
}

// ------------------------------------------------------------ log, comments and exports

TEST_F(RunControllerTest, TheLogWindowSavesUnderTheReplayedFilesNameAndClearsOnlyOnYes) {
  RunController& rc = Offline("case.v2.eeg");
  const std::string existing = MakeFile("old.log");
  prompter.files = {existing, existing, std::nullopt};
  prompter.answers = {false, true};
  rc.LogSaveClick();
  EXPECT_EQ(fs::file_size(existing), 1u) << "No to the overwrite keeps the file";
  rc.LogSaveClick();
  rc.CommentSaveClick();
  ASSERT_EQ(prompter.dialogs.size(), 4u);
  // Only the last extension is replaced.
  EXPECT_EQ(prompter.dialogs[1].fileName, (dir / "case.v2.log").string());
  EXPECT_EQ(Dialog(prompter.dialogs[1]), "Logged Data File Save|log|3");
  EXPECT_TRUE(prompter.Saw("File already exists", "Overwrite ") && prompter.shown.size() == 6u) << "no error";
  EXPECT_EQ(fs::file_size(existing), 0u) << "an empty log saves an empty file";
  EXPECT_EQ(Dialog(prompter.dialogs[3]) + prompter.dialogs[3].fileName,
            "Comments File Save|cmt|4" + (dir / "case.v2.cmt").string());
  core.logLines.Append("a");
  prompter.answers = {false};
  rc.LogClearClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Clear", "Log Clear"));
  EXPECT_EQ(core.logLines.Count(), 1) << "No keeps every line";
}

TEST_F(RunControllerTest, CommentsLandOnTheLogLineThatWasCurrentWhenTheInputOpened) {
  RunController& rc = Create();
  rc.bCommentClick();
  ASSERT_EQ(rc.CommentShownTime().size(), 8u) << "hh:mm:ss of the opening";
  rc.ApplyComment("", "intubation");
  EXPECT_EQ(core.commentLines[0], rc.CommentShownTime() + ",intubation") << "the time shown";
  EXPECT_EQ(core.logLines.Count(), 0) << "without CommentOnLog the log is never touched";
  EXPECT_FALSE(core.run.CommentInputOpen);

  core.settings.CommentOnLog = true;
  rc.bCommentClick();
  rc.ApplyComment("10:00:00", "ope_start");
  EXPECT_EQ(core.logLines.Lines(), std::vector<std::string>{"10:00:00,ope_start"}) << "a line of its own";
  for (const char* line : {"l2", "l3"}) core.logLines.Append(line);
  rc.bCommentClick();  // three log lines now
  for (const char* line : {"l4", "l5"}) core.logLines.Append(line);
  rc.ApplyComment("10:05:00", "bucking");
  rc.bCommentClick();  // five lines
  rc.ApplyComment("10:05:30", "cough");
  EXPECT_EQ(core.logLines[2], "l3,10:05:00,bucking") << "the third line, not the fifth";
  EXPECT_EQ(core.logLines[4], "l5,10:05:30,cough");
  rc.bCommentClick();
  core.logLines.Clear();
  rc.ApplyComment("10:06:00", "extubation");
  // The anchored line is gone: the comment is not lost.
  EXPECT_EQ(core.logLines.Lines(), std::vector<std::string>{"10:06:00,extubation"});

  prompter.answers = {false};
  rc.CommentClearClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Clear", "Comments Clear"));
  EXPECT_EQ(core.commentLines.Count(), 5) << "No keeps every comment";
}

TEST_F(RunControllerTest, EachSaveCommandOpensItsExportAndWarnsWhenOneIsOpen) {
  RunController& rc = Create();
  RunState& run = core.run;
  prompter.files = {(dir / "missing" / "x.csv").string()};
  rc.oBISValClick();
  EXPECT_EQ(prompter.dialogs.at(0).fileName.size(), 8u) << "yyyymmdd proposed when the dialog has no name";
  EXPECT_TRUE(prompter.Saw("BIS Variables File open error", "File Error"));

  // Pairs on one file: the second warns that it is open and takes it over,
  // binary first, then text; one wave at a time: the text wave closes the
  // binary one. Without a title the dialog keeps its last one.
  using RC = RunController;
  const std::tuple<void (RC::*)(), std::string, DataFile*, Relaxed<bool>*> cases[] = {
      {&RC::oBicBinaryClick, "BIC Data File Save in Binary|bda|2", &run.BicExportFile, &run.BicExportBinary},
      {&RC::oBicAsciiClick, "BIC Data File Save in Ascii|dat|1", &run.BicExportFile, &run.BicExportBinary},
      {&RC::oPowBinaryClick, "ShowPower Spectrum Data File Save in Binary|bda|2", &run.PowExportFile,
       &run.PowExportBinary},
      {&RC::oPowAsciiClick, "ShowPower Spectrum Data File Save in Ascii|dat|1", &run.PowExportFile,
       &run.PowExportBinary},
      {&RC::oWaveBClick, "Packet Data File Save in Binary|eeg|2", &run.RecordFile, &run.WaveFileBinary},
      {&RC::oWaveAClick, "Wave Data (at 128Hz sampling) Save in ASCII|dat|1", &run.WaveAsciiFile,
       &run.WaveFileBinary},
      {&RC::oBISValClick, "|csv|5", &run.BisVariablesFile, nullptr},
      {&RC::oAmpClick, "|csv|5", &run.AmpExportFile, nullptr},
  };
  for (int i = 0; i < 8; ++i) {
    const auto& [click, dialog, file, binary] = cases[i];
    const std::string path = (dir / ("export" + std::to_string(i))).string(), title = rc.SaveDialog().title;
    SCOPED_TRACE(path);
    prompter.files = {path};
    (rc.*click)();
    EXPECT_EQ(Dialog(prompter.dialogs.back()), (dialog[0] == '|' ? title : "") + dialog);
    EXPECT_TRUE(file->IsOpen() && file->Path() == path);
    if (binary) {
      EXPECT_EQ(binary->load(), i % 2 == 0);
    }
    EXPECT_EQ(prompter.shown.end()[-2].text == "Save file already open", i % 2 == 1 && i < 6);
  }
  EXPECT_FALSE(run.RecordFile.IsOpen()) << "the text wave replaced the binary one";
  rc.StopSub();
  for (const auto& c : cases) EXPECT_FALSE(std::get<2>(c)->IsOpen()) << "Stop closes the exports";
}

}  // namespace
}  // namespace qs
