#pragma once
// The program's long-lived worker threads: the drawing thread and the
// calculation thread, as the main window creates them.
#include "app/RunController.h"

namespace qs {

class CalcEngine;

// engine: the calculation thread's work per second (null: the thread only
// follows starts and stops).
WorkerFactory ProgramWorkers(CalcEngine* engine = nullptr);

}  // namespace qs
