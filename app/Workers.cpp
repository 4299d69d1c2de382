#include "app/Workers.h"

#include "display/DrawThread.h"
#include "display/GraphDrawing.h"
#include "dsp/CalcEngine.h"
#include "dsp/CalcThread.h"

namespace qs {

WorkerFactory ProgramWorkers(CalcEngine* engine, GraphScreen* screen, int pauseMs) {
  WorkerFactory workers;
  workers.makeDrawThread = [engine, screen, pauseMs](AppCore& core, UiBridge& ui) -> std::unique_ptr<WorkerThread> {
    GraphDrawingOptions options;
    options.screen = screen;
    options.bicDisplay = engine != nullptr ? engine->Bispectral().BicDisplay() : nullptr;
    options.pauseMs = pauseMs;
    return std::make_unique<TDrawThread>(core, ui, std::make_unique<GraphDrawing>(core, ui, options));
  };
  workers.makeCalcThread = [engine](AppCore& core, UiBridge& ui,
                                   RunRequests& requests) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(core, ui, requests, engine);
  };
  if (engine != nullptr) {
    workers.allocateCalcBuffers = [engine](ZeroAllocFn alloc) { return engine->Allocate(alloc); };
    workers.writeSnapshot = [engine](DataFile& file) { engine->WriteSnapshot(file); };
    workers.bispectralEpochs = [engine] { return engine->Bispectral().N(); };
  }
  return workers;
}

}  // namespace qs
