#pragma once
// The program's long-lived worker threads: the drawing thread and the
// calculation thread, as the main window creates them.
#include "app/RunController.h"

namespace qs {

WorkerFactory ProgramWorkers();

}  // namespace qs
