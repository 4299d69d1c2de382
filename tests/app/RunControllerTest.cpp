#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/RunController.h"
#include "app/Workers.h"
#include "dsp/CalcEngine.h"
#include "dsp/CalcThread.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFiles.h"
#include "support/GuiTestApp.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class FakeView final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override { ++changes; }
  void ShowWindow(SecondaryWindow w) override { shown.push_back(w); }
  void CloseWindow(SecondaryWindow w) override { closed.push_back(w); }
  void ExitProcess(int code) override { exitCodes.push_back(code); }
  int changes = 0;
  std::vector<SecondaryWindow> shown, closed;
  std::vector<int> exitCodes;
};

class FakeLink final : public MonitorLink {
 public:
  LinkStartOutcome Start(std::uint32_t id) override {
    startedRuns.push_back(id);
    return outcome;
  }
  void EndThreads() override { endedBeforeRuns.push_back(static_cast<std::uint32_t>(startedRuns.size())); }
  LinkStartOutcome outcome = LinkStartOutcome::Started;
  std::vector<std::uint32_t> startedRuns;
  std::vector<std::uint32_t> endedBeforeRuns;  // how many runs had started when EndThreads came
};

class FakeRecords final : public RecordFiles {
 public:
  explicit FakeRecords(RunState& run) : run_(run) {}
  RecordCreateOutcome CreateAutomatic(std::string& path) override {
    if (createOutcome == RecordCreateOutcome::Created) {
      path = recordPath;
      run_.RecordFile.Open(recordPath, "wb");
    }
    return createOutcome;
  }
  bool CreateAt(const std::string& path) override {
    createdAt.push_back(path);
    return createAtWorks && run_.RecordFile.Open(path, "wb");
  }
  ReplayOpenOutcome Prescan(const std::string& path) override {
    prescanned.push_back(path);
    return prescanOutcome;
  }
  ReplayOpenOutcome OpenReplay(const std::string& path) override {
    if (openOutcome != ReplayOpenOutcome::Ok) return openOutcome;
    run_.ReplayFile.Open(path, "rb");
    run_.ClockSec = startClock;
    return openOutcome;
  }

  RecordCreateOutcome createOutcome = RecordCreateOutcome::Created;
  bool createAtWorks = true;
  ReplayOpenOutcome prescanOutcome = ReplayOpenOutcome::Ok;
  ReplayOpenOutcome openOutcome = ReplayOpenOutcome::Ok;
  std::vector<std::string> createdAt;
  std::string recordPath;
  std::uint32_t startClock = 0;
  std::vector<std::string> prescanned;

 private:
  RunState& run_;
};

class RunControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("qs_run_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    records.recordPath = (dir / "202612061.eeg").string();
  }
  void TearDown() override {
    controller.reset();
    fs::remove_all(dir);
  }

  void WriteSettings(const std::string& text) { std::ofstream(dir / "Kvo_V2000.ini") << text; }
  std::string MakeFile(const std::string& name, const std::string& content = "x") {
    std::ofstream(dir / name, std::ios::binary) << content;
    return (dir / name).string();
  }

  // Creates the window's controller; withCalcThread adds the real calculation thread.
  RunController& Create(bool withCalcThread = false, ZeroAllocFn alloc = &std::calloc) {
    WorkerFactory workers;
    if (withCalcThread)
      workers.makeCalcThread = [](AppCore& c, UiBridge& u, RunRequests& r) -> std::unique_ptr<WorkerThread> {
        return std::make_unique<TCalcThread>(c, u, r);
      };
    controller = std::make_unique<RunController>(RunControllerDeps{
        core, ui, prompter, view, link, records, workers, (dir / "Kvo_V2000.ini").string(), alloc});
    created = controller->FormCreate();
    return *controller;
  }

  std::vector<DrawRequest> DrainQueue() {
    std::vector<DrawRequest> out;
    DrawRequest r;
    while (core.drawQueue.Front(r)) {
      out.push_back(r);
      core.drawQueue.PopFront();
    }
    return out;
  }

  void ExpectIdle(const MainControls& c) {
    EXPECT_TRUE(c.bStart);
    EXPECT_FALSE(c.bStop);
    EXPECT_FALSE(c.bPause);
    EXPECT_TRUE(c.mnFile && c.mnMode && c.oProcess && c.oCOM && c.oView);
    EXPECT_FALSE(c.timerEnabled);
    EXPECT_FALSE(c.lRecordingVisible);
  }

  // An offline run that started and is replaying with the timer.
  RunController& StartOfflineReplay(bool withCalcThread = false, int intervalMs = 1000) {
    RunController& rc = Create(withCalcThread);
    core.settings.ReplayIntervalMs = intervalMs;
    const std::string file = MakeFile("case.eeg");
    prompter.files.push_back(file);
    rc.oOfflineClick();
    rc.bStartClick();
    return rc;
  }

  fs::path dir;
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
  ExpectIdle(c);
  EXPECT_TRUE(c.oOnlineChecked);
  EXPECT_FALSE(c.oOfflineChecked);
  EXPECT_FALSE(c.oWaveA || c.oBISVal) << "wave ASCII and BIS variables exports belong to offline mode";
  EXPECT_TRUE(c.bComment);
  EXPECT_FALSE(c.optionControlsVisible);
  EXPECT_EQ(c.lBsp, "Bicoherence") << "the default map type is bicoherence";
  EXPECT_EQ(c.lSynchFS, "BispRatio");
  EXPECT_EQ(c.eSyncFSHint, "Bispectrum Ratio");
  for (const std::string* box :
       {&c.eSEF90, &c.eBSR, &c.eBratio, &c.eSyncFS, &c.eAmp, &c.eBIS, &c.ePBICl, &c.ePBICh})
    EXPECT_EQ(*box, "***");
  EXPECT_EQ(core.settings.MaxMem, 24);
  EXPECT_EQ(core.buffers.trend.capacity, 24u * 360u);
  EXPECT_EQ(controller->SaveDialog().title, "Save To File");
  EXPECT_EQ(controller->OpenDialog().title, "Select Wave Data FIle");
  EXPECT_TRUE(controller->SettingsProblem().empty());
  EXPECT_TRUE(prompter.shown.empty()) << "a missing settings file is not reported";
}

TEST_F(RunControllerTest, SettingsShapeTheWindowAtCreation) {
  WriteSettings(
      "OptionButton:true\nSynchFastSlow?:true\nFigType:TPR\nMaxMem:9\nWorkDir:/data/cases\n"
      "Wave_Scale:two\nShow_Raw:false\n");
  const MainControls& c = Create().Controls();
  ASSERT_TRUE(created);
  EXPECT_TRUE(c.optionControlsVisible);
  EXPECT_EQ(c.lSynchFS, "SynchFS");
  EXPECT_EQ(c.eSyncFSHint, "SynchFastSlow");
  EXPECT_EQ(c.lBsp, "Triple Product");
  EXPECT_EQ(core.buffers.trend.capacity, 9u * 360u) << "the history is sized after the file is read";
  EXPECT_EQ(controller->SaveDialog().initialDir, "/data/cases");
  EXPECT_EQ(controller->OpenDialog().initialDir, "/data/cases");
  // The malformed number stops the reading; the start-up still completes and
  // the window can tell the user which line it was.
  EXPECT_TRUE(core.settings.Show_Raw) << "lines after the malformed one are not read";
  EXPECT_NE(controller->SettingsProblem().find("line 6"), std::string::npos) << controller->SettingsProblem();
}

void* NoMemory(std::size_t, std::size_t) {
  return nullptr;
}

TEST_F(RunControllerTest, OutOfMemoryAtCreationEndsTheProgramWithCodeOne) {
  bool factoryCalled = false;
  WorkerFactory workers;
  workers.makeCalcThread = [&](AppCore&, UiBridge&, RunRequests&) -> std::unique_ptr<WorkerThread> {
    factoryCalled = true;
    return nullptr;
  };
  controller = std::make_unique<RunController>(RunControllerDeps{
      core, ui, prompter, view, link, records, workers, (dir / "none.ini").string(), &NoMemory});
  EXPECT_FALSE(controller->FormCreate());
  EXPECT_TRUE(prompter.Saw("Out of Memory", "Exit"));
  EXPECT_EQ(view.exitCodes, std::vector<int>{1});
  EXPECT_FALSE(factoryCalled) << "no thread is started for a program that ends";
}

// ------------------------------------------------------------ online runs

TEST_F(RunControllerTest, OnlineStartWithoutAPortReportsComErrorAndReturnsToIdle) {
  NoMonitorLink noPort;
  controller = std::make_unique<RunController>(
      RunControllerDeps{core, ui, prompter, view, noPort, records, {}, (dir / "none.ini").string()});
  ASSERT_TRUE(controller->FormCreate());
  controller->bStartClick();
  EXPECT_TRUE(prompter.Saw("COM port open error", "COM Error"));
  ExpectIdle(controller->Controls());
  EXPECT_TRUE(core.sync.CalcStartEvent.IsSet());
  EXPECT_EQ(DrainQueue(), (std::vector<DrawRequest>{
                              {WaveReset, 0, 0}, {PowerFrame, 0, 0}, {BicReset, 0, 0}, {TrendReset, 0, 0}}));
  EXPECT_TRUE(core.sync.DrawEvent.IsSet());
  controller.reset();  // the controller ends the link's threads: before the link goes
}

TEST_F(RunControllerTest, OnlineRunWaitsForTheMonitorThenStopsOnlyOnYes) {
  RunController& rc = Create();
  core.settings.SamplingRate = 1;
  core.buffers.trend.index = 77;
  core.run.WaveGain = 3.0f;
  rc.bStartClick();
  const MainControls& c = rc.Controls();
  EXPECT_FALSE(c.bStart);
  EXPECT_FALSE(c.bStop) << "Stop waits for the monitor's first acknowledgement";
  EXPECT_FALSE(c.mnMode || c.mnFile || c.oProcess || c.oCOM);
  EXPECT_TRUE(c.bComment);
  EXPECT_TRUE(core.sync.TxStartEvent.IsSet());
  EXPECT_TRUE(core.run.Rate256);
  EXPECT_EQ(core.run.WaveGain, 0.0f);
  EXPECT_EQ(core.buffers.trend.index, 0);
  ASSERT_EQ(link.startedRuns.size(), 1u);

  rc.RequestEnableStop(link.startedRuns[0]);
  ui.RunPending();
  EXPECT_TRUE(c.bStop);

  prompter.answers = {false};
  rc.bStopClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to stop?", "Stop"));
  EXPECT_FALSE(c.bStart) << "No leaves the run going";
  EXPECT_FALSE(core.sync.TxStopEvent.IsSet());

  prompter.answers = {true};
  rc.bStopClick();
  EXPECT_TRUE(core.sync.TxStopEvent.IsSet());
  ExpectIdle(c);
  EXPECT_EQ(prompter.shown.size(), 2u) << "an empty log and comment list ask nothing about saving";
}

TEST_F(RunControllerTest, RequestsOfAnEarlierRunNeverTouchALaterOne) {
  RunController& rc = Create();
  rc.bStartClick();
  const std::uint32_t first = link.startedRuns.at(0);
  prompter.answers = {true};
  rc.bStopClick();
  rc.bStartClick();  // a new run while the old link threads may still be ending
  const std::uint32_t second = link.startedRuns.at(1);
  ASSERT_NE(first, second);
  rc.RequestStopAfterLink(first);
  rc.RequestStopNoMonitor(first);
  rc.RequestEnableStop(first);
  ui.RunPending();
  EXPECT_FALSE(rc.Controls().bStart) << "the second run is still going";
  EXPECT_FALSE(rc.Controls().bStop);
  EXPECT_FALSE(prompter.Saw("BIS monitor did not respond, check connection and monitor settings",
                            "BIS monitor Error"));
  rc.RequestStopNoMonitor(second);
  ui.RunPending();
  EXPECT_TRUE(prompter.Saw("BIS monitor did not respond, check connection and monitor settings",
                           "BIS monitor Error"));
  ExpectIdle(rc.Controls());
}

TEST_F(RunControllerTest, EveryStartEndsTheLastRunsLinkThreadsFirstOnlineAndOffline) {
  RunController& rc = Create();
  rc.bStartClick();
  EXPECT_EQ(link.endedBeforeRuns, (std::vector<std::uint32_t>{0}));
  prompter.answers = {true};
  rc.bStopClick();
  // An offline replay uses the receive ring that an ending receive thread
  // would still be filling.
  prompter.files = {MakeFile("case.eeg")};
  rc.oOfflineClick();
  rc.bStartClick();
  EXPECT_EQ(link.endedBeforeRuns, (std::vector<std::uint32_t>{0, 1}));
}

TEST_F(RunControllerTest, TheLinksLateStopRequestsLeaveTheIdleWindowAndItsNewExportsAlone) {
  RunController& rc = Create();
  rc.bStartClick();
  const std::uint32_t run = link.startedRuns.at(0);
  prompter.answers = {true};
  rc.bStopClick();
  ExpectIdle(rc.Controls());
  // Idle again; the user opens the bispectrum export for the next run while
  // the send thread is still finishing its stop requests.
  const fs::path bic = fs::temp_directory_path() / ("qs_late_stop_" + std::to_string(::getpid()) + ".bda");
  prompter.files = {bic.string()};
  rc.oBicBinaryClick();
  ASSERT_TRUE(core.run.BicExportFile.IsOpen());
  rc.RequestStopAfterLink(run);
  rc.RequestStopNoMonitor(run);
  ui.RunPending();
  EXPECT_TRUE(core.run.BicExportFile.IsOpen()) << "a second StopSub would have closed it";
  EXPECT_FALSE(prompter.Saw("BIS monitor did not respond, check connection and monitor settings",
                            "BIS monitor Error"));
  core.run.BicExportFile.Close();
  fs::remove(bic);
}

TEST_F(RunControllerTest, AbandonedStartsComeBackToIdle) {
  RunController& rc = Create();
  link.outcome = LinkStartOutcome::SenderSilent;
  rc.bStartClick();
  ExpectIdle(rc.Controls());
  EXPECT_TRUE(prompter.shown.empty()) << "a silent send thread ends the start without a message";

  // All 99 automatic names taken: the user is asked for a name; Cancel
  // abandons the start without a message.
  core.settings.AutoRec = true;
  records.createOutcome = RecordCreateOutcome::NoFreeName;
  prompter.files = {std::nullopt};
  rc.bStartClick();
  ASSERT_EQ(prompter.dialogs.size(), 1u);
  EXPECT_EQ(prompter.dialogs[0].title, "Packet Data File Save in Binary");
  EXPECT_EQ(prompter.dialogs[0].defaultExt, "eeg");
  EXPECT_EQ(prompter.dialogs[0].filterIndex, 2);
  ExpectIdle(rc.Controls());
  EXPECT_EQ(prompter.shown.size(), 1u) << "only the dialog, no message";

  const std::string chosen = (dir / "chosen.eeg").string();
  prompter.files = {chosen};
  records.createAtWorks = false;
  rc.bStartClick();
  EXPECT_EQ(records.createdAt, std::vector<std::string>{chosen});
  EXPECT_TRUE(prompter.Saw("Packet Record File cannot create", "File Error"));
  ExpectIdle(rc.Controls());
  EXPECT_EQ(link.startedRuns.size(), 1u) << "no port is opened without the record file";

  prompter.files = {chosen};
  records.createAtWorks = true;
  link.outcome = LinkStartOutcome::Started;
  rc.bStartClick();
  EXPECT_EQ(rc.SaveDialog().fileName, chosen) << "the log is later proposed next to it";
  EXPECT_EQ(link.startedRuns.size(), 2u);
  EXPECT_TRUE(rc.Controls().lRecordingVisible);
}

TEST_F(RunControllerTest, StoppingOnlineOffersTheLogUnderTheRecordFilesName) {
  RunController& rc = Create();
  core.settings.AutoRec = true;
  link.outcome = LinkStartOutcome::Started;
  rc.bStartClick();
  EXPECT_TRUE(rc.Controls().lRecordingVisible);
  EXPECT_EQ(rc.SaveDialog().fileName, records.recordPath);
  core.logLines.Append("Time,SEF95");
  core.logLines.Append("10:00:00,12.3");
  core.commentLines.Append("10:00:05,induction");
  const std::string logPath = (dir / "202612061.log").string();
  const std::string cmtPath = (dir / "202612061.cmt").string();
  prompter.answers = {true, true, true};
  prompter.files = {logPath, cmtPath};
  rc.bStopClick();
  ASSERT_EQ(prompter.dialogs.size(), 2u);
  EXPECT_EQ(prompter.dialogs[0].fileName, logPath) << "the record file's extension becomes log";
  EXPECT_EQ(prompter.dialogs[0].title, "Logged Data File Save");
  EXPECT_EQ(prompter.dialogs[0].filterIndex, 3);
  EXPECT_EQ(prompter.dialogs[0].defaultExt, "log");
  EXPECT_EQ(prompter.dialogs[1].fileName, cmtPath);
  EXPECT_EQ(prompter.dialogs[1].title, "Comments File Save");
  EXPECT_EQ(prompter.dialogs[1].filterIndex, 4);
  std::ifstream in(logPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Time,SEF95\r\n10:00:00,12.3\r\n");
  EXPECT_FALSE(core.run.RecordFile.IsOpen()) << "Stop closes the record file";
}

TEST_F(RunControllerTest, ProposedLogNameKeepsNamesWithoutAnExtension) {
  RunController& rc = Create();
  core.logLines.Append("line");
  for (const auto& [proposed, expected] : std::vector<std::pair<std::string, std::string>>{
           {(dir / "case").string(), (dir / "case").string()},
           {(dir / "cases.v2" / "case").string(), (dir / "cases.v2" / "case").string()},
           {(dir / "a.b.eeg").string(), (dir / "a.b.log").string()}}) {
    rc.bStartClick();
    rc.SaveDialog().fileName = proposed;
    prompter.answers = {true, true};
    prompter.files = {std::nullopt};
    rc.bStopClick();
    ASSERT_FALSE(prompter.dialogs.empty());
    EXPECT_EQ(prompter.dialogs.back().fileName, expected);
  }
}

TEST_F(RunControllerTest, SaveDialogProposesTodayAndAsksBeforeOverwriting) {
  RunController& rc = Create();
  const std::string existing = MakeFile("old.log");
  prompter.files = {existing};
  prompter.answers = {false};
  rc.SaveFileSub();
  ASSERT_EQ(prompter.dialogs.size(), 1u);
  EXPECT_EQ(prompter.dialogs[0].fileName.size(), 8u) << "yyyymmdd proposed when the dialog has no name";
  EXPECT_TRUE(prompter.Saw("File already exists", "Overwrite "));
  EXPECT_TRUE(core.run.DialogFileName.empty()) << "No gives up the name";

  prompter.files = {existing};
  prompter.answers = {true};
  rc.SaveFileSub();
  EXPECT_EQ(core.run.DialogFileName, existing);

  prompter.files = {std::nullopt};
  rc.SaveFileSub();
  EXPECT_TRUE(core.run.DialogFileName.empty()) << "Cancel leaves no name";
}

// ------------------------------------------------------------ offline runs

TEST_F(RunControllerTest, OfflineModeChoosesAnExistingFileAndPrescansIt) {
  RunController& rc = Create();
  const std::string file = MakeFile("case.eeg");
  prompter.files = {(dir / "missing.eeg").string(), dir.string(), file};
  rc.oOfflineClick();
  EXPECT_EQ(prompter.dialogs.size(), 3u) << "names that are not files show the dialog again";
  EXPECT_EQ(prompter.dialogs[0].title, "Wave Data File Open");
  EXPECT_EQ(prompter.dialogs[0].filterIndex, 2);
  EXPECT_EQ(prompter.dialogs[0].defaultExt, "eeg");
  EXPECT_EQ(core.run.ReplayFileName, file);
  EXPECT_EQ(records.prescanned, std::vector<std::string>{file});
  EXPECT_TRUE(rc.Controls().oOfflineChecked);
  EXPECT_FALSE(rc.Controls().oOnlineChecked);
  EXPECT_TRUE(rc.Controls().oWaveA && rc.Controls().oBISVal);

  core.settings.CalcOnly = true;
  rc.oOnlineClick();
  EXPECT_TRUE(rc.Controls().oOnlineChecked);
  EXPECT_FALSE(core.settings.CalcOnly);
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  EXPECT_FALSE(rc.Controls().oWaveA);

  prompter.files = {std::nullopt};
  rc.oOfflineClick();
  EXPECT_TRUE(core.run.ReplayFileName.empty()) << "a cancelled dialog selects nothing";
  EXPECT_EQ(records.prescanned.size(), 1u);

  records.prescanOutcome = ReplayOpenOutcome::TypeError;
  prompter.files = {file};
  rc.oOfflineClick();
  EXPECT_TRUE(prompter.Saw("File type error", "File Error"));
  EXPECT_TRUE(core.run.ReplayFileName.empty()) << "a file the pre-scan refuses is not kept";
}

TEST_F(RunControllerTest, OfflineStartFailuresShowTheirMessageAndReturnToIdle) {
  RunController& rc = Create();
  prompter.files = {std::nullopt};
  rc.oOfflineClick();
  rc.bStartClick();
  EXPECT_TRUE(prompter.Saw("File not selected", "File Error"));
  ExpectIdle(rc.Controls());

  const std::string file = MakeFile("short.eeg");
  for (const auto& [outcome, text] : std::vector<std::pair<ReplayOpenOutcome, std::string>>{
           {ReplayOpenOutcome::OpenError, "File open error"},
           {ReplayOpenOutcome::SizeError, "File size error"},
           {ReplayOpenOutcome::TypeError, "File type error"}}) {
    prompter.files = {file};
    rc.oOfflineClick();
    records.openOutcome = outcome;
    rc.bStartClick();
    EXPECT_TRUE(prompter.Saw(text, "File Error")) << text;
    ExpectIdle(rc.Controls());
  }
}

TEST_F(RunControllerTest, OfflineReplayRunsOnTheTimerAndPausesAndResumes) {
  records.startClock = 10 * 3600 + 59 * 60 + 50;  // 10:59:50
  RunController& rc = StartOfflineReplay(false, 267);
  const MainControls& c = rc.Controls();
  EXPECT_TRUE(c.bStop && c.bPause && c.bComment);
  EXPECT_TRUE(c.timerEnabled);
  EXPECT_EQ(c.timerIntervalMs, 267);
  EXPECT_FALSE(c.mnMode) << "the mode cannot change during a run";
  EXPECT_EQ(core.run.TrendStartHour, 11) << "the first interval closes 20 s after the start";
  EXPECT_EQ(core.run.TrendStartSlot, 1);

  rc.TimerTimer();
  EXPECT_TRUE(core.sync.CalcDataEvent.Wait(0)) << "each tick replays one second";
  rc.bPauseClick();
  EXPECT_FALSE(c.timerEnabled);
  EXPECT_EQ(c.bPauseCaption, "Cont");
  rc.bPauseClick();
  EXPECT_TRUE(c.timerEnabled);
  EXPECT_EQ(c.bPauseCaption, "Pause");
}

TEST_F(RunControllerTest, ATickWhileTheLastOneIsBusyDoesNothing) {
  RunController& rc = StartOfflineReplay();
  core.run.ReplayTickBusy = true;
  rc.TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet());
  EXPECT_FALSE(rc.Controls().bStart) << "the run goes on";
  EXPECT_TRUE(core.run.ReplayTickBusy);
}

TEST_F(RunControllerTest, EpochReviewAdvancesOneSecondPerAnswer) {
  RunController& rc = StartOfflineReplay();
  rc.bStepExecClick();
  ASSERT_TRUE(core.run.StepMode);
  for (int i = 0; i < 5; ++i) rc.TimerTimer();
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet()) << "no answer, no step";
  rc.bYesClick();
  EXPECT_TRUE(core.run.EpochAccepted);
  rc.bNoClick();
  EXPECT_FALSE(core.run.EpochAccepted);
  int steps = 0;
  for (int i = 0; i < 6; ++i) {
    rc.TimerTimer();
    steps += core.sync.CalcDataEvent.Wait(0) ? 1 : 0;
  }
  EXPECT_EQ(steps, 2) << "two answers release exactly two seconds";
  EXPECT_EQ(core.run.StepCredits, 0);
  rc.bStepExecClick();
  rc.TimerTimer();
  EXPECT_TRUE(core.sync.CalcDataEvent.Wait(0)) << "review off: pacing resumes";

  rc.bStepExecClick();
  ASSERT_TRUE(core.run.StepMode);
  rc.StopSub();
  rc.bStartClick();
  EXPECT_FALSE(core.run.StepMode) << "every start switches review off";
}

TEST_F(RunControllerTest, OfflineStopIsAnsweredByTheCalculationThread) {
  RunController& rc = StartOfflineReplay(/*withCalcThread=*/true);
  ASSERT_FALSE(rc.Controls().bStart);
  rc.bStopClick();
  EXPECT_FALSE(rc.Controls().timerEnabled);
  EXPECT_TRUE(prompter.shown.size() == 1u) << "offline Stop asks nothing";
  ASSERT_TRUE(ui.RunUntil([&] { return rc.Controls().bStart; }, 5000));
  ExpectIdle(rc.Controls());
  EXPECT_FALSE(core.run.ReplayFile.IsOpen());
}

TEST_F(RunControllerTest, CalculationOnlyRunsWithoutTimerAndEndsWithItsInput) {
  Create(/*withCalcThread=*/true);
  RunController& rc = *controller;
  prompter.files = {MakeFile("c.eeg")};
  rc.oOfflineClick();
  core.settings.CalcOnly = true;
  rc.bStartClick();
  EXPECT_FALSE(rc.Controls().bPause) << "Calculation Only cannot be paused";
  EXPECT_FALSE(rc.Controls().timerEnabled);
  EXPECT_TRUE(rc.Controls().bStop);
  // Without processing stages the replay has no input: the thread ends the run.
  ASSERT_TRUE(ui.RunUntil([&] { return rc.Controls().bStart; }, 5000));
  EXPECT_FALSE(core.run.RunContinuous);
}

TEST_F(RunControllerTest, ATickAfterTheRunEndedStopsQuietly) {
  RunController& rc = StartOfflineReplay();
  rc.StopSub();
  view.changes = 0;
  rc.TimerTimer();
  ExpectIdle(rc.Controls());
  EXPECT_FALSE(core.sync.CalcDataEvent.IsSet());
  EXPECT_FALSE(core.run.ReplayTickBusy);
}

// ------------------------------------------------------------ trend paging, windows, exit

TEST_F(RunControllerTest, ThreeQuickPrevClicksQueueThreeRequestsButSignalOnce) {
  RunController& rc = Create();
  rc.bPrevClick();
  EXPECT_TRUE(core.sync.DrawEvent.Wait(0));
  rc.bPrevClick();
  rc.bPrevClick();
  EXPECT_FALSE(core.sync.DrawEvent.IsSet());
  rc.bNextClick();
  EXPECT_EQ(DrainQueue(), (std::vector<DrawRequest>{
                              {PrevHour, 0, 0}, {PrevHour, 0, 0}, {PrevHour, 0, 0}, {NextHour, 0, 0}}));
}

TEST_F(RunControllerTest, SecondaryWindowsOpenOneAtATime) {
  RunController& rc = Create();
  rc.oCOMClick();
  rc.oProcessClick();
  rc.oViewClick();
  EXPECT_EQ(view.shown, std::vector<SecondaryWindow>{SecondaryWindow::Com});
  // The log item toggles on the shared flag: with the COM window open it
  // closes the (hidden) log window and clears the flag.
  rc.oLogClick();
  EXPECT_EQ(view.closed, std::vector<SecondaryWindow>{SecondaryWindow::Log});
  EXPECT_FALSE(core.run.WindowOpen);
  rc.oCommentClick();
  EXPECT_EQ(view.shown.back(), SecondaryWindow::Comments);
  rc.SecondaryWindowClosed(SecondaryWindow::Comments);
  EXPECT_FALSE(core.run.WindowOpen);

  core.logLines.Append("a");
  core.logLines.Append("b");
  rc.bCommentClick();
  rc.bCommentClick();
  EXPECT_EQ(core.run.CommentAnchorLine, 2);
  EXPECT_EQ(std::count(view.shown.begin(), view.shown.end(), SecondaryWindow::CommentInput), 1);
  rc.SecondaryWindowClosed(SecondaryWindow::CommentInput);
  EXPECT_FALSE(core.run.CommentInputOpen);
}

TEST_F(RunControllerTest, ExitOnlyFromIdleAndOnlyOnYes) {
  RunController& rc = Create();
  rc.bStartClick();  // online, waiting for the monitor
  rc.oExitClick();
  EXPECT_FALSE(rc.FormCloseQuery());
  EXPECT_TRUE(prompter.shown.empty()) << "a run blocks both ways out without a message";
  EXPECT_TRUE(view.exitCodes.empty());

  prompter.answers = {true};
  rc.bStopClick();
  prompter.answers = {false};
  EXPECT_FALSE(rc.FormCloseQuery());
  EXPECT_TRUE(prompter.Saw("Are you sure to Exit?", "Quellscope"));
  EXPECT_TRUE(view.exitCodes.empty()) << "No keeps the program running";
  ExpectIdle(rc.Controls());

  prompter.answers = {true};
  rc.oExitClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Exit", "Quellscope"));
  EXPECT_EQ(view.exitCodes, std::vector<int>{0});
}

TEST_F(RunControllerTest, TheLogWindowSavesUnderTheReplayedFilesNameAndClearsOnlyOnYes) {
  RunController& rc = Create();
  const std::string replayed = MakeFile("case.v2.eeg");
  prompter.files = {replayed};
  rc.oOfflineClick();
  const std::string empty = (dir / "empty.log").string();
  prompter.files = {empty};
  rc.LogSaveClick();
  ASSERT_EQ(prompter.dialogs.size(), 2u);
  EXPECT_EQ(prompter.dialogs[1].fileName, (dir / "case.v2.log").string())
      << "only the last extension is replaced";
  EXPECT_EQ(prompter.dialogs[1].title, "Logged Data File Save");
  EXPECT_EQ(fs::file_size(empty), 0u) << "an empty log saves an empty file";

  core.logLines.Append("a");
  prompter.answers = {false};
  rc.LogClearClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Clear", "Log Clear"));
  EXPECT_EQ(core.logLines.Count(), 1) << "No keeps every line";
  prompter.answers = {true};
  rc.LogClearClick();
  EXPECT_EQ(core.logLines.Count(), 0);
}

TEST_F(RunControllerTest, CommentsLandOnTheLogLineThatWasCurrentWhenTheInputOpened) {
  RunController& rc = Create();
  rc.bCommentClick();
  ASSERT_EQ(rc.CommentShownTime().size(), 8u) << "hh:mm:ss of the opening";
  rc.ApplyComment("", "intubation");
  EXPECT_EQ(core.commentLines[0], rc.CommentShownTime() + ",intubation")
      << "an empty time uses the one shown";
  EXPECT_EQ(core.logLines.Count(), 0) << "without CommentOnLog the log is never touched";
  EXPECT_FALSE(core.run.CommentInputOpen);

  core.settings.CommentOnLog = true;
  rc.bCommentClick();
  rc.ApplyComment("10:00:00", "ope_start");
  ASSERT_EQ(core.logLines.Count(), 1);
  EXPECT_EQ(core.logLines[0], "10:00:00,ope_start") << "an empty log gets a line of its own";

  for (const char* line : {"l2", "l3"}) core.logLines.Append(line);
  rc.bCommentClick();  // three log lines now
  for (const char* line : {"l4", "l5"}) core.logLines.Append(line);
  rc.ApplyComment("10:05:00", "bucking");
  EXPECT_EQ(core.logLines[2], "l3,10:05:00,bucking") << "the third line, not the fifth";
  EXPECT_EQ(core.logLines[4], "l5");

  rc.bCommentClick();  // five lines
  core.logLines.Clear();
  rc.ApplyComment("10:06:00", "extubation");
  ASSERT_EQ(core.logLines.Count(), 1) << "the anchored line is gone: the comment is not lost";
  EXPECT_EQ(core.logLines[0], "10:06:00,extubation");

  prompter.answers = {false};
  rc.CommentClearClick();
  EXPECT_TRUE(prompter.Saw("Are you sure to Clear", "Comments Clear"));
  EXPECT_EQ(core.commentLines.Count(), 4) << "No keeps every comment";
  prompter.answers = {true};
  rc.CommentClearClick();
  EXPECT_EQ(core.commentLines.Count(), 0);
  EXPECT_EQ(core.logLines.Count(), 1) << "comments already in the log stay there";
}

TEST_F(RunControllerTest, SaveCommandsOpenTheirExportAndWarnWhenOneIsOpen) {
  RunController& rc = Create();
  core.run.PowExportBinary = false;
  prompter.files = {std::nullopt};
  rc.oPowBinaryClick();
  EXPECT_FALSE(core.run.PowExportFile.IsOpen()) << "a cancelled dialog changes nothing";
  EXPECT_FALSE(core.run.PowExportBinary);

  prompter.files = {(dir / "pow.bda").string()};
  rc.oPowBinaryClick();
  ASSERT_EQ(prompter.dialogs.size(), 2u);
  EXPECT_EQ(prompter.dialogs[1].title, "ShowPower Spectrum Data File Save in Binary");
  EXPECT_EQ(prompter.dialogs[1].defaultExt, "bda");
  EXPECT_EQ(prompter.dialogs[1].filterIndex, 2);
  EXPECT_TRUE(core.run.PowExportFile.IsOpen());
  EXPECT_TRUE(core.run.PowExportBinary);
  prompter.files = {(dir / "pow.dat").string()};
  rc.oPowAsciiClick();
  EXPECT_TRUE(prompter.Saw("Save file already open", "PowSpec File Error"));
  EXPECT_EQ(core.run.PowExportFile.Path(), (dir / "pow.dat").string()) << "the new file is the target";
  EXPECT_FALSE(core.run.PowExportBinary);

  // One wave file at a time: the text wave replaces the binary one.
  prompter.files = {(dir / "w.eeg").string(), (dir / "w.dat").string()};
  rc.oWaveBClick();
  EXPECT_TRUE(core.run.RecordFile.IsOpen() && core.run.WaveFileBinary);
  rc.oWaveAClick();
  EXPECT_TRUE(prompter.Saw("Save file already open", "Wave File Error"));
  EXPECT_FALSE(core.run.RecordFile.IsOpen());
  EXPECT_TRUE(core.run.WaveAsciiFile.IsOpen());
  EXPECT_FALSE(core.run.WaveFileBinary);

  const std::string title = rc.SaveDialog().title;
  prompter.files = {(dir / "missing" / "vars.csv").string()};
  rc.oBISValClick();
  EXPECT_TRUE(prompter.Saw("BIS Variables File open error", "File Error"));
  EXPECT_EQ(prompter.dialogs.back().title, title) << "this command keeps the dialog's title";
  EXPECT_EQ(prompter.dialogs.back().filterIndex, 5);
  EXPECT_FALSE(core.run.BisVariablesFile.IsOpen());

  rc.StopSub();
  EXPECT_FALSE(core.run.PowExportFile.IsOpen() || core.run.WaveAsciiFile.IsOpen())
      << "Stop closes the exports";
}

TEST_F(RunControllerTest, SnapWritesTheSnapshotFile) {
  CalcEngine engine(core, nullptr);
  controller = std::make_unique<RunController>(RunControllerDeps{
      core, ui, prompter, view, link, records, ProgramWorkers(&engine), (dir / "none.ini").string()});
  ASSERT_TRUE(controller->FormCreate());
  const std::string snap = (dir / "snap.dat").string();
  prompter.files = {snap};
  controller->bSnapClick();
  EXPECT_EQ(prompter.dialogs.back().title, "Snap Data File Save in Ascii");
  std::ifstream in(snap, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u + 2256u + 100u + 512u);
  EXPECT_EQ(lines[0], "#  00:00:00\r");
  EXPECT_EQ(lines[1], "0 *** *** *** *** ***\r");
  EXPECT_EQ(lines[2], "0.000000 0.000000\r");
  EXPECT_EQ(lines[2258], "# Power\r");
  EXPECT_EQ(lines[2359], "# wave\r");
}

TEST_F(RunControllerTest, VersionBox) {
  Create().oVersionClick();
  EXPECT_TRUE(prompter.Saw("Ver 4.17B2 (for V2000/XP/VISTA)", "Version"));
}

}  // namespace
}  // namespace qs
