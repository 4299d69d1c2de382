#pragma once
// The 128-byte header of a packet record file (".eeg"). Bytes not listed hold
// a blank (0x20); multi-byte fields are little-endian.
//
//   0..2   magic 0x41 0x32 0x4B ("A2K")
//   16     int32 sampling rate, 256 or 128
//   20     int32 1;  24 float 1.0;  32 int32 0   (fixed, not read back)
//   40..42 hour, minute, second (local time when the monitor information came)
//   64..91 the first 28 payload bytes of the monitor information message:
//          revisions at 64/65 (system), 68/69 (host), 72/73 (engine),
//          76/77 (serial protocol), engine character at 83, model at 91
#include <array>
#include <cstdint>

#include "protocol/MonitorMessages.h"

namespace qs {

inline constexpr int kRecordHeaderBytes = 128;
// Header plus the first packet (a processed-variables message), which the
// replay reads but does not replay.
inline constexpr int kRecordLeadBytes = kRecordHeaderBytes + kProcessedBytes;

using RecordHeaderBytes = std::array<std::uint8_t, kRecordHeaderBytes>;

struct RecordHeader {
  std::int32_t rateHz = 128;
  int hour = 0, minute = 0, second = 0;
  MonitorInfo info;
};

RecordHeaderBytes BuildRecordHeader(const RecordHeader& header);

struct ParsedRecordHeader {
  bool magic = false;
  bool hasTime = false;  // the hour byte is not a blank
  int hour = 0, minute = 0, second = 0;
  std::int32_t rateField = 0;
  char engineChar = ' ';
  char modelChar = ' ';
  std::int8_t revision[8] = {};  // system, host, engine, serial protocol: major, minor each

  int StartSecondOfDay() const { return hasTime ? hour * 3600 + minute * 60 + second : 0; }
};

ParsedRecordHeader ParseRecordHeader(const RecordHeaderBytes& bytes);

}  // namespace qs
