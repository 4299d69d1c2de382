#include "app/Workers.h"

#include "display/DrawThread.h"
#include "dsp/CalcThread.h"

namespace qs {

WorkerFactory ProgramWorkers() {
  WorkerFactory workers;
  workers.makeDrawThread = [](AppCore& core, UiBridge& ui) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TDrawThread>(core, ui);
  };
  workers.makeCalcThread = [](AppCore& core, UiBridge& ui, RunRequests& requests) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(core, ui, requests);
  };
  return workers;
}

}  // namespace qs
