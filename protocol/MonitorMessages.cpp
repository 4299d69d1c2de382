#include "protocol/MonitorMessages.h"

#include <cstring>

namespace qs {

namespace {

// Where a processed-variables message keeps its calibration fractions and its
// channel blocks.
struct ProcessedLayout {
  int calibration;  // gain numerator, gain denominator, offset numerator, offset denominator
  int firstBlock;
  int blockBytes;
  int channels;
  // Offsets within a block.
  int bsr, sef, bisBits, bis, extra1, extra2, emgLow, sqi, artifactFlags;
};

constexpr ProcessedLayout k52Layout{28, 68, 24, 3, 0, 2, 4, 6, 8, 10, 14, 16, 20};
constexpr ProcessedLayout k1122Layout{32, 124, 44, 4, 0, 2, 6, 8, 10, 12, 16, 20, 24};

const ProcessedLayout* LayoutOf(std::uint16_t id) {
  if (id == kMsgProcessed) return &k52Layout;
  if (id == kMsgProcessed4) return &k1122Layout;
  return nullptr;
}

constexpr int kMonitorInfoBytes = static_cast<int>(sizeof(MonitorInfo::payload));

}  // namespace

std::optional<Calibration> DecodeCalibration(const std::uint8_t* packet, std::uint16_t id) {
  const ProcessedLayout* layout = LayoutOf(id);
  if (layout == nullptr) return std::nullopt;
  const std::uint8_t* f = packet + layout->calibration;
  const std::int32_t gainNum = GetI32(f), gainDen = GetI32(f + 4);
  const std::int32_t offsetNum = GetI32(f + 8), offsetDen = GetI32(f + 12);
  // Both fractions or neither: a half-updated calibration would mix two
  // messages' scales.
  if (gainDen == 0 || offsetDen == 0) return std::nullopt;
  Calibration c;
  c.gain = static_cast<float>(static_cast<double>(gainNum) / static_cast<double>(gainDen));
  c.offset = static_cast<float>(static_cast<double>(offsetNum) / static_cast<double>(offsetDen));
  return c;
}

std::optional<ChannelVariables> DecodeChannel(const std::uint8_t* packet, std::uint16_t id, int channel) {
  const ProcessedLayout* layout = LayoutOf(id);
  if (layout == nullptr || channel < 0 || channel >= layout->channels) return std::nullopt;
  const std::uint8_t* b =
      packet + static_cast<std::ptrdiff_t>(layout->firstBlock + layout->blockBytes * channel);
  ChannelVariables v;
  v.bsr = GetI16(b + layout->bsr);
  v.sef = GetI16(b + layout->sef);
  v.bisBits = GetU16(b + layout->bisBits);
  v.bis = GetI16(b + layout->bis);
  v.extra1 = GetI16(b + layout->extra1);
  v.extra2 = GetI16(b + layout->extra2);
  v.emgLow = GetI16(b + layout->emgLow);
  v.sqi = GetI16(b + layout->sqi);
  v.artifactFlags = GetU32(b + layout->artifactFlags);
  return v;
}

bool ProcessedSaysEngineKind1(const std::uint8_t* packet) {
  return packet[22] / 10 <= 13;
}

std::optional<MonitorInfo> DecodeMonitorInfo(const std::uint8_t* packet, int packetLength) {
  if (packetLength < kOffPayload + kMonitorInfoBytes) return std::nullopt;
  MonitorInfo info;
  std::memcpy(info.payload, packet + kOffPayload, kMonitorInfoBytes);
  return info;
}

int EngineKindFromChar(char c) {
  if (c == 'B') return 1;
  if (c == '4') return 2;
  return 0;
}

int MonitorModelFromChar(char c) {
  if (c == 'V') return 2;
  if (c == 'C') return 1;
  return 0;
}

RawLayout RawLayoutFor(int engineKind, bool rate256) {
  // The four-channel engine streams 128 Hz whatever rate was asked for.
  if (engineKind == 2) return RawLayout::FourChannels128;
  return rate256 ? RawLayout::TwoChannels256 : RawLayout::TwoChannels128;
}

int RawPacketBytes(RawLayout layout) {
  return layout == RawLayout::TwoChannels128 ? kRawEegBytes128 : kRawEegBytesWide;
}

int RawChannels(RawLayout layout) {
  return layout == RawLayout::FourChannels128 ? 4 : 2;
}

int RawFrames(RawLayout layout) {
  return layout == RawLayout::TwoChannels256 ? 32 : 16;
}

int RecordedBytes(std::uint16_t id, RawLayout layout) {
  switch (id) {
    case kMsgRawEeg:
      return RawPacketBytes(layout);
    case kMsgProcessed:
      return kProcessedBytes;
    case kMsgProcessed4:
      return kProcessed4Bytes;
    default:
      return 0;
  }
}

}  // namespace qs
