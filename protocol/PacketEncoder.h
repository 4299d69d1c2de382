#pragma once
// Building monitor packets: for the recording generator, the simulated
// monitor and the tests. The system itself only builds requests (Requests.h).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "protocol/PacketFormat.h"

namespace qs {

// Appends one packet (sync, header, data, checksum) to out.
void AppendPacket(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t type,
                  std::span<const std::uint8_t> data);
// Appends one data packet holding a message.
void AppendMessage(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint32_t msgClass,
                   std::uint16_t id, std::uint16_t msgSeq, std::span<const std::uint8_t> payload);

// Message 50: samples[frame * channels + channel], RawFrames(layout) frames.
void AppendRawEeg(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                  RawLayout layout, std::span<const std::int16_t> samples);

// Processed variables: one block per channel (3 for a 52, 4 for a 1122), the
// calibration as fractions, and for a 52 the engine byte at offset 22.
struct ProcessedMessage {
  std::int32_t gainNum = 1, gainDen = 1, offsetNum = 0, offsetDen = 1;
  std::uint8_t engineByte = 200;  // 52 only; <= 139 means engine kind 1
  ChannelVariables channels[4] = {};
};
void AppendProcessed52(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                       const ProcessedMessage& m);
void AppendProcessed1122(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                         const ProcessedMessage& m);
// Message 53: a 52 with extra payload bytes behind the 120 (extraBytes > 0).
void AppendProcessed53(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                       const ProcessedMessage& m, int extraBytes);
// Message 1102 with the given 28 payload bytes (revisions, engine, model).
void AppendMonitorInfo(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, std::uint16_t msgSeq,
                       const MonitorInfo& info);
// Acknowledgement (type 2) or negative acknowledgement (type 3), no data.
void AppendAck(std::vector<std::uint8_t>& out, std::uint16_t packetSeq, bool positive);

}  // namespace qs
