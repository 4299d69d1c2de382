#include "link/ReceiveThread.h"

#include "protocol/MonitorMessages.h"
#include "core/RawEegStore.h"
#include "platform/Clock.h"
#include "record/RecordParts.h"
#include "record/Replay.h"

namespace qs {
namespace {

std::uint32_t SecondOfDayNow() {
  const TimeOfDay t = LocalNow();
  return static_cast<std::uint32_t>(t.hour * 3600 + t.minute * 60 + t.second);
}

// The time of day `agoMs` milliseconds back, in whole seconds.
std::uint32_t SecondOfDayAgo(std::uint32_t agoMs) {
  constexpr std::uint32_t kDay = 86400;
  const std::uint32_t back = (agoMs + 500) / 1000 % kDay;
  return (SecondOfDayNow() + kDay - back) % kDay;
}

}  // namespace

TReceiveThread::TReceiveThread(AppCore& core, SerialPort& port, std::uint32_t runId, UiBridge& ui,
                               Replay* replay, std::string devicePath, LinkNotices* notices)
    : WorkerThread(ui, ThreadPriority::AboveNormal),
      core_(core),
      port_(port),
      replay_(replay),
      runId_(runId),
      writer_(core.run.RecordFile),
      devicePath_(std::move(devicePath)),
      notices_(notices) {}

TReceiveThread::~TReceiveThread() {
  End();
  TerminateAndJoin();
}

void TReceiveThread::End() {
  Terminate();
  wake_.Set();
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
    std::uint32_t now = TickCountMs();
    while (const std::uint16_t id = core_.parser.ParsePacket()) {
      handled = true;
      bool record = false;
      switch (id) {
        case kMsgRawEeg:
          DataArrived(now, /*raw=*/true);
          HandleRaw();
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
    now = TickCountMs();
    if (unflushed_ && now - lastFlushMs_ >= kFlushIntervalMs) FlushRecord();
    CheckSilence(now);
    // Every byte received has been parsed (and its packets recorded) before a
    // vanished device is closed.
    if (port_.Vanished() || !port_.IsOpen()) {
      if (!Reopen()) break;
      continue;
    }
    // Nothing new and nothing parsed: wait for bytes rather than spin on a
    // packet that is still arriving.
    if (got == 0 && !handled) port_.WaitReadable(kIdleWaitMs);
  }
  Finish();
}

void TReceiveThread::HandleRaw() {
  RunState& run = core_.run;
  const std::uint8_t* packet = core_.parser.Packet();
  const RawLayout layout = RawLayoutFor(run.EngineKind, run.Rate256);
  // A raw message of another layout's length would be read beyond its samples.
  if (core_.parser.PacketLength() != RawPacketBytes(layout)) return;
  if (run.WaveGain == 0.0f) return;  // no calibration yet
  const bool boundary = GetU16(packet + kOffMsgSeq) % 8 == 0;
  if (awaitingBoundary_) {
    if (!boundary) return;
    awaitingBoundary_ = false;
  }
  bool full;
  {
    Lock hold(core_.sync.WaveLock);
    full = RawStoreWouldOverflow(layout, core_.buffers.rawWave);
  }
  if (full) {
    overflowed_ = true;
    core_.sync.OverflowEvent.Set();
    return;
  }
  // Recorded before its samples reach the calculation: a stop that comes as
  // the calculation takes a second never leaves part of it out of the record.
  Record(kMsgRawEeg);
  {
    Lock hold(core_.sync.WaveLock);
    // Room cannot have gone since: only this thread adds samples.
    StoreRawEeg(packet, layout, core_.settings.EegChannel, /*checkOverflow=*/false, group_ == 0,
                core_.buffers.rawWave, core_.buffers.packetSeconds);
  }
  ++rawStored_;
  if (++group_ == 8) {
    group_ = 0;
    secondComplete_ = true;
    secondBlock_ = (secondBlock_ + 2) % kRingBlocks;
    core_.sync.CalcDataEvent.Set();
  }
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
  if (reopens_ > 0) {
    // The monitor behind a device opened again: its information heads the
    // next record part; the run's clock, trend and rate stay as they are.
    if (!infoAwaited_) return;
    infoAwaited_ = false;
    writer_.SetMonitorInfo(*info, run.Rate256 ? 256 : 128);
    core_.sync.MonitorInfoEvent.Set();
    return;
  }
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
  writer_.SetMonitorInfo(*info, run.Rate256 ? 256 : 128);
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
  const std::uint32_t now = TickCountMs();
  {
    Lock hold(core_.sync.RecordFileLock);
    if (run.RecordingRunId != runId_ || !run.RecordFile.IsOpen()) return;
    // A gap in the data of the file being written (not one opened since).
    const bool gap = lastRecordMs_ != 0 && now - lastRecordMs_ >= kSilenceMs &&
                     run.RecordFile.Opens() == recordOpens_;
    if (!gap) {
      writer_.Append(core_.parser.Packet(), id, layout, run.WaveGain);
      unflushed_ = true;
      lastRecordMs_ = now;
      recordOpens_ = run.RecordFile.Opens();
      return;
    }
  }
  ContinueInNextPart();
  Lock hold(core_.sync.RecordFileLock);
  if (run.RecordingRunId != runId_ || !run.RecordFile.IsOpen()) return;
  writer_.Append(core_.parser.Packet(), id, layout, run.WaveGain);
  unflushed_ = true;
  lastRecordMs_ = now;
  recordOpens_ = run.RecordFile.Opens();
}

void TReceiveThread::ContinueInNextPart() {
  RunState& run = core_.run;
  std::string next;
  bool opened = false;
  {
    Lock hold(core_.sync.RecordFileLock);
    if (run.RecordingRunId != runId_ || !run.RecordFile.IsOpen()) return;
    next = NextRecordPartPath(run.RecordFile.Path(), LocalNow());
    // Opening the next part closes the current one; when it cannot be
    // created, recording stops rather than squeeze the gap out.
    opened = !next.empty() && run.RecordFile.Open(next, "wb");
    if (!opened) run.RecordFile.Close();
    unflushed_ = false;
  }
  Notify(opened ? LinkEvent::NewPart : LinkEvent::PartFailed, SecondOfDayNow(), next);
}

void TReceiveThread::DataArrived(std::uint32_t now, bool raw) {
  if (!raw) return;
  lastRawMs_ = now;
  if (!silent_) return;
  silent_ = false;
  Notify(LinkEvent::Resumed, SecondOfDayNow());
}

void TReceiveThread::CheckSilence(std::uint32_t now) {
  if (silent_ || lastRawMs_ == 0 || now - lastRawMs_ < kSilenceMs) return;
  silent_ = true;
  Notify(LinkEvent::Silent, SecondOfDayAgo(now - lastRawMs_));
}

bool TReceiveThread::Reopen() {
  if (devicePath_.empty()) return false;
  port_.Close();
  // No data can come now: the silence is told at once, before the loss.
  const std::uint32_t lostAt = TickCountMs();
  if (!silent_ && lastRawMs_ != 0) {
    silent_ = true;
    Notify(LinkEvent::Silent, SecondOfDayAgo(lostAt - lastRawMs_));
  }
  Notify(LinkEvent::DeviceLost, SecondOfDayNow(), devicePath_);
  std::uint32_t lastTry = lostAt;
  while (!Terminated()) {
    const int waitMs = kReopenMs - static_cast<int>(TickCountMs() - lastTry);
    if (waitMs > 0 && wake_.Wait(waitMs)) continue;  // End(): look at the terminate flag
    if (TickCountMs() - lastTry < static_cast<std::uint32_t>(kReopenMs)) continue;
    lastTry = TickCountMs();
    if (Terminated() || !port_.Open(devicePath_)) continue;
    // A fresh monitor: nothing of the old byte stream belongs to its packets,
    // and its stream starts on a second boundary.
    core_.rxRing.Reset();
    core_.parser.Reset();
    if (group_ == 0) awaitingBoundary_ = true;
    infoAwaited_ = true;
    ++reopens_;
    Notify(LinkEvent::DeviceBack, SecondOfDayNow(), devicePath_);
    core_.sync.TxStartEvent.Set();
    return true;
  }
  return false;
}

void TReceiveThread::Notify(LinkEvent event, std::uint32_t secondOfDay, const std::string& detail) {
  if (notices_ != nullptr) notices_->LinkNotice(runId_, event, secondOfDay, detail);
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
