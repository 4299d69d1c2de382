#include "dsp/CalcThread.h"

namespace qs {

TCalcThread::TCalcThread(AppCore& core, UiBridge& ui, RunRequests& requests, CalcCycle* cycle)
    : WorkerThread(ui, ThreadPriority::Normal),
      core_(core),
      requests_(requests),
      cycle_(cycle),
      wake_(core.sync.group) {
  if (cycle_ != nullptr) cycle_->Attach(ui, requests);
}

TCalcThread::~TCalcThread() { TerminateAndJoin(); }

void TCalcThread::EndRun() {
  if (cycle_ != nullptr) cycle_->Flush();
  core_.run.RunContinuous = false;
  requests_.RequestStop(runId_);
}

void TCalcThread::Execute() {
  SyncObjects& sync = core_.sync;
  RunState& run = core_.run;
  while (!Terminated()) {
    const int woken =
        WaitAny({&sync.CalcStartEvent, &sync.CalcDataEvent, &sync.CalcRunEvent, &sync.CalcStopEvent, &wake_}, kWaitMs);
    if (Terminated()) break;
    bool cycle = false;
    switch (woken) {
      case 0:
        // A new run: the run controller has advanced the run id before it set
        // the event, so every later request of this thread names this run.
        runId_ = run.RunId;
        ++starts_;
        if (cycle_ != nullptr) cycle_->StartRun();
        break;
      case 1:
        cycle = true;
        break;
      case 2:
        run.RunContinuous = true;
        break;
      case 3:
        if (cycle_ != nullptr) cycle_->Flush();
        run.RunContinuous = false;
        requests_.RequestStop(runId_);
        break;
      default:
        break;  // time-out: look at the termination flag again
    }
    // Calculation Only runs cycles back to back until the input ends or Stop
    // clears the flag.
    while ((cycle || run.RunContinuous) && !Terminated()) {
      cycle = false;
      ++cycles_;
      // Until processing stages are attached, an offline run has no input to
      // take: it ends at once, as at the end of a file.
      const bool more = cycle_ != nullptr ? cycle_->RunCycle() : run.OnlineMode.load();
      if (!more) {
        EndRun();
        break;
      }
    }
    if (cycle_ != nullptr) cycle_->Flush();
  }
}

}  // namespace qs
