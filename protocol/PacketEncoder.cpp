#include "protocol/PacketEncoder.h"

#include <algorithm>

namespace qs {

namespace {

// The monitor's own messages carry a class too, which the system never
// examines; the encoder uses the class of the system's ordinary requests.
constexpr std::uint32_t kMonitorMessageClass = 4;

constexpr int kProcessedPayload = kProcessedBytes - 10 - kMessageHeaderBytes;    // 120
constexpr int kProcessed4Payload = kProcessed4Bytes - 10 - kMessageHeaderBytes;  // 288
constexpr std::uint8_t kExtensionFiller = 0x5A;

// Appends sync and header for dataLength bytes of data and returns the offset
// of the packet's first byte in out.
std::size_t BeginPacket(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t type,
                        std::size_t dataLength) {
  const std::size_t start = out.size();
  out.resize(start + 8);
  std::uint8_t* p = out.data() + start;
  p[0] = kSync0;
  p[1] = kSync1;
  PutU16(p + kOffPacketSeq, packetSeq);
  PutU16(p + kOffDataLength, static_cast<std::uint16_t>(dataLength));
  PutU16(p + kOffType, type);
  return start;
}

// Appends the checksum over everything behind the sync pair of the packet at start.
void EndPacket(std::vector<std::uint8_t>& out, std::size_t start) {
  const std::uint16_t sum = PacketChecksum(out.data() + start, out.size() - start);
  out.push_back(static_cast<std::uint8_t>(sum));
  out.push_back(static_cast<std::uint8_t>(sum >> 8));
}

// Appends sync, header and message header of a message with payloadLength
// payload bytes, the payload zeroed; returns the offset of the packet.
std::size_t BeginMessage(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint32_t msgClass,
                         std::uint16_t id, std::uint16_t msgSeq, std::size_t payloadLength) {
  const std::size_t start = BeginPacket(out, packetSeq, kPacketData, kMessageHeaderBytes + payloadLength);
  out.resize(start + kOffPayload + payloadLength, 0);
  std::uint8_t* p = out.data() + start;
  PutU32(p + kOffMsgClass, msgClass);
  PutU32(p + kOffMsgId, id);
  PutU16(p + kOffMsgSeq, msgSeq);
  PutU16(p + kOffPayloadLength, static_cast<std::uint16_t>(payloadLength));
  return start;
}

void PutI16(std::uint8_t* p, std::int16_t v) {
  PutU16(p, static_cast<std::uint16_t>(v));
}
void PutI32(std::uint8_t* p, std::int32_t v) {
  PutU32(p, static_cast<std::uint32_t>(v));
}

void PutFractions(std::uint8_t* p, const ProcessedMessage& m) {
  PutI32(p, m.gainNum);
  PutI32(p + 4, m.gainDen);
  PutI32(p + 8, m.offsetNum);
  PutI32(p + 12, m.offsetDen);
}

// Block offsets as MonitorMessages.cpp decodes them: bsr, sef, bisBits, bis,
// extra1, extra2, emgLow, sqi, artifactFlags.
void PutBlock(std::uint8_t* b, const ChannelVariables& v, const int (&at)[9]) {
  PutI16(b + at[0], v.bsr);
  PutI16(b + at[1], v.sef);
  PutU16(b + at[2], v.bisBits);
  PutI16(b + at[3], v.bis);
  PutI16(b + at[4], v.extra1);
  PutI16(b + at[5], v.extra2);
  PutI16(b + at[6], v.emgLow);
  PutI16(b + at[7], v.sqi);
  PutU32(b + at[8], v.artifactFlags);
}

constexpr int k52Block[9] = {0, 2, 4, 6, 8, 10, 14, 16, 20};
constexpr int k1122Block[9] = {0, 2, 6, 8, 10, 12, 16, 20, 24};

// A 52's payload with extraBytes of filler behind it, under the given id.
void AppendProcessed(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t id,
                     std::uint16_t msgSeq, const ProcessedMessage& m, std::size_t extraBytes) {
  const std::size_t start =
      BeginMessage(out, packetSeq, kMonitorMessageClass, id, msgSeq, kProcessedPayload + extraBytes);
  std::uint8_t* p = out.data() + start;
  p[22] = m.engineByte;
  PutFractions(p + 28, m);
  for (std::size_t c = 0; c < 3; ++c) PutBlock(p + 68 + 24 * c, m.channels[c], k52Block);
  std::fill(p + kOffPayload + kProcessedPayload, p + kOffPayload + kProcessedPayload + extraBytes,
            kExtensionFiller);
  EndPacket(out, start);
}

}  // namespace

void AppendPacket(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t type,
                  std::span<const std::uint8_t> data) {
  const std::size_t start = BeginPacket(out, packetSeq, type, data.size());
  out.insert(out.end(), data.begin(), data.end());
  EndPacket(out, start);
}

void AppendMessage(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint32_t msgClass,
                   std::uint16_t id, std::uint16_t msgSeq, std::span<const std::uint8_t> payload) {
  const std::size_t start = BeginMessage(out, packetSeq, msgClass, id, msgSeq, payload.size());
  std::copy(payload.begin(), payload.end(), out.begin() + static_cast<std::ptrdiff_t>(start + kOffPayload));
  EndPacket(out, start);
}

void AppendRawEeg(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                  RawLayout layout, std::span<const std::int16_t> samples) {
  // Four unused payload bytes, then the interleaved samples; missing samples
  // are 0 and surplus ones are left out, so the packet always has the
  // layout's length.
  const std::size_t count =
      static_cast<std::size_t>(RawFrames(layout)) * static_cast<std::size_t>(RawChannels(layout));
  const std::size_t start =
      BeginMessage(out, packetSeq, kMonitorMessageClass, kMsgRawEeg, msgSeq, 4 + 2 * count);
  std::uint8_t* p = out.data() + start + kOffRawSamples;
  for (std::size_t i = 0; i < count && i < samples.size(); ++i) PutI16(p + 2 * i, samples[i]);
  EndPacket(out, start);
}

void AppendProcessed52(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                       const ProcessedMessage& m) {
  AppendProcessed(out, packetSeq, kMsgProcessed, msgSeq, m, 0);
}

void AppendProcessed1122(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                         const ProcessedMessage& m) {
  const std::size_t start =
      BeginMessage(out, packetSeq, kMonitorMessageClass, kMsgProcessed4, msgSeq, kProcessed4Payload);
  std::uint8_t* p = out.data() + start;
  PutFractions(p + 32, m);
  for (std::size_t c = 0; c < 4; ++c) PutBlock(p + 124 + 44 * c, m.channels[c], k1122Block);
  EndPacket(out, start);
}

void AppendProcessed53(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                       const ProcessedMessage& m, int extraBytes) {
  AppendProcessed(out, packetSeq, kMsgProcessedExt, msgSeq, m,
                  static_cast<std::size_t>(std::max(extraBytes, 0)));
}

void AppendMonitorInfo(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                       const MonitorInfo& info) {
  AppendMessage(out, packetSeq, kMonitorMessageClass, kMsgMonitorInfo, msgSeq, info.payload);
}

void AppendAck(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, bool positive) {
  AppendPacket(out, packetSeq, positive ? kPacketAck : kPacketNak, {});
}

}  // namespace qs
