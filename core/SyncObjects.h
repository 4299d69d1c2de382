#pragma once
// The thirteen auto-reset events and six locks shared by the threads, created
// once at start-up in this order (members are constructed in declaration order)
// and destroyed at exit after every thread has ended.
#include "platform/Events.h"
#include "platform/Locks.h"

namespace qs {

struct SyncObjects {
  EventGroup group;  // every event below is waited on through this group

  AutoResetEvent DrawEvent{group};         // producers of drawing requests -> drawing thread
  AutoResetEvent MonitorInfoEvent{group};  // receive thread, first 1102 -> send thread
  AutoResetEvent RxStartedEvent{group};    // receive thread started -> Start
  AutoResetEvent TxStartedEvent{group};    // send thread started -> Start
  AutoResetEvent AckEvent{group};          // framing parser -> send thread
  AutoResetEvent NakEvent{group};
  AutoResetEvent TxStartEvent{group};      // Start -> send thread
  AutoResetEvent TxStopEvent{group};       // Stop -> send thread
  AutoResetEvent OverflowEvent{group};     // receive thread on overflow -> send thread
  AutoResetEvent CalcStartEvent{group};    // Start -> calculation thread
  AutoResetEvent CalcDataEvent{group};     // one second of data ready -> calculation thread
  AutoResetEvent CalcRunEvent{group};      // Calculation Only replay -> calculation thread
  AutoResetEvent CalcStopEvent{group};     // offline Stop -> calculation thread

  CriticalSection WaveLock;        // RawWaveBuffer
  CriticalSection DrawQueueLock;   // DrawRequestQueue
  CriticalSection SpectrumLock;    // AverageSpectrum
  CriticalSection SnapshotLock;    // TrendSnapshot
  CriticalSection RecordFileLock;  // the record file between the receive thread and Stop
  CriticalSection ExportLock;      // export files between the calculation thread and the Save menu
};

}  // namespace qs
