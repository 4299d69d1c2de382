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
// its run is still recording, the record file.
//
// The operating room's faults: when no raw EEG has come for kSilenceMs (or
// at once when the device vanishes) the thread tells the run controller
// (LinkNotices) once, and again when data comes back. A device that vanishes (read error, hang-up) is closed and
// opened again at the same path every kReopenMs, waiting on an event that
// End() sets, so that Stop or the exit never waits for it; once it is back,
// TxStartEvent asks the send thread to redo the start sequence, and the next
// monitor information is taken as the new connection's (the header of the
// next record part; the run's clock and trend stay). When data comes after a
// gap of kSilenceMs or more in the record, the record goes on in the next
// part (NextRecordPartPath), so that no gap is squeezed out of a file.
#include <cstdint>
#include <string>

#include "core/AppCore.h"
#include "link/LinkNotices.h"
#include "link/SerialPort.h"
#include "platform/WorkerThread.h"
#include "record/RecordWriter.h"

namespace qs {

class Replay;

class TReceiveThread final : public WorkerThread {
 public:
  static constexpr int kIdleWaitMs = 50;
  static constexpr std::uint32_t kFlushIntervalMs = 1000;
  static constexpr std::uint32_t kSilenceMs = 2500;
  static constexpr int kReopenMs = 1000;

  // replay: the offline input sharing the receive ring (may be null);
  // devicePath: where a vanished device is opened again; notices: may be null.
  TReceiveThread(AppCore& core, SerialPort& port, std::uint32_t runId, UiBridge& ui,
                 Replay* replay = nullptr, std::string devicePath = {}, LinkNotices* notices = nullptr);
  ~TReceiveThread() override;

  // Asks the thread to end and wakes it from a wait for the device.
  void End();
  // No raw EEG for kSilenceMs (and none since): the monitor is silent.
  bool Silent() const { return silent_.load(); }
  // The device has been opened again this many times.
  std::uint32_t Reopens() const { return reopens_.load(); }

  // Acquisition ended by a sample ring overflow.
  bool Overflowed() const { return overflowed_.load(); }
  // Raw EEG messages stored in the sample rings.
  std::uint32_t RawStored() const { return rawStored_.load(); }

 protected:
  void Execute() override;

 private:
  void ResetInput();
  // Records a raw EEG message it accepts, then stores its samples.
  void HandleRaw();
  // Returns whether the message is to be recorded.
  bool HandleProcessed(std::uint16_t id);
  void HandleMonitorInfo();
  void Record(std::uint16_t id);
  void FlushRecord();
  void Finish();
  // The link's faults: silence, a vanished device, a gap in the record.
  void CheckSilence(std::uint32_t now);
  void DataArrived(std::uint32_t now, bool raw);
  bool Reopen();
  void ContinueInNextPart();
  void Notify(LinkEvent event, std::uint32_t secondOfDay, const std::string& detail = {});

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

  const std::string devicePath_;
  LinkNotices* notices_;
  EventGroup wakeGroup_;
  AutoResetEvent wake_{wakeGroup_};
  std::uint32_t lastRawMs_ = 0;     // tick of the last raw EEG message; 0: none yet
  std::uint32_t lastRecordMs_ = 0;  // tick of the last packet recorded; 0: none yet
  unsigned recordOpens_ = 0;        // the record file's open count at that packet
  bool infoAwaited_ = false;        // the device was opened again: its 1102 starts a connection
  Relaxed<bool> silent_{false};
  Relaxed<std::uint32_t> reopens_{0};
};

}  // namespace qs
