#pragma once
// The state of the main window's controls as the run controller decides it.
// The window shows exactly this after every change; tests read it directly.
#include <string>

namespace qs {

enum class SecondaryWindow { Com, Process, View, Log, Comments, CommentInput, Spectrogram };

struct MainControls {
  // buttons
  bool bStart = true;
  bool bStop = false;
  bool bPause = false;
  std::string bPauseCaption = "Pause";
  bool bComment = true;
  bool optionControlsVisible = false;  // bYes, bNo, bStepExec, bSnap, lPBICh/l, ePBICh/l

  // labels and value boxes
  std::string lBsp = "Bispectrum";
  bool lRecordingVisible = false;
  std::string lNoise;
  std::string lTime = "00:00:00";
  std::string lSEF90 = "SEF95";
  std::string eSEF90Hint = "Spectral Edge Frequency 95%";
  std::string lSynchFS = "BispRatio";
  std::string eSyncFSHint = "Bispectrum Ratio";
  std::string eSEF90 = "***", eBSR = "***", eBratio = "***", eSyncFS = "***", eAmp = "***", eBIS = "***",
              ePBICl = "***", ePBICh = "***";

  // menu
  bool oOnlineChecked = true;
  bool oOfflineChecked = false;
  bool mnFile = true, mnMode = true;
  bool oProcess = true, oCOM = true, oView = true;
  bool oWaveA = false, oBISVal = false;
  bool oEdf = false;  // offline only: exports the replayed record file

  // The whole window; disabled while the processing settings window is open.
  bool formEnabled = true;

  // replay timer
  bool timerEnabled = false;
  int timerIntervalMs = 500;
};

// What the run controller needs from the main window beyond its controls.
class MainView {
 public:
  virtual ~MainView() = default;
  virtual void ControlsChanged(const MainControls& controls) = 0;
  virtual void ShowWindow(SecondaryWindow window) = 0;
  virtual void CloseWindow(SecondaryWindow window) = 0;
  // Ends the program with this exit code (after the window's destruction).
  virtual void ExitProcess(int code) = 0;
  // The log's lines changed (a line added, the log cleared or rebuilt).
  virtual void LogChanged() {}
  // The comment lines changed.
  virtual void CommentsChanged() {}
};

}  // namespace qs
