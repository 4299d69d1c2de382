#pragma once
// The pre-scan of a record file chosen for replay: what the header and the
// first packet say about the file, without replaying anything.
#include <cstdint>
#include <string>

#include "protocol/MonitorMessages.h"
#include "record/RecordFiles.h"
#include "record/RecordHeader.h"

namespace qs {

struct PrescanResult {
  ReplayOpenOutcome outcome = ReplayOpenOutcome::OpenError;
  ParsedRecordHeader header;
  std::uint32_t fileStartSec = 0;  // 0 without magic or time
  int headerLength = 0;            // 128 for a file with magic and time, else 0
  int monitorModel = 0;
  int engineKind = 0;
  bool rate256 = false;
  int firstPacketId = 0;
  int firstPacketBytes = 0;        // 142, or 310 for a four-channel file's 1122
  bool hasCalibration = false;
  Calibration calibration;
  int bytesPerSecond = 862;
  long fileLength = 0;
  int fileSeconds = 0;             // whole seconds of data after the first packet
};

// The bytes one second of a layout takes in the file: eight raw EEG messages
// and one processed-variables message.
int BytesPerSecondFor(int engineKind, bool rate256);

// Reads the header and the first packet. Outcomes: Ok, OpenError (cannot be
// opened), TypeError (shorter than header plus first packet).
PrescanResult PrescanRecord(const std::string& path);

// The same from the file's first bytes (at least kPrescanBytes of them when the
// file has that many) and its length.
inline constexpr std::size_t kPrescanBytes = kRecordHeaderBytes + kProcessed4Bytes;
PrescanResult PrescanRecordBytes(const std::uint8_t* lead, std::size_t leadSize, long fileLength);

// The first packet of a record file: a 52 (142 bytes) or, in four-channel
// files, a 1122 (310 bytes); its length follows from its message id. Reads it
// from the file into packet; the bytes read, 0 when the file ends first.
class DataFile;
int ReadFirstPacket(DataFile& file, std::uint8_t (&packet)[kProcessed4Bytes]);

}  // namespace qs
