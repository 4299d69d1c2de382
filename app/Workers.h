#pragma once
// The program's long-lived worker threads: the drawing thread and the
// calculation thread, as the main window creates them.
#include "app/RunController.h"

namespace qs {

class CalcEngine;
class GraphScreen;

// engine: the calculation thread's work per second (null: the thread only
// follows starts and stops). screen: where the drawing thread shows its
// pictures (null: they are drawn and kept). pauseMs: the drawing thread's
// breathing pause after each picture shown.
WorkerFactory ProgramWorkers(CalcEngine* engine = nullptr, GraphScreen* screen = nullptr, int pauseMs = 10);

}  // namespace qs
