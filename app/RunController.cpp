#include "app/RunController.h"

#include <cstdio>
#include <filesystem>

#include "config/SettingsFile.h"
#include "dsp/IntervalTexts.h"
#include "link/MonitorLink.h"
#include "logbook/LogFormat.h"
#include "platform/Clock.h"
#include "platform/TextLine.h"
#include "record/RecordFiles.h"

namespace qs {
namespace {

constexpr const char* kOpenFilter =
    "Ascii data file (*dat)|*.dat|EEG data file (*.eeg)|*.eeg|all file (*.*)|*.*|"
    "EDF or BDF file (*.edf *.bdf)|*.edf;*.EDF;*.bdf;*.BDF";
constexpr const char* kSaveFilter =
    "Ascii data file (*dat)|*.dat|EEG data file (*.eeg)|*.eeg|Log file (*.log)|*.log|comment file "
    "(*.cmt)|*.cmt| csv file (*.csv)| *.csv| all file (*.*)| *.*";

constexpr const char* kMapTitles[] = {"Bispectrum", "Bicoherence", "Triple Product", "mBIC"};

bool IsExistingFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool CanRead(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// The save dialog proposes the log or comments file next to the record file:
// the record's extension is replaced. Only a dot in the file's own name counts;
// a dot in a folder name must not cut the path short.
std::string WithExtension(const std::string& path, const char* ext) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot + 1) + ext;
}

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
  controls_.lBsp = kMapTitles[fig >= 0 && fig <= 3 ? fig : 0];
  controls_.timerEnabled = false;
  run.RunContinuous = false;
  run.MonitorInfoSeen = false;

  openDialog_ = FileDialogState{"Select Wave Data FIle", kOpenFilter, 1, "dat", s.WorkDir, ""};
  saveDialog_ = FileDialogState{"Save To File", kSaveFilter, 1, "dat", s.WorkDir, ""};

  link_.Attach(*this);
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
    case LinkStartOutcome::ReceiverSilent:
      prompter_.error("COM port open error", "COM Error");
      StopSub();
      return;
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

// ---------------------------------------------------------------- pacing

void RunController::TimerTimer() {
  RunState& run = core_.run;
  if (run.ReplayTickBusy) return;
  run.ReplayTickBusy = true;
  if (controls_.bStart) {
    StopSub();
    return;
  }
  if (IsOnline() || !run.ReplayFile.IsOpen() || core_.settings.CalcOnly) return;  // guard stays set
  if (!run.StepMode) {
    core_.sync.CalcDataEvent.Set();
  } else if (run.StepCredits > 0) {
    --run.StepCredits;
    core_.sync.CalcDataEvent.Set();
  }
  run.ReplayTickBusy = false;
}

void RunController::bPauseClick() {
  if (IsOnline()) return;
  if (controls_.timerEnabled) {
    controls_.timerEnabled = false;
    controls_.bPauseCaption = "Cont";
  } else {
    controls_.timerEnabled = true;
    controls_.bPauseCaption = "Pause";
  }
  Changed();
}

void RunController::bStepExecClick() { core_.run.StepMode = !core_.run.StepMode; }

void RunController::bYesClick() {
  ++core_.run.StepCredits;
  core_.run.EpochAccepted = true;
}

void RunController::bNoClick() {
  ++core_.run.StepCredits;
  core_.run.EpochAccepted = false;
}

void RunController::bPrevClick() { core_.drawQueue.Push({PrevHour, 0, 0}); }

void RunController::bNextClick() { core_.drawQueue.Push({NextHour, 0, 0}); }

void RunController::ShowDataClock(const std::string& text) {
  if (controls_.lTime == text) return;
  controls_.lTime = text;
  Changed();
}

void RunController::ShowNoise(const std::string& text) {
  if (controls_.lNoise == text) return;
  controls_.lNoise = text;
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

void RunController::AskToSaveLines(const TextLines& lines, const char* question, const char* ext,
                                   int filterIndex, const char* title) {
  if (!prompter_.ask(question, "Save")) return;
  saveDialog_.fileName = WithExtension(saveDialog_.fileName, ext);
  saveDialog_.defaultExt = ext;
  saveDialog_.filterIndex = filterIndex;
  saveDialog_.title = title;
  SaveFileSub();
  if (core_.run.DialogFileName.empty()) return;
  // The lines are the only copy of the case's log; a save that failed must
  // not look like one that worked.
  if (!lines.SaveTo(core_.run.DialogFileName)) prompter_.error("File open error", "File Error");
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

// ---------------------------------------------------------------- Save menu and Snap

bool RunController::OpenExport(const ExportCommand& c, const std::function<void()>& setFlag) {
  if (c.file->IsOpen()) prompter_.error("Save file already open", c.warningCaption);
  saveDialog_.defaultExt = c.ext;
  saveDialog_.filterIndex = c.filterIndex;
  if (c.title != nullptr) saveDialog_.title = c.title;
  SaveFileSub();
  const std::string path = core_.run.DialogFileName;
  if (path.empty()) return false;  // cancelled or overwrite refused: nothing changes
  // The flag first, then the handle: a producer that sees the file open must
  // already see the form it is to be written in.
  if (setFlag) setFlag();
  if (!c.file->Open(path, c.openMode)) {
    prompter_.error(c.openError, "File Error");
    return false;
  }
  return true;
}

void RunController::oWaveBClick() {
  // The binary wave is the packet record; one wave file at a time, so the
  // text wave stops when the binary one starts (and the other way round).
  RunState& run = core_.run;
  if (run.WaveAsciiFile.IsOpen() && !run.RecordFile.IsOpen())
    prompter_.error("Save file already open", "Wave File Error");
  if (OpenExport({&run.RecordFile, "eeg", 2, "Packet Data File Save in Binary", "wb", "Wave File Error",
                  "File open error"},
                 [&] { run.WaveFileBinary = true; }))
    run.WaveAsciiFile.Close();
}

void RunController::oWaveAClick() {
  RunState& run = core_.run;
  if (run.RecordFile.IsOpen() && !run.WaveAsciiFile.IsOpen())
    prompter_.error("Save file already open", "Wave File Error");
  const char* title = run.Rate256 ? "Wave Data (at 256Hz sampling) Save in ASCII"
                                  : "Wave Data (at 128Hz sampling) Save in ASCII";
  if (OpenExport({&run.WaveAsciiFile, "dat", 1, title, "wb", "Wave File Error", "File open error"},
                 [&] { run.WaveFileBinary = false; })) {
    Lock hold(core_.sync.RecordFileLock);
    run.RecordFile.Close();
  }
}

void RunController::oBicBinaryClick() {
  OpenExport({&core_.run.BicExportFile, "bda", 2, "BIC Data File Save in Binary", "wb", "BIC File Error",
              "File open error"},
             [this] { core_.run.BicExportBinary = true; });
}

void RunController::oBicAsciiClick() {
  OpenExport({&core_.run.BicExportFile, "dat", 1, "BIC Data File Save in Ascii", "wb", "BIC File Error",
              "File open error"},
             [this] { core_.run.BicExportBinary = false; });
}

void RunController::oPowBinaryClick() {
  OpenExport({&core_.run.PowExportFile, "bda", 2, "ShowPower Spectrum Data File Save in Binary", "wb",
              "PowSpec File Error", "File open error"},
             [this] { core_.run.PowExportBinary = true; });
}

void RunController::oPowAsciiClick() {
  OpenExport({&core_.run.PowExportFile, "dat", 1, "ShowPower Spectrum Data File Save in Ascii", "wb",
              "PowSpec File Error", "File open error"},
             [this] { core_.run.PowExportBinary = false; });
}

void RunController::oBISValClick() {
  OpenExport({&core_.run.BisVariablesFile, "csv", 5, nullptr, "wb", "BIS Variables File Error",
              "BIS Variables File open error"});
}

void RunController::oAmpClick() {
  OpenExport({&core_.run.AmpExportFile, "csv", 5, nullptr, "wb", "Amplitude File Error", "Amplitude File open error"});
}

void RunController::bSnapClick() {
  saveDialog_.defaultExt = "dat";
  saveDialog_.filterIndex = 1;
  saveDialog_.title = "Snap Data File Save in Ascii";
  SaveFileSub();
  if (core_.run.DialogFileName.empty()) return;
  DataFile file;
  if (!file.Open(core_.run.DialogFileName, "wb")) return;  // no message, as for the other snapshot steps
  // The data clock as the window shows it: the replay's elapsed time offline.
  TextLine line;
  line.Text("# ").Text(core_.run.ReplayFileName).Char(' ').Clock(core_.run.ClockSec).EndLine();
  line.Int(workers_.bispectralEpochs ? workers_.bispectralEpochs() : 0);
  for (const std::string* text : {&controls_.eSEF90, &controls_.eBSR, &controls_.eBratio, &controls_.eSyncFS,
                                  &controls_.eBIS})
    line.Char(' ').Text(*text);
  line.EndLine();
  file.Write(line.Data(), line.Size());
  if (workers_.writeSnapshot) workers_.writeSnapshot(file);
}

// ---------------------------------------------------------------- interval values and log

void RunController::ShowLogHeader() {
  logCounter_ = 0;
  core_.logLines.Append(LogHeader(core_.settings));
  view_.LogChanged();
}

void RunController::SaveLinesAs(const TextLines& lines, const char* ext, int filterIndex, const char* title) {
  saveDialog_.defaultExt = ext;
  saveDialog_.filterIndex = filterIndex;
  saveDialog_.title = title;
  // Offline the file is named after the replayed file, online after the save
  // dialog's last name (the record file's, when one was written).
  saveDialog_.fileName = WithExtension(controls_.oOfflineChecked ? openDialog_.fileName : saveDialog_.fileName, ext);
  SaveFileSub();
  if (core_.run.DialogFileName.empty()) return;
  if (!lines.SaveTo(core_.run.DialogFileName)) prompter_.error("File open error", "File Error");
}

void RunController::LogSaveClick() { SaveLinesAs(core_.logLines, "log", 3, "Logged Data File Save"); }

void RunController::CommentSaveClick() { SaveLinesAs(core_.commentLines, "cmt", 4, "Comments File Save"); }

void RunController::CommentClearClick() {
  if (!prompter_.ask("Are you sure to Clear", "Comments Clear")) return;
  core_.commentLines.Clear();  // comments already written into the log stay there
  view_.CommentsChanged();
}

void RunController::ApplyComment(const std::string& typedTime, const std::string& comment) {
  const std::string time = typedTime.empty() ? commentShownTime_ : typedTime;
  core_.commentLines.Append(time + "," + comment);
  if (core_.settings.CommentOnLog) {
    TextLines& log = core_.logLines;
    const int anchor = core_.run.CommentAnchorLine;
    // The comment belongs to the last log line that existed when the input
    // opened. When the log has since been cleared or rebuilt shorter, that
    // line is gone: the comment becomes a log line of its own rather than be
    // lost from the log.
    if (anchor > 0 && anchor <= log.Count()) {
      log[anchor - 1] += "," + time + "," + comment;
    } else {
      log.Append(time + "," + comment);
    }
    view_.LogChanged();
  }
  core_.run.CommentInputOpen = false;
  view_.CommentsChanged();
}

void RunController::LogClearClick() {
  if (!prompter_.ask("Are you sure to Clear", "Log Clear")) return;
  core_.logLines.Clear();
  view_.LogChanged();
}

void RunController::RebuildLog(int n) {
  qs::RebuildLog(core_.logLines, core_.buffers.trend, n, core_.run.FileStartSec, core_.settings);
  view_.LogChanged();
}

void RunController::ShowInterval(const IntervalTexts& t) {
  const AppSettings& s = core_.settings;
  const bool logOnly = s.CalcOnly;
  if (!logOnly) {
    controls_.eSEF90 = t.sef.View();
    controls_.eBSR = t.bsr.View();
    controls_.eBratio = t.rbr.View();
    controls_.eSyncFS = t.bispr.View();
    controls_.eAmp = t.amp.View();
    controls_.eBIS = t.bis.View();
    if (s.OptionButton) {
      controls_.ePBICl = t.pbicLow.View();
      controls_.ePBICh = t.pbicHigh.View();
    }
    Changed();
  }
  if (++logCounter_ < s.LogInterval) return;
  logCounter_ = 0;
  core_.logLines.Append(LogLine(t, s, logOnly));
  view_.LogChanged();
}

// ---------------------------------------------------------------- modes and files

void RunController::oOnlineClick() {
  if (RunInProgress()) return;
  controls_.oOnlineChecked = true;
  controls_.oOfflineChecked = false;
  core_.run.OnlineMode = true;
  controls_.oWaveA = controls_.oBISVal = controls_.oEdf = false;
  core_.settings.CalcOnly = false;
  core_.run.ReplayFileName.clear();
  core_.run.ReplayFile.Close();
  Changed();
}

void RunController::oOfflineClick() {
  if (RunInProgress()) return;
  controls_.oOnlineChecked = false;
  controls_.oOfflineChecked = true;
  core_.run.OnlineMode = false;
  controls_.oWaveA = controls_.oBISVal = controls_.oEdf = true;
  Changed();
  openDialog_.defaultExt = "eeg";
  openDialog_.filterIndex = 2;
  openDialog_.title = "Wave Data File Open";
  LoadFileSub();
  if (core_.run.ReplayFileName.empty()) return;
  if (!ConvertPickedEdf()) {
    core_.run.ReplayFileName.clear();
    return;
  }
  const ReplayOpenOutcome scanned = records_.Prescan(core_.run.ReplayFileName);
  if (scanned != ReplayOpenOutcome::Ok) {
    prompter_.error(ReplayOpenMessage(scanned), "File Error");
    core_.run.ReplayFileName.clear();
  }
}

void RunController::SaveFileSub() {
  std::string& chosen = core_.run.DialogFileName;
  chosen.clear();
  if (saveDialog_.fileName.empty()) {
    const TimeOfDay now = LocalNow();
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", now.year, now.month, now.day);
    saveDialog_.fileName = date;
  }
  const auto picked = prompter_.saveFile(saveDialog_);
  if (!picked) return;
  chosen = *picked;
  saveDialog_.fileName = *picked;
  std::error_code ec;
  if (!std::filesystem::exists(chosen, ec)) return;
  if (!prompter_.ask("File already exists", "Overwrite ")) chosen.clear();
}

void RunController::LoadFileSub() {
  RunState& run = core_.run;
  run.ReplayFileName.clear();
  run.DialogFileName.clear();
  while (run.DialogFileName.empty()) {
    const auto picked = prompter_.openFile(openDialog_);
    if (!picked) return;
    openDialog_.fileName = *picked;
    if (!IsExistingFile(*picked)) continue;  // a name that does not exist: ask again
    if (!CanRead(*picked)) {
      // "Again set File Name?" Yes shows the dialog again; No gives up.
      if (!prompter_.ask("File cannot open", "Again set File Name ")) return;
      continue;
    }
    run.DialogFileName = *picked;
  }
  run.ReplayFileName = run.DialogFileName;
}

void RunController::OpenDialogCanClose() { core_.run.ReplayFileName.clear(); }

// ---------------------------------------------------------------- windows

void RunController::oCOMClick() {
  if (core_.run.WindowOpen) return;
  core_.run.WindowOpen = true;
  view_.ShowWindow(SecondaryWindow::Com);
}

void RunController::oProcessClick() {
  if (core_.run.WindowOpen) return;
  core_.run.WindowOpen = true;
  processing_.ShowProcessingWindow();
  view_.ShowWindow(SecondaryWindow::Process);
}

void RunController::oViewClick() {
  if (core_.run.WindowOpen) return;
  core_.run.WindowOpen = true;
  viewing_.ShowViewWindow();
  view_.ShowWindow(SecondaryWindow::View);
}

void RunController::oLogClick() {
  if (!core_.run.WindowOpen) {
    core_.run.WindowOpen = true;
    view_.ShowWindow(SecondaryWindow::Log);
  } else {
    core_.run.WindowOpen = false;
    view_.CloseWindow(SecondaryWindow::Log);
  }
}

void RunController::oCommentClick() {
  if (!core_.run.WindowOpen) {
    core_.run.WindowOpen = true;
    view_.ShowWindow(SecondaryWindow::Comments);
  } else {
    core_.run.WindowOpen = false;
    view_.CloseWindow(SecondaryWindow::Comments);
  }
}

void RunController::bCommentClick() {
  if (core_.run.CommentInputOpen) return;
  core_.run.CommentAnchorLine = core_.logLines.Count();
  core_.run.CommentInputOpen = true;
  const TimeOfDay now = LocalNow();
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour, now.minute, now.second);
  commentShownTime_ = time;
  view_.ShowWindow(SecondaryWindow::CommentInput);
}

void RunController::SecondaryWindowClosed(SecondaryWindow window) {
  switch (window) {
    case SecondaryWindow::CommentInput:
      core_.run.CommentInputOpen = false;
      break;
    case SecondaryWindow::Process:
      processing_.CloseProcessingWindow();
      break;
    case SecondaryWindow::View:
      viewing_.CloseViewWindow();
      break;
    default:
      core_.run.WindowOpen = false;
      break;
  }
}

// ---------------------------------------------------------------- for the settings windows

void RunController::SetMainWindowEnabled(bool enabled) {
  controls_.formEnabled = enabled;
  Changed();
}

void RunController::ShowSef(bool sef90) {
  controls_.lSEF90 = sef90 ? "SEF90" : "SEF95";
  controls_.eSEF90Hint = sef90 ? "Spectral Edge Frequency 90%" : "Spectral Edge Frequency 95%";
  Changed();
}

void RunController::SetReplayInterval(int ms) {
  // A running replay takes the new pace at once.
  controls_.timerIntervalMs = ms;
  Changed();
}

void RunController::SetMapTitle(int figType) {
  controls_.lBsp = kMapTitles[figType >= 0 && figType <= 3 ? figType : 0];
  Changed();
}

// ---------------------------------------------------------------- version and exit

void RunController::oVersionClick() { prompter_.inform(kVersionText, "Version"); }

void RunController::ConfirmExit(const char* question) {
  if (RunInProgress()) return;  // a run blocks leaving; stop it first
  if (prompter_.ask(question, "Quellscope")) view_.ExitProcess(0);
}

void RunController::oExitClick() { ConfirmExit("Are you sure to Exit"); }

bool RunController::FormCloseQuery() {
  ConfirmExit("Are you sure to Exit?");
  return false;
}

}  // namespace qs
