#pragma once
// Field decoding of the messages the system understands: raw EEG (50),
// processed variables (52, and 53 cut to a 52; 1122 for four channels) and
// monitor information (1102). All functions take the whole packet, as the
// parser leaves it, and never read beyond the message's fixed length.
#include <cstdint>
#include <optional>

#include "protocol/PacketFormat.h"

namespace qs {

// The calibration of raw counts: microvolts = (count - offset) x gain.
struct Calibration {
  float gain = 0.0f;
  float offset = 0.0f;
};

// Gain and offset fractions of a 52 (offsets 28..43) or a 1122 (32..47),
// divided in double and stored as 32-bit floats. A zero denominator gives no
// calibration (the previous one stays).
std::optional<Calibration> DecodeCalibration(const std::uint8_t* packet, std::uint16_t id);

// The variable block of one channel.
struct ChannelVariables {
  std::int16_t bsr = 0;      // x 0.1 %
  std::int16_t sef = 0;      // x 0.01 Hz
  std::uint16_t bisBits = 0; // BISBIT status word
  std::int16_t bis = 0;      // x 0.1; negative: not available
  std::int16_t extra1 = 0, extra2 = 0;
  std::int16_t emgLow = 0;   // x 0.01
  std::int16_t sqi = 0;      // x 0.1 %
  std::uint32_t artifactFlags = 0;  // ARTF2
};

// The block of channel c: 52 has channels 0..2 (block at 68 + 24c), 1122
// channels 0..3 (block at 124 + 44c). Nothing for a channel the message lacks.
std::optional<ChannelVariables> DecodeChannel(const std::uint8_t* packet, std::uint16_t id, int channel);

// Message 52's engine rule: the byte at offset 22, divided by 10, of 13 or less
// means engine kind 1.
bool ProcessedSaysEngineKind1(const std::uint8_t* packet);

// Monitor information (1102): the first 28 payload bytes (kept in the record
// header), with the engine and model characters at payload offsets 19 and 27.
struct MonitorInfo {
  std::uint8_t payload[28] = {};
  char EngineChar() const { return static_cast<char>(payload[19]); }
  char ModelChar() const { return static_cast<char>(payload[27]); }
};
// The packet must be at least 20 + 28 bytes long to hold the fields; a shorter
// 1102 yields nothing.
std::optional<MonitorInfo> DecodeMonitorInfo(const std::uint8_t* packet, int packetLength);

// "B" engine kind 1, "4" engine kind 2, anything else 0.
int EngineKindFromChar(char c);
// "V" model 2 (128 Hz only), "C" model 1, anything else 0.
int MonitorModelFromChar(char c);

// Raw EEG layouts of message 50.
enum class RawLayout { TwoChannels128, TwoChannels256, FourChannels128 };
RawLayout RawLayoutFor(int engineKind, bool rate256);
int RawPacketBytes(RawLayout layout);  // 90, 154, 154
int RawChannels(RawLayout layout);     // 2, 2, 4
int RawFrames(RawLayout layout);       // 16, 32, 16
inline constexpr int kOffRawSamples = 24;

// Bytes of a record file written for a message (0: not recorded): 50 by its
// layout, 52 142, 1122 310.
int RecordedBytes(std::uint16_t id, RawLayout layout);

}  // namespace qs
