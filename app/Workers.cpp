#include "app/Workers.h"

#include "display/DrawThread.h"
#include "dsp/CalcThread.h"

namespace qs {

WorkerFactory ProgramWorkers(CalcCycle* cycle) {
  WorkerFactory workers;
  workers.makeDrawThread = [](AppCore& core, UiBridge& ui) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TDrawThread>(core, ui);
  };
  workers.makeCalcThread = [cycle](AppCore& core, UiBridge& ui,
                                   RunRequests& requests) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(core, ui, requests, cycle);
  };
  return workers;
}

}  // namespace qs
