// The run controller's file commands: the Save menu's exports and Snap, saving
// and clearing the log and comments, the mode items and the file dialogs.
#include <cstdio>
#include <filesystem>

#include "app/RunController.h"
#include "dsp/IntervalTexts.h"
#include "logbook/LogFormat.h"
#include "platform/Clock.h"
#include "platform/TextLine.h"
#include "record/RecordFiles.h"

namespace qs {
namespace {

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
  bool opened = false;
  if (c.lock != nullptr) {
    Lock hold(*c.lock);
    opened = c.file->Open(path, c.openMode);
  } else {
    opened = c.file->Open(path, c.openMode);
  }
  if (!opened) {
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
  // Opened under the writer's lock: the receive thread then sees a new file
  // before it writes the next packet, and begins it with a header of its own
  // at its next processed-variables message.
  if (OpenExport({&run.RecordFile, "eeg", 2, "Packet Data File Save in Binary", "wb", "Wave File Error",
                  "File open error", &core_.sync.RecordFileLock},
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

}  // namespace qs
