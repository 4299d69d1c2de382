// The run controller's replay pacing and epoch review: the replay timer, Pause,
// step mode, the Yes/No review of an epoch and the trend's hour pages.
#include "app/RunController.h"

namespace qs {

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

// While the monitor is silent the notice holds both indicators: the clock at
// the last second received, "No data" beside "Waveform"; a second the drawing
// thread still had queued must not replace them.
void RunController::ShowDataClock(const std::string& text) {
  if (linkSilent_ || controls_.lTime == text) return;
  controls_.lTime = text;
  Changed();
}

void RunController::ShowNoise(const std::string& text) {
  if (linkSilent_ || controls_.lNoise == text) return;
  controls_.lNoise = text;
  Changed();
}

}  // namespace qs
