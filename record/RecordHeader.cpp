#include "record/RecordHeader.h"

#include <cstring>

#include "protocol/PacketFormat.h"

namespace qs {
namespace {

constexpr int kOffRate = 16;
constexpr int kOffTime = 40;
constexpr int kOffInfo = 64;
constexpr std::uint8_t kMagic[3] = {0x41, 0x32, 0x4B};
constexpr int kRevisionOffsets[8] = {64, 65, 68, 69, 72, 73, 76, 77};

}  // namespace

RecordHeaderBytes BuildRecordHeader(const RecordHeader& header) {
  RecordHeaderBytes b;
  b.fill(0x20);
  std::memcpy(b.data(), kMagic, sizeof kMagic);
  PutU32(b.data() + kOffRate, static_cast<std::uint32_t>(header.rateHz));
  PutU32(b.data() + 20, 1);
  const float one = 1.0f;
  std::uint32_t oneBits;
  std::memcpy(&oneBits, &one, sizeof oneBits);
  PutU32(b.data() + 24, oneBits);
  PutU32(b.data() + 32, 0);
  b[kOffTime] = static_cast<std::uint8_t>(header.hour);
  b[kOffTime + 1] = static_cast<std::uint8_t>(header.minute);
  b[kOffTime + 2] = static_cast<std::uint8_t>(header.second);
  std::memcpy(b.data() + kOffInfo, header.info.payload, sizeof header.info.payload);
  return b;
}

ParsedRecordHeader ParseRecordHeader(const RecordHeaderBytes& b) {
  ParsedRecordHeader h;
  h.magic = std::memcmp(b.data(), kMagic, sizeof kMagic) == 0;
  h.hour = b[kOffTime];
  h.minute = b[kOffTime + 1];
  h.second = b[kOffTime + 2];
  // A blank hour means no time. A damaged time (hour 200, say) counts as none
  // too: it would put the run clock beyond the end of the day.
  h.hasTime = b[kOffTime] != 0x20 && h.hour < 24 && h.minute < 60 && h.second < 60;
  h.rateField = GetI32(b.data() + kOffRate);
  h.engineChar = static_cast<char>(b[83]);
  h.modelChar = static_cast<char>(b[91]);
  for (int i = 0; i < 8; ++i) h.revision[i] = static_cast<std::int8_t>(b[kRevisionOffsets[i]]);
  return h;
}

}  // namespace qs
