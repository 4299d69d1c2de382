#include "record/RecordContents.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "protocol/PacketParser.h"
#include "protocol/RxRing.h"
#include "record/RecordFiles.h"
#include "record/RecordPrescan.h"

namespace qs {
namespace {

bool ReadAll(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool SameCalibration(const Calibration& a, const Calibration& b) {
  return a.gain == b.gain && a.offset == b.offset;
}

}  // namespace

std::optional<RecordContents> ReadRecordContents(const std::string& path, int variableChannel,
                                                 std::string* error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadAll(path, bytes)) {
    *error = std::string(ReplayOpenMessage(ReplayOpenOutcome::OpenError)) + ": " + path;
    return std::nullopt;
  }
  const PrescanResult scan = PrescanRecordBytes(bytes.data(), bytes.size(), static_cast<long>(bytes.size()));
  // The replay refuses a file without the magic or without a whole first packet.
  if (scan.outcome != ReplayOpenOutcome::Ok || !scan.header.magic) {
    *error = std::string(ReplayOpenMessage(ReplayOpenOutcome::TypeError)) + ": " + path +
             " is not a packet record file";
    return std::nullopt;
  }
  RecordContents r;
  r.header = scan.header;
  r.startSecondOfDay = scan.fileStartSec;
  r.layout = RawLayoutFor(scan.engineKind, scan.rate256);
  r.channels = RawChannels(r.layout);
  r.sampleRate = RawFrames(r.layout) * 8;
  r.counts.assign(static_cast<std::size_t>(r.channels), {});
  Calibration calibration = scan.calibration;
  bool calibrated = scan.hasCalibration && scan.calibration.gain != 0.0f;
  bool fixed = false;  // the calibration in use once the first sample is taken

  RxRing ring;
  PacketParser parser(ring, nullptr, nullptr);
  std::size_t next = kRecordHeaderBytes + static_cast<std::size_t>(scan.firstPacketBytes);
  bool awaitingBoundary = true;
  long rawMessages = 0;
  const int frames = RawFrames(r.layout);
  std::vector<std::optional<ChannelVariables>> variables;

  const auto handle = [&](std::uint16_t id) -> bool {
    const std::uint8_t* packet = parser.Packet();
    if (id == kMsgRawEeg) {
      if (parser.PacketLength() != RawPacketBytes(r.layout)) {
        ++r.skippedRaw;
        return true;
      }
      if (!calibrated) return true;  // the replay ignores raw EEG while the gain is 0
      const bool firstOfSecond = GetU16(packet + kOffMsgSeq) % 8 == 0;
      if (awaitingBoundary) {
        if (!firstOfSecond) return true;
        awaitingBoundary = false;
      }
      fixed = true;
      for (int i = 0; i < frames; ++i)
        for (int c = 0; c < r.channels; ++c)
          r.counts[static_cast<std::size_t>(c)].push_back(
              GetI16(packet + kOffRawSamples + 2 * (i * r.channels + c)));
      ++rawMessages;
      return true;
    }
    if (id != kMsgProcessed && id != kMsgProcessed4) return true;
    if (awaitingBoundary) return true;
    if (const auto cal = DecodeCalibration(packet, id); cal && cal->gain != 0.0f) {
      if (fixed && !SameCalibration(*cal, calibration)) {
        *error = "the calibration changes after second " + std::to_string(rawMessages / 8) +
                 " of the recording; an EDF signal holds one scale, so the file cannot be converted whole";
        return false;
      }
      calibration = *cal;
      calibrated = true;
    }
    // The message closes the second whose raw EEG came before it.
    const long second = std::max(0L, (rawMessages + 7) / 8 - 1);
    if (variables.size() <= static_cast<std::size_t>(second))
      variables.resize(static_cast<std::size_t>(second) + 1);
    variables[static_cast<std::size_t>(second)] = DecodeChannel(packet, id, variableChannel);
    return true;
  };

  for (;;) {
    while (const std::uint16_t id = parser.ParsePacket())
      if (!handle(id)) return std::nullopt;
    if (next < bytes.size()) {
      const std::size_t n = std::min(ring.FreeSpace(), bytes.size() - next);
      const std::size_t appended = ring.Append(bytes.data() + next, n);
      next += appended;
      if (appended > 0) continue;
      parser.AbandonPacket();  // a full ring the parser cannot use: never spin
      continue;
    }
    // The end: a packet still being assembled is a cut or false one; the
    // bytes behind its sync pair are searched before giving up, as the replay does.
    if (parser.CurrentState() == PacketParser::State::Hunt) break;
    parser.AbandonPacket();
  }

  r.seconds = static_cast<int>(rawMessages / 8);
  const std::size_t samples = static_cast<std::size_t>(r.seconds) * static_cast<std::size_t>(r.sampleRate);
  for (auto& channel : r.counts) channel.resize(samples);
  variables.resize(static_cast<std::size_t>(r.seconds));
  r.variables = std::move(variables);
  r.calibration = calibration;
  if (!calibrated) {
    *error = "the recording carries no calibration (gain 0), so its counts have no microvolt scale";
    return std::nullopt;
  }
  return r;
}

}  // namespace qs
