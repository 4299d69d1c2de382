#include "link/ReceiveThread.h"

#include "protocol/MonitorMessages.h"
#include "core/RawEegStore.h"
#include "platform/Clock.h"
#include "record/Replay.h"

namespace qs {

TReceiveThread::TReceiveThread(AppCore& core, SerialPort& port, std::uint32_t runId, UiBridge& ui,
                               Replay* replay)
    : WorkerThread(ui, ThreadPriority::AboveNormal),
      core_(core),
      port_(port),
      replay_(replay),
      runId_(runId),
      writer_(core.run.RecordFile) {}

TReceiveThread::~TReceiveThread() {
  TerminateAndJoin();
}

void TReceiveThread::ResetInput() {
  {
    Lock hold(core_.sync.WaveLock);
    core_.buffers.rawWave.ResetPositions();
    core_.buffers.packetSeconds.Reset();
  }
  for (auto& word : core_.buffers.monitorFlags.words) word = 0;
  {
    // A Calculation Only replay that was just stopped may still be in its
    // last step, reading the same ring.
    std::unique_lock<std::mutex> exclusive;
    if (replay_ != nullptr) exclusive = replay_->LockInput();
    core_.rxRing.Reset();
    core_.parser.Reset();
  }
  writer_.Reset();
  group_ = 0;
  awaitingBoundary_ = true;
  secondBlock_ = 0;
  secondComplete_ = false;
}

void TReceiveThread::Execute() {
  ResetInput();
  lastFlushMs_ = TickCountMs();
  core_.sync.RxStartedEvent.Set();
  while (!Terminated()) {
    if (overflowed_) {
      // Acquisition has ended; the send thread will ask this thread to end.
      Sleep(kIdleWaitMs);
      continue;
    }
    const std::size_t got = port_.Poll(core_.rxRing);
    if (Terminated()) break;
    bool handled = false;
    while (const std::uint16_t id = core_.parser.ParsePacket()) {
      handled = true;
      bool record = false;
      switch (id) {
        case kMsgRawEeg:
          record = HandleRaw();
          break;
        case kMsgProcessed:
        case kMsgProcessed4:
          record = HandleProcessed(id);
          break;
        case kMsgMonitorInfo:
          HandleMonitorInfo();
          break;
        default:
          break;  // acknowledgements are consumed by the parser; others are ignored
      }
      if (record) Record(id);
      // A whole second goes to the disk as soon as its eighth raw EEG message
      // is recorded: a killed program loses only the second in progress, and
      // a reader of the growing file sees each second without delay.
      if (secondComplete_) {
        secondComplete_ = false;
        if (unflushed_) FlushRecord();
      }
      if (overflowed_) break;
    }
    if (unflushed_ && TickCountMs() - lastFlushMs_ >= kFlushIntervalMs) FlushRecord();
    // Every byte received has been parsed (and its packets recorded) before a
    // vanished device ends the loop.
    if (port_.Vanished()) break;
    // Nothing new and nothing parsed: wait for bytes rather than spin on a
    // packet that is still arriving.
    if (got == 0 && !handled) port_.WaitReadable(kIdleWaitMs);
  }
  Finish();
}

bool TReceiveThread::HandleRaw() {
  RunState& run = core_.run;
  const std::uint8_t* packet = core_.parser.Packet();
  const RawLayout layout = RawLayoutFor(run.EngineKind, run.Rate256);
  // A raw message of another layout's length would be read beyond its samples.
  if (core_.parser.PacketLength() != RawPacketBytes(layout)) return false;
  if (run.WaveGain == 0.0f) return false;  // no calibration yet
  const bool boundary = GetU16(packet + kOffMsgSeq) % 8 == 0;
  if (awaitingBoundary_) {
    if (!boundary) return false;
    awaitingBoundary_ = false;
  }
  StoreResult stored;
  {
    Lock hold(core_.sync.WaveLock);
    stored = StoreRawEeg(packet, layout, core_.settings.EegChannel, /*checkOverflow=*/true, group_ == 0,
                         core_.buffers.rawWave, core_.buffers.packetSeconds);
  }
  if (stored == StoreResult::Overflow) {
    overflowed_ = true;
    core_.sync.OverflowEvent.Set();
    return false;
  }
  ++rawStored_;
  if (++group_ == 8) {
    group_ = 0;
    secondComplete_ = true;
    secondBlock_ = (secondBlock_ + 2) % kRingBlocks;
    core_.sync.CalcDataEvent.Set();
  }
  return true;
}

bool TReceiveThread::HandleProcessed(std::uint16_t id) {
  RunState& run = core_.run;
  const std::uint8_t* packet = core_.parser.Packet();
  if (id == kMsgProcessed && ProcessedSaysEngineKind1(packet)) run.EngineKind = 1;
  if (const auto calibration = DecodeCalibration(packet, id)) {
    run.WaveGain = calibration->gain;
    run.WaveOffset = calibration->offset;
  }
  if (const auto v = DecodeChannel(packet, id, core_.settings.EegChannel)) {
    StoreMonitorValues(*v, core_.buffers.monitor);
    if (!awaitingBoundary_) core_.buffers.monitorFlags.StoreAt(secondBlock_, v->artifactFlags);
  }
  return true;
}

void TReceiveThread::HandleMonitorInfo() {
  RunState& run = core_.run;
  const auto info = DecodeMonitorInfo(core_.parser.Packet(), core_.parser.PacketLength());
  if (!info) return;
  const TimeOfDay now = LocalNow();
  const auto t = static_cast<std::uint32_t>(now.hour * 3600 + now.minute * 60 + now.second);
  run.ClockSec = t;
  run.FileStartSec = t;
  run.TrendStartHour = static_cast<std::int32_t>(((t + 20) / 3600) % 24);
  run.TrendStartSlot = static_cast<std::int32_t>(((t + 20) % 3600) / 10);
  run.MonitorModel = MonitorModelFromChar(info->ModelChar());
  run.EngineKind = EngineKindFromChar(info->EngineChar());
  if (run.MonitorModel == 2) {
    // This model streams 128 Hz only; request 111 follows this message.
    run.Rate256 = false;
    core_.settings.SamplingRate = 0;
  }
  if (run.MonitorInfoSeen) return;  // a repeated 1102: no second header, no second signal
  {
    Lock hold(core_.sync.RecordFileLock);
    if (run.RecordingRunId == runId_ && run.RecordFile.IsOpen()) {
      writer_.WriteHeader(RecordHeader{run.Rate256 ? 256 : 128, now.hour, now.minute, now.second, *info});
      unflushed_ = true;
    }
  }
  run.MonitorInfoSeen = true;
  core_.sync.MonitorInfoEvent.Set();
}

void TReceiveThread::Record(std::uint16_t id) {
  RunState& run = core_.run;
  const RawLayout layout = RawLayoutFor(run.EngineKind, run.Rate256);
  Lock hold(core_.sync.RecordFileLock);
  if (run.RecordingRunId != runId_ || !run.RecordFile.IsOpen()) return;
  writer_.Append(core_.parser.Packet(), id, layout, run.WaveGain);
  unflushed_ = true;
}

void TReceiveThread::FlushRecord() {
  core_.run.RecordFile.Flush();
  lastFlushMs_ = TickCountMs();
  unflushed_ = false;
}

void TReceiveThread::Finish() {
  port_.Close();
  Lock hold(core_.sync.RecordFileLock);
  if (core_.run.RecordingRunId != runId_) return;
  core_.run.RecordingRunId = 0;
  core_.run.RecordFile.Close();
}

}  // namespace qs
