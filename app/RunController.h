#pragma once
// The run controller: the main window's behaviour without its widgets. It owns
// the mode (online or offline), starts and stops runs, paces replay with the
// timer, switches epoch review, forwards trend paging to the drawing thread and
// creates and ends the two long-lived worker threads. Everything here runs on
// the user-interface thread; workers reach it through RunRequests, which posts.
//
// Handlers carry the names of the controls and events they serve.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/AppCore.h"
#include "app/MainControls.h"
#include "core/RunRequests.h"
#include "config/ProcessingSettings.h"
#include "config/SettingsHost.h"
#include "config/ViewSettings.h"
#include "core/ProcessingBuffers.h"
#include "link/LinkNotices.h"
#include "platform/Prompter.h"
#include "platform/UiBridge.h"
#include "platform/WorkerThread.h"
#include "platform/DataFile.h"

namespace qs {

class MonitorLink;
class RecordFiles;

inline constexpr const char* kVersionText = "Ver 4.17B2 (for V2000/XP/VISTA)";
// The bispectrum map's caption for a FigType; an unknown type reads as 0.
const char* MapTitle(int figType);

// The long-lived workers, made by the program's composition root (the drawing
// thread needs the display library, which this headless code does not link).
struct WorkerFactory {
  std::function<std::unique_ptr<WorkerThread>(AppCore&, UiBridge&)> makeDrawThread;
  std::function<std::unique_ptr<WorkerThread>(AppCore&, UiBridge&, RunRequests&)> makeCalcThread;
  // The calculation's own buffers, allocated with the shared ones at start-up.
  std::function<bool(ZeroAllocFn)> allocateCalcBuffers;
  // Writes the snapshot file's body (everything after its two header lines)
  // from the calculation's current state; the N of the bispectral window.
  std::function<void(DataFile&)> writeSnapshot;
  std::function<int()> bispectralEpochs;
};

struct RunControllerDeps {
  AppCore& core;
  UiBridge& ui;
  Prompter& prompter;
  MainView& view;
  MonitorLink& link;
  RecordFiles& records;
  WorkerFactory workers;
  std::string settingsPath = "Kvo_V2000.ini";
  ZeroAllocFn allocate = &std::calloc;
};

class RunController final : public RunRequests, public SettingsHost, public LinkNotices {
 public:
  explicit RunController(RunControllerDeps deps);
  ~RunController() override;
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // Window creation. False when the program must end (out of memory): the
  // message has been shown and ExitProcess(1) requested.
  bool FormCreate();
  // Window destruction: closes files, ends both workers. Safe to call twice.
  void FormDestroy();

  void bStartClick();
  void bStopClick();
  void bPauseClick();
  void TimerTimer();
  void oOnlineClick();
  void oOfflineClick();
  void bStepExecClick();
  void bYesClick();
  void bNoClick();
  void bPrevClick();
  void bNextClick();
  // The drawing thread's indicators: the data clock and the artifact text.
  void ShowDataClock(const std::string& text);
  void ShowNoise(const std::string& text);
  void bCommentClick();
  void oCOMClick();
  void oProcessClick();
  void oViewClick();
  void oLogClick();
  void oCommentClick();
  void OpenDialogCanClose();
  void oVersionClick();
  void oExitClick();
  // The window asks before it closes; it never closes itself (false), but a
  // confirmed exit ends the program.
  bool FormCloseQuery();
  // A secondary window closed by the user clears WindowOpen.
  void SecondaryWindowClosed(SecondaryWindow window);

  void StartSub();
  void StopSub();
  void StopSub1();
  void StopSub2();
  void StopSubHead();
  void StopSubTail();
  void SaveFileSub();
  void LoadFileSub();

  // RunRequests: posted to the user-interface thread, dropped when stale.
  void RequestStop(std::uint32_t runId) override;
  void RequestStopNoMonitor(std::uint32_t runId) override;
  void RequestStopAfterLink(std::uint32_t runId) override;
  void RequestEnableStop(std::uint32_t runId) override;
  // LinkNotices: posted by the link threads, dropped when stale. The
  // monitor's silence shows "No data" beside "Waveform" and keeps the clock
  // at the last second received; every notice becomes a comment line.
  void LinkNotice(std::uint32_t runId, LinkEvent event, std::uint32_t secondOfDay,
                  const std::string& detail) override;
  // The log window's commands.
  void LogSaveClick();
  void LogClearClick();
  void RebuildLog(int n) override;
  // The Save menu: each chooses a file and opens it; the producing thread
  // writes it while it is open, and Stop closes it.
  void oWaveBClick();
  void oWaveAClick();
  void oBicBinaryClick();
  void oBicAsciiClick();
  void oPowBinaryClick();
  void oPowAsciiClick();
  void oBISValClick();
  void oAmpClick();
  // "EDF+" (offline): the replayed record file, with the comments window's
  // lines, as an EDF+ file.
  void oEdfClick();
  // "Snap": the current bispectrum, spectrum and wave into a text file at once.
  void bSnapClick();

  // The comment windows' commands.
  void ApplyComment(const std::string& time, const std::string& comment);
  void CommentSaveClick();
  void CommentClearClick();
  const std::string& CommentShownTime() const { return commentShownTime_; }
  void ShowLogHeader() override;
  void ShowInterval(const IntervalTexts& texts) override;

  // SettingsHost: what the processing and view settings windows change here.
  bool IsOnline() const override { return controls_.oOnlineChecked; }
  bool RunInProgress() const override { return !controls_.bStart; }
  void SetMainWindowEnabled(bool enabled) override;
  void ShowSef(bool sef90) override;
  bool ShowsSef90() const override { return controls_.lSEF90 == "SEF90"; }
  void SetReplayInterval(int ms) override;
  void SetMapTitle(int figType) override;

  // The two settings windows' behaviour; the windows show and drive it.
  ProcessingSettings& Processing() { return processing_; }
  ViewSettings& Viewing() { return viewing_; }

  const MainControls& Controls() const { return controls_; }
  FileDialogState& SaveDialog() { return saveDialog_; }
  FileDialogState& OpenDialog() { return openDialog_; }
  AppCore& Core() { return core_; }
  // Non-empty when the settings file had a line that stopped its reading.
  const std::string& SettingsProblem() const { return settingsProblem_; }

 private:
  void Changed() { view_.ControlsChanged(controls_); }
  void StartOnline();
  bool CreateRecordFile();
  void StartOffline();
  // The file picked in Offline is an EDF, BDF or Vital file: offers its
  // conversion into a record file beside it and makes that the file to
  // replay (a Vital file's first part; the others are named in a message).
  // False when the user declines or the conversion fails (after its message).
  bool ConvertPickedEdf();
  void AskToSaveLines(const TextLines& lines, const char* question, const char* ext, int filterIndex,
                      const char* title);
  void ToggleWindow(SecondaryWindow window);
  void PostIfCurrent(std::uint32_t runId, void (RunController::*step)());
  void EnableStop();
  void StopSub1WhileRunning();
  void StopSub2WhileRunning();
  void CloseRunFiles();
  void ConfirmExit(const char* question);
  void ShowLinkNotice(LinkEvent event, std::uint32_t secondOfDay, const std::string& detail);
  // A comment line the program writes itself (and onto the log's last line
  // when CommentOnLog is set, as a typed comment would go).
  void AddProgramComment(const std::string& time, const std::string& text);

  AppCore& core_;
  UiBridge& ui_;
  Prompter& prompter_;
  MainView& view_;
  MonitorLink& link_;
  RecordFiles& records_;
  WorkerFactory workers_;
  std::string settingsPath_;
  ZeroAllocFn allocate_;

  MainControls controls_;
  FileDialogState openDialog_;
  FileDialogState saveDialog_;
  std::string settingsProblem_;
  std::unique_ptr<WorkerThread> drawThread_;
  std::unique_ptr<WorkerThread> calcThread_;
  // Posted requests check this before touching the controller.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool destroyed_ = false;
  bool linkSilent_ = false;  // the online run's monitor is silent: "No data"
  int logCounter_ = 0;  // intervals since the last log line
  std::string commentShownTime_;  // the time proposed when the comment input opened
  void SaveLinesAs(const TextLines& lines, const char* ext, int filterIndex, const char* title);
  struct ExportCommand {
    DataFile* file;
    const char* ext;
    int filterIndex;
    const char* title;  // null: the dialog keeps its title
    const char* openMode;
    const char* warningCaption;
    const char* openError;
    CriticalSection* lock = nullptr;  // held around the open (the record file's writer)
  };
  // True when a file was opened.
  bool OpenExport(const ExportCommand& command, const std::function<void()>& setFlag = {});

  ProcessingSettings processing_{{core_.settings, core_.run, core_.drawQueue, core_.buffers.trend, prompter_, *this}};
  ViewSettings viewing_{{core_.settings, core_.run, core_.drawQueue, *this}};
};

}  // namespace qs
