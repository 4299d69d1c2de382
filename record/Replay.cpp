#include "record/Replay.h"

#include <algorithm>

#include "core/RawEegStore.h"
#include "record/BisVariables.h"

namespace qs {

void Replay::ResetInput() {
  core_.rxRing.Reset();
  core_.parser.Reset();
  {
    // A cycle of the run that just ended may still be taking its blocks.
    Lock hold(core_.sync.WaveLock);
    core_.buffers.rawWave.ResetPositions();
    core_.buffers.packetSeconds.Reset();
  }
  core_.buffers.monitorFlags.Reset();
  awaitingBoundary_ = true;
  rawCount_ = 0;
}

Replay::Step Replay::NextSecond() {
  const std::lock_guard hold(inputMutex_);
  for (;;) {
    while (const std::uint16_t id = core_.parser.ParsePacket()) {
      Handle(id);
      if (rawCount_ == 8) {
        rawCount_ = 0;
        return Step::Second;
      }
    }
    if (ReadOneSecond()) continue;
    // The file has ended. A packet still being assembled is a cut or false
    // one: drop it and search the bytes behind its sync pair before giving up.
    if (core_.parser.CurrentState() == PacketParser::State::Hunt) return Step::EndOfFile;
    core_.parser.AbandonPacket();
  }
}

bool Replay::ReadOneSecond() {
  const std::size_t unparsed = core_.rxRing.CommittedCount();
  const std::size_t wanted = std::max<std::size_t>(static_cast<std::size_t>(core_.run.BytesPerSecond.load()),
                                                   core_.parser.BytesNeeded());
  // The parser returned no packet, so it needs more than the ring holds: read
  // at least one byte even when a second's worth is already waiting.
  std::size_t request = wanted > unparsed ? wanted - unparsed : 1;
  request = std::min({request, core_.rxRing.FreeSpace(), chunk_.size()});
  if (request == 0) return false;  // a full ring the parser cannot use: cannot happen, but never spin
  const std::size_t got = core_.run.ReplayFile.Read(chunk_.data(), request);
  if (got == 0) return false;
  core_.rxRing.Append(chunk_.data(), got);
  return true;
}

void Replay::Handle(std::uint16_t id) {
  switch (id) {
    case kMsgRawEeg:
      HandleRaw();
      break;
    case kMsgProcessed:
    case kMsgProcessed4:
      HandleProcessed(id);
      break;
    default:
      break;  // monitor information and anything else: not replayed
  }
}

void Replay::HandleRaw() {
  const std::uint8_t* packet = core_.parser.Packet();
  const RunState& run = core_.run;
  const RawLayout layout = RawLayoutFor(run.EngineKind, run.Rate256);
  // A raw message of another layout's length would be read beyond its
  // samples; like a damaged packet, it is skipped.
  if (core_.parser.PacketLength() != RawPacketBytes(layout)) return;
  if (run.WaveGain == 0.0f) return;  // no calibration yet
  const std::uint16_t seq = GetU16(packet + kOffMsgSeq);
  const bool firstOfSecond = seq % 8 == 0;
  if (awaitingBoundary_) {
    if (!firstOfSecond) return;
    awaitingBoundary_ = false;
  }
  // The calculation thread is the only writer and reader of the rings during
  // replay, so no lock is taken here and no overflow is possible.
  StoreRawEeg(packet, layout, core_.settings.EegChannel, /*checkOverflow=*/false, firstOfSecond,
              core_.buffers.rawWave, core_.buffers.packetSeconds);
  ++rawCount_;
  ++rawStored_;
}

void Replay::HandleProcessed(std::uint16_t id) {
  if (awaitingBoundary_) return;
  const std::uint8_t* packet = core_.parser.Packet();
  if (const auto calibration = DecodeCalibration(packet, id)) {
    core_.run.WaveGain = calibration->gain;
    core_.run.WaveOffset = calibration->offset;
  }
  // A channel the message does not carry (channel 3 in a three-block 52)
  // leaves the monitor's values as they were and marks no block.
  const auto v = DecodeChannel(packet, id, core_.settings.EegChannel);
  if (!v) return;
  StoreMonitorValues(*v, core_.buffers.monitor);
  core_.buffers.monitorFlags.Store(v->artifactFlags);
  if (core_.run.BisVariablesFile.IsOpen()) {
    FormatBisVariablesLine(line_, core_.run.ClockSec, *v, core_.settings.SR_PCT);
    core_.run.BisVariablesFile.Write(line_.Data(), line_.Size());
  }
}

}  // namespace qs
