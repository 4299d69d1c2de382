#pragma once
// The calculation thread: wakes on its four events (start, one second of data,
// run continuously, stop) with a 200 ms time-out, and turns each second of EEG
// into the interval records. Processing stages plug in through CalcCycle.
#include <cstdint>

#include "core/AppCore.h"
#include "core/RunRequests.h"
#include "platform/WorkerThread.h"

namespace qs {

// The work of one run, as the calculation thread drives it.
class UiBridge;

class CalcCycle {
 public:
  virtual ~CalcCycle() = default;
  // The thread that runs the cycle: its hand-off to the user-interface thread.
  virtual void Attach(UiBridge& /*ui*/, RunRequests& /*requests*/) {}
  // Start event: reset all processing state for a new run.
  virtual void StartRun() = 0;
  // One cycle (one second). False when the input is exhausted (end of the
  // replayed file): the run then ends.
  virtual bool RunCycle() = 0;
  // Before the thread asks for a stop or goes back to waiting: whatever the
  // cycles held back for the user-interface thread is handed over, so that it
  // arrives before the stop request.
  virtual void Flush() {}
};

class TCalcThread final : public WorkerThread {
 public:
  static constexpr int kWaitMs = 200;

  // cycle may be null: the thread then only follows the run (start, stop).
  TCalcThread(AppCore& core, UiBridge& ui, RunRequests& requests, CalcCycle* cycle = nullptr);
  ~TCalcThread() override;

  // Counters for tests and diagnostics.
  std::uint32_t StartsSeen() const { return starts_; }
  std::uint32_t CyclesRun() const { return cycles_; }

 protected:
  void Execute() override;
  void WakeForTermination() noexcept override { wake_.Set(); }

 private:
  void EndRun();

  AppCore& core_;
  RunRequests& requests_;
  CalcCycle* cycle_;
  // The thread's own wake-up at termination, beside its four events: the end
  // of a program or a command-line replay need not wait out the time-out.
  AutoResetEvent wake_;
  std::uint32_t runId_ = 0;  // the run this thread's current work belongs to
  Relaxed<std::uint32_t> starts_{0};
  Relaxed<std::uint32_t> cycles_{0};
};

}  // namespace qs
