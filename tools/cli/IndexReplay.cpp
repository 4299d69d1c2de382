#include "cli/IndexReplay.h"

#include <memory>

#include "app/RunController.h"
#include "cli/ConsoleRun.h"
#include "dsp/CalcEngine.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"

namespace qs::cli {

bool ReplayIndices(const std::string& record, const std::string& settings, std::vector<EpochResult>& records,
                   std::string* error) {
  auto core = std::make_unique<AppCore>();
  QueuedUiBridge ui;
  ConsolePrompter prompter(record);
  NoWindows view;
  NoMonitorLink link;
  RecordFileService files(*core);
  CalcEngine engine(*core, &files.ReplayInput());
  engine.onRecord = [&records](std::int32_t index, const EpochResult& r, std::uint32_t) {
    // The trend store wraps after MaxMem hours; the records come in order.
    (void)index;
    records.push_back(r);
  };
  WorkerFactory workers;
  workers.makeCalcThread = [&engine](AppCore& c, UiBridge& u,
                                     RunRequests& r) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(c, u, r, &engine);
  };
  workers.allocateCalcBuffers = [&engine](ZeroAllocFn alloc) { return engine.Allocate(alloc); };
  RunController controller(RunControllerDeps{*core, ui, prompter, view, link, files, workers, settings});
  if (!controller.FormCreate()) {
    *error = "the program could not start (out of memory)";
    return false;
  }
  controller.oOfflineClick();
  if (core->run.ReplayFileName.empty()) {
    *error = "the replay refused " + record;
    return false;
  }
  core->settings.CalcOnly = true;
  controller.bStartClick();
  while (!controller.Controls().bStart) ui.RunUntil([&] { return controller.Controls().bStart; }, 1000, 0);
  if (prompter.reported) {
    *error = "the replay of " + record + " reported a problem";
    return false;
  }
  return true;
}

}  // namespace qs::cli
