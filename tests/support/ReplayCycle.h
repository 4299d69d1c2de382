#pragma once
// A calculation cycle that only replays: one second of the record file per
// cycle, then the run clock advances, and the samples stay in the rings for
// the test to inspect (the real cycle would take them).
#include "core/AppCore.h"
#include "dsp/CalcThread.h"
#include "record/Replay.h"

namespace qs {

class ReplayCycle final : public CalcCycle {
 public:
  ReplayCycle(AppCore& core, Replay& replay) : core_(core), replay_(replay) {}

  void StartRun() override {}
  bool RunCycle() override {
    if (core_.run.OnlineMode) return true;
    if (replay_.NextSecond() == Replay::Step::EndOfFile) return false;
    core_.run.ClockSec = core_.run.ClockSec + 1;
    return true;
  }

 private:
  AppCore& core_;
  Replay& replay_;
};

}  // namespace qs
