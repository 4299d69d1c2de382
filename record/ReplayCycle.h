#pragma once
// The calculation thread's offline input: one replayed second per cycle, after
// which the run clock advances by one second. Online cycles take their second
// from the receive thread instead and replay nothing.
#include "app/AppCore.h"
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
