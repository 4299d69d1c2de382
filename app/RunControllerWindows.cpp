// The run controller's windows: opening and closing the secondary windows,
// what the settings windows change in the main window, version and exit.
#include "app/RunController.h"
#include "platform/Clock.h"

namespace qs {

const char* MapTitle(int figType) {
  static constexpr const char* kTitles[] = {"Bispectrum", "Bicoherence", "Triple Product", "mBIC"};
  return kTitles[figType >= 0 && figType <= 3 ? figType : 0];
}


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

// The log and comments items open their window, or close the one that is open:
// one secondary window at a time.
void RunController::ToggleWindow(SecondaryWindow window) {
  core_.run.WindowOpen = !core_.run.WindowOpen;
  if (core_.run.WindowOpen) {
    view_.ShowWindow(window);
  } else {
    view_.CloseWindow(window);
  }
}

void RunController::oLogClick() { ToggleWindow(SecondaryWindow::Log); }

void RunController::oCommentClick() { ToggleWindow(SecondaryWindow::Comments); }

void RunController::oSpectrogramClick() { view_.ShowWindow(SecondaryWindow::Spectrogram); }

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
    case SecondaryWindow::Spectrogram:
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
  controls_.lBsp = MapTitle(figType);
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
