#pragma once
// TReceiveThread: one per online run. Polls the port into the receive ring,
// parses the monitor's packets and handles them:
//  * raw EEG (50): from the first second boundary on (a sequence number that
//    is a multiple of 8) and once the calibration is known, the selected
//    channel's samples go to RawWaveBuffer under WaveLock; every eighth
//    message sets CalcDataEvent. A message that would overflow the rings (the
//    calculation thread is 8 s behind) is dropped, OverflowEvent is set and
//    acquisition ends: nothing more is stored or recorded.
//  * processed variables (52, 53 as 52, 1122): calibration, the selected
//    channel's values, and its artifact flag word for the two blocks of the
//    second being stored (see MonitorFlagRing).
//  * monitor information (1102): clock, model and engine (model "V" forces
//    128 Hz), the record header, MonitorInfoEvent; once per run.
// Every stored 50 and every handled processed message is appended to the
// record file, which is flushed after the eighth raw EEG message of every
// second and otherwise at least once per second.
//
// The thread touches the record file only while its run is the recording one
// (RunState::RecordingRunId, under RecordFileLock): a file that Stop closed is
// never written again, and one opened after that Stop, for the next run, is
// neither written nor closed by it. When it ends it closes the port and, if
// its run is still recording, the record file. A device that vanishes ends the loop the
// same way; the send thread notices through the port.
#include <cstdint>

#include "core/AppCore.h"
#include "link/SerialPort.h"
#include "platform/WorkerThread.h"
#include "record/RecordWriter.h"

namespace qs {

class Replay;

class TReceiveThread final : public WorkerThread {
 public:
  static constexpr int kIdleWaitMs = 50;
  static constexpr std::uint32_t kFlushIntervalMs = 1000;

  // replay: the offline input sharing the receive ring (may be null).
  TReceiveThread(AppCore& core, SerialPort& port, std::uint32_t runId, UiBridge& ui,
                 Replay* replay = nullptr);
  ~TReceiveThread() override;

  // Acquisition ended by a sample ring overflow.
  bool Overflowed() const { return overflowed_.load(); }
  // Raw EEG messages stored in the sample rings.
  std::uint32_t RawStored() const { return rawStored_.load(); }

 protected:
  void Execute() override;

 private:
  void ResetInput();
  // Each returns whether the message is to be recorded.
  bool HandleRaw();
  bool HandleProcessed(std::uint16_t id);
  void HandleMonitorInfo();
  void Record(std::uint16_t id);
  void FlushRecord();
  void Finish();

  AppCore& core_;
  SerialPort& port_;
  Replay* replay_;
  const std::uint32_t runId_;
  RecordWriter writer_;
  int group_ = 0;                 // raw EEG messages of the current second, 0..7
  bool awaitingBoundary_ = true;  // the first second boundary has not come yet
  int secondBlock_ = 0;           // the first 64-sample block of the current second
  bool secondComplete_ = false;   // the message just handled was a second's eighth
  std::uint32_t lastFlushMs_ = 0;
  bool unflushed_ = false;
  Relaxed<bool> overflowed_{false};
  Relaxed<std::uint32_t> rawStored_{0};
};

}  // namespace qs
