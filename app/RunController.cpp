#include "app/RunController.h"

#include "config/SettingsFile.h"
#include "link/MonitorLink.h"
#include "record/RecordFiles.h"

namespace qs {
namespace {

constexpr const char* kOpenFilter =
    "Ascii data file (*dat)|*.dat|EEG data file (*.eeg)|*.eeg|all file (*.*)|*.*|"
    "EDF or BDF file (*.edf *.bdf)|*.edf;*.EDF;*.bdf;*.BDF|Vital file (*.vital)|*.vital;*.VITAL";
constexpr const char* kSaveFilter =
    "Ascii data file (*dat)|*.dat|EEG data file (*.eeg)|*.eeg|Log file (*.log)|*.log|comment file "
    "(*.cmt)|*.cmt| csv file (*.csv)| *.csv| all file (*.*)| *.*";


}  // namespace

RunController::RunController(RunControllerDeps deps)
    : core_(deps.core),
      ui_(deps.ui),
      prompter_(deps.prompter),
      view_(deps.view),
      link_(deps.link),
      records_(deps.records),
      workers_(std::move(deps.workers)),
      settingsPath_(std::move(deps.settingsPath)),
      allocate_(deps.allocate) {}

RunController::~RunController() { FormDestroy(); }

bool RunController::FormCreate() {
  RunState& run = core_.run;
  controls_ = MainControls{};
  controls_.oOnlineChecked = true;
  controls_.oOfflineChecked = false;
  run.OnlineMode = true;

  // Built-in defaults, then the settings file on top of them.
  core_.settings = AppSettings{};
  const SettingsLoadResult loaded = LoadSettings(core_.settings, settingsPath_);
  settingsProblem_ = DescribeSettingsProblem(loaded);
  const AppSettings& s = core_.settings;

  if (!core_.buffers.Allocate(s.MaxMem, allocate_) ||
      (workers_.allocateCalcBuffers && !workers_.allocateCalcBuffers(allocate_))) {
    prompter_.error("Out of Memory", "Exit");
    view_.ExitProcess(1);
    return false;
  }

  controls_.optionControlsVisible = s.OptionButton;
  if (s.SynchFastSlow) {
    controls_.lSynchFS = "SynchFS";
    controls_.eSyncFSHint = "SynchFastSlow";
  }
  const int fig = s.FigType;
  controls_.lBsp = MapTitle(fig);
  controls_.timerEnabled = false;
  run.RunContinuous = false;
  run.MonitorInfoSeen = false;

  openDialog_ = FileDialogState{"Select Wave Data FIle", kOpenFilter, 1, "dat", s.WorkDir, ""};
  saveDialog_ = FileDialogState{"Save To File", kSaveFilter, 1, "dat", s.WorkDir, ""};

  link_.Attach(*this);
  link_.AttachNotices(*this);
  if (workers_.makeDrawThread) drawThread_ = workers_.makeDrawThread(core_, ui_);
  if (workers_.makeCalcThread) calcThread_ = workers_.makeCalcThread(core_, ui_, *this);
  if (drawThread_) drawThread_->Start();
  if (calcThread_) calcThread_->Start();
  Changed();
  return true;
}

void RunController::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // The link threads post to this controller and use the records below.
  link_.EndThreads();
  *alive_ = false;
  RunState& run = core_.run;
  run.ReplayFile.Close();
  run.BicExportFile.Close();
  run.PowExportFile.Close();
  run.BisVariablesFile.Close();
  run.AmpExportFile.Close();
  // A worker blocked in a synchronized call would wait for this very thread:
  // shut the hand-off first so such calls return at once.
  ui_.Shutdown();
  if (calcThread_) calcThread_->Terminate();
  if (drawThread_) {
    drawThread_->Terminate();
    core_.sync.DrawEvent.Set();
  }
  // Both threads notice within one 200 ms wait. The joins below have no limit:
  // the events, locks and buffers they use must outlive them.
  if (calcThread_) calcThread_->WaitFor(500);
  if (drawThread_) drawThread_->WaitFor(500);
  calcThread_.reset();
  drawThread_.reset();
}

// ---------------------------------------------------------------- starting

void RunController::StartSub() {
  controls_.bStart = false;
  linkSilent_ = false;
  controls_.lNoise.clear();
  controls_.oProcess = controls_.oCOM = controls_.mnMode = controls_.mnFile = false;
  if (!core_.settings.CalcOnly) {
    for (std::string* box : {&controls_.eSEF90, &controls_.eBSR, &controls_.eBratio, &controls_.eSyncFS,
                             &controls_.eAmp, &controls_.eBIS})
      *box = "***";
  }
  Changed();
}

void RunController::bStartClick() {
  if (RunInProgress()) return;
  // Link threads of the last online run may still be repeating their stop
  // requests to a monitor that no longer answers: they end here, before this
  // run resets the state they share (see MonitorLink::EndThreads).
  link_.EndThreads();
  RunState& run = core_.run;
  run.RunId = run.RunId + 1;

  core_.drawQueue.PushBatch({{WaveReset, 0, 0}, {PowerFrame, 0, 0}, {BicReset, 0, 0}, {TrendReset, 0, 0}});
  run.StepMode = false;
  StartSub();

  if (core_.settings.AutoRec && IsOnline() && !run.RecordFile.IsOpen()) {
    if (!CreateRecordFile()) {
      // An abandoned start would leave both Start and Stop disabled; the
      // window goes back to Idle instead.
      StopSub();
      return;
    }
  }

  core_.sync.CalcStartEvent.Set();
  run.RunContinuous = false;
  run.MonitorInfoSeen = false;
  core_.buffers.trend.index = 0;
  run.TrendStartHour = 0;
  run.TrendStartSlot = 0;

  if (IsOnline()) {
    StartOnline();
  } else {
    StartOffline();
  }
}

bool RunController::CreateRecordFile() {
  std::string path;
  if (records_.CreateAutomatic(path) == RecordCreateOutcome::Created) {
    saveDialog_.fileName = path;
    return true;
  }
  // All 99 names of the day are taken: the user names the file.
  saveDialog_.defaultExt = "eeg";
  saveDialog_.filterIndex = 2;
  saveDialog_.title = "Packet Data File Save in Binary";
  SaveFileSub();
  if (core_.run.DialogFileName.empty()) return false;  // cancelled: no message
  if (!records_.CreateAt(core_.run.DialogFileName)) {
    prompter_.error("Packet Record File cannot create", "File Error");
    return false;
  }
  return true;
}

void RunController::StartOnline() {
  RunState& run = core_.run;
  run.WaveGain = 0.0f;
  run.WaveOffset = 0.0f;
  run.Rate256 = core_.settings.SamplingRate == 1;
  run.RecordingRunId = run.RunId.load();
  switch (link_.Start(run.RunId)) {
    case LinkStartOutcome::Started:
      break;
    case LinkStartOutcome::ReceiverSilent: {
      // The message of old, and under it what the user can do about it.
      const std::string reason = link_.StartProblem();
      prompter_.error(reason.empty() ? std::string("COM port open error") : "COM port open error\n" + reason,
                      "COM Error");
      StopSub();
      return;
    }
    case LinkStartOutcome::SenderSilent:
      // No message for this one; but a start left half done would leave both
      // Start and Stop disabled, so the window returns to Idle.
      StopSub();
      return;
  }
  controls_.lRecordingVisible = run.RecordFile.IsOpen();
  controls_.bComment = true;
  Changed();
  // Stop stays disabled until the monitor acknowledges the first request.
  core_.sync.TxStartEvent.Set();
}

void RunController::StartOffline() {
  RunState& run = core_.run;
  const AppSettings& s = core_.settings;
  controls_.bPause = !s.CalcOnly;
  controls_.bPauseCaption = "Pause";
  Changed();

  const ReplayOpenOutcome opened =
      run.ReplayFileName.empty() ? ReplayOpenOutcome::NotSelected : records_.OpenReplay(run.ReplayFileName);
  if (opened != ReplayOpenOutcome::Ok) {
    prompter_.error(ReplayOpenMessage(opened), "File Error");
    StopSub();
    return;
  }
  const std::uint32_t t = run.ClockSec;
  run.TrendStartHour = static_cast<std::int32_t>(((t + 20) / 3600) % 24);
  run.TrendStartSlot = static_cast<std::int32_t>(((t + 20) % 3600) / 10);

  controls_.bStop = true;
  controls_.bComment = true;
  if (s.CalcOnly) {
    Changed();
    core_.sync.CalcRunEvent.Set();
    return;
  }
  controls_.timerIntervalMs = s.ReplayIntervalMs;
  run.ReplayTickBusy = false;
  controls_.timerEnabled = true;
  Changed();
}

// ---------------------------------------------------------------- stopping

void RunController::bStopClick() {
  RunState& run = core_.run;
  if (IsOnline()) {
    if (!prompter_.ask("Are you sure to stop?", "Stop")) return;
    core_.sync.TxStopEvent.Set();
    StopSub();
    if (core_.logLines.Count() > 0 && IsOnline())
      AskToSaveLines(core_.logLines, "Save Logged List", "log", 3, "Logged Data File Save");
    if (core_.commentLines.Count() > 0)
      AskToSaveLines(core_.commentLines, "Save Comment List", "cmt", 4, "Comments File Save");
    return;
  }
  if (core_.settings.CalcOnly) {
    run.RunContinuous = false;
    StopSub();
    return;
  }
  controls_.timerEnabled = false;
  run.ReplayTickBusy = false;
  Changed();
  // The calculation thread finishes its cycle and answers with StopSub.
  core_.sync.CalcStopEvent.Set();
}

void RunController::CloseRunFiles() {
  RunState& run = core_.run;
  run.ReplayFile.Close();
  run.BicExportFile.Close();
  run.PowExportFile.Close();
  {
    Lock hold(core_.sync.RecordFileLock);
    run.RecordingRunId = 0;
    run.RecordFile.Close();
  }
  run.BisVariablesFile.Close();
  run.AmpExportFile.Close();
  run.WaveAsciiFile.Close();
}

void RunController::StopSubHead() {
  controls_.timerEnabled = false;
  core_.run.ReplayTickBusy = false;
  linkSilent_ = false;
  controls_.lNoise.clear();
  controls_.bComment = true;
  CloseRunFiles();
  Changed();
}

void RunController::StopSubTail() {
  controls_.bStart = true;
  controls_.bStop = false;
  controls_.oProcess = controls_.oCOM = controls_.mnMode = controls_.mnFile = true;
  controls_.bPause = false;
  controls_.bPauseCaption = "Pause";  // a run stopped while paused must not start the next one as "Cont"
  controls_.oView = true;
  controls_.lRecordingVisible = false;
  Changed();
}

void RunController::StopSub() {
  StopSubHead();
  StopSubTail();
}

void RunController::StopSub1() {
  prompter_.error("BIS monitor did not respond, check connection and monitor settings", "BIS monitor Error");
  StopSubHead();
  StopSubTail();
}

void RunController::StopSub2() {
  StopSubHead();
  StopSubTail();
}

void RunController::PostIfCurrent(std::uint32_t runId, void (RunController::*step)()) {
  std::weak_ptr<bool> alive = alive_;
  ui_.Post([this, alive, runId, step] {
    const auto a = alive.lock();
    if (!a || !*a || runId != core_.run.RunId) return;
    (this->*step)();
  });
}

void RunController::RequestStop(std::uint32_t runId) { PostIfCurrent(runId, &RunController::StopSub); }

void RunController::RequestStopNoMonitor(std::uint32_t runId) {
  PostIfCurrent(runId, &RunController::StopSub1WhileRunning);
}

void RunController::RequestStopAfterLink(std::uint32_t runId) {
  PostIfCurrent(runId, &RunController::StopSub2WhileRunning);
}

// Stop has already restored Idle when the send thread finishes its stop
// requests, and the user may since have opened export files for the next run
// from the Save menu: a second StopSub would close them. So the link's stop
// requests act only on a run that is still shown running.
void RunController::StopSub1WhileRunning() {
  if (RunInProgress()) StopSub1();
}

void RunController::StopSub2WhileRunning() {
  if (RunInProgress()) StopSub2();
}

void RunController::RequestEnableStop(std::uint32_t runId) { PostIfCurrent(runId, &RunController::EnableStop); }

void RunController::EnableStop() {
  if (controls_.bStart) return;  // the run has ended meanwhile
  controls_.bStop = true;
  Changed();
}

}  // namespace qs
