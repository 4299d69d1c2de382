#pragma once
// The one owner of the process-wide records: settings, run state, events and
// locks, the drawing queue, the processing buffers and the log and comment
// lines. Created once at start-up and handed by reference to every window and
// thread; tests create as many as they like.
#include "core/RunState.h"
#include "core/SyncObjects.h"
#include "core/AppSettings.h"
#include "core/DrawRequestQueue.h"
#include "core/DsaViewState.h"
#include "core/ProcessingBuffers.h"
#include "protocol/PacketParser.h"
#include "protocol/RxRing.h"
#include "core/TextLines.h"

namespace qs {

struct AppCore {
  AppSettings settings;
  RunState run;
  SyncObjects sync;
  DrawRequestQueue drawQueue{sync.DrawQueueLock, sync.DrawEvent};
  ProcessingBuffers buffers;
  // The monitor's byte stream and its parser: the receive thread's online, the
  // calculation thread's during replay; never both at once.
  RxRing rxRing;
  PacketParser parser{rxRing, &sync.AckEvent, &sync.NakEvent};
  TextLines logLines;
  TextLines commentLines;
  DsaViewState dsaView;  // the spectrogram window and the drawing thread
};

}  // namespace qs
