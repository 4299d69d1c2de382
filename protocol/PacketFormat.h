#pragma once
// The monitor's packet format. Every packet: sync bytes 0xBA 0xAB, 16-bit
// packet sequence number, 16-bit data length L (at most 2048), 16-bit type
// (1 data, 2 acknowledgement, 3 negative acknowledgement), L data bytes, then a
// 16-bit checksum: the byte sum of offsets 2 .. 7 + L, truncated to 16 bits.
// A data packet carries a message: 32-bit class, 32-bit id (only the low 16
// bits are examined), 16-bit message sequence number, 16-bit payload length
// P = L - 12, then the payload from offset 20. Everything is little-endian.
#include <cstddef>
#include <cstdint>

namespace qs {

inline constexpr std::uint8_t kSync0 = 0xBA;
inline constexpr std::uint8_t kSync1 = 0xAB;
inline constexpr int kMaxDataLength = 2048;
inline constexpr int kMaxPacketBytes = kMaxDataLength + 10;
inline constexpr int kMessageHeaderBytes = 12;  // class, id, sequence, payload length

enum PacketType : std::uint16_t { kPacketData = 1, kPacketAck = 2, kPacketNak = 3 };

enum MessageId : std::uint16_t {
  kMsgRawEeg = 50,
  kMsgProcessed = 52,
  kMsgProcessedExt = 53,
  kMsgRequestStream = 111,   // start raw EEG at a sampling rate
  kMsgStopStream = 112,
  kMsgRequestVars = 115,
  kMsgStopVars = 116,
  kMsgRequestInfo = 1004,
  kMsgRequestVars4 = 1025,
  kMsgMonitorInfo = 1102,
  kMsgProcessed4 = 1122,
};

// Byte offsets within a packet.
inline constexpr int kOffPacketSeq = 2;
inline constexpr int kOffDataLength = 4;
inline constexpr int kOffType = 6;
inline constexpr int kOffMsgClass = 8;
inline constexpr int kOffMsgId = 12;
inline constexpr int kOffMsgSeq = 16;
inline constexpr int kOffPayloadLength = 18;
inline constexpr int kOffPayload = 20;

// Packet lengths of the messages that are recorded and replayed.
inline constexpr int kRawEegBytes128 = 90;   // two channels, 128 Hz
inline constexpr int kRawEegBytesWide = 154;  // two channels at 256 Hz, or four channels
inline constexpr int kProcessedBytes = 142;   // message 52 (a 53 is cut to this)
inline constexpr int kProcessed4Bytes = 310;  // message 1122

// The 16-bit sum of bytes 2 .. n - 1; 0 when n < 3.
std::uint16_t PacketChecksum(const std::uint8_t* bytes, std::size_t n);

// Little-endian field access.
inline std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::int16_t GetI16(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16(p)); }
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32(p)); }
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace qs
