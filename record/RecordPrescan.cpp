#include "record/RecordPrescan.h"

#include <algorithm>

#include "platform/DataFile.h"

namespace qs {

int BytesPerSecondFor(int engineKind, bool rate256) {
  if (engineKind == 2) return 8 * kRawEegBytesWide + kProcessed4Bytes;  // 1542
  if (rate256) return 8 * kRawEegBytesWide + kProcessedBytes;          // 1374
  return 8 * kRawEegBytes128 + kProcessedBytes;                        // 862
}

int ReadFirstPacket(DataFile& file, std::uint8_t (&packet)[kProcessed4Bytes]) {
  if (file.Read(packet, kProcessedBytes) != kProcessedBytes) return 0;
  if (GetU16(packet + kOffMsgId) != kMsgProcessed4) return kProcessedBytes;
  // A four-channel file begins with a 1122, which is longer than a 52.
  constexpr std::size_t kRest = kProcessed4Bytes - kProcessedBytes;
  if (file.Read(packet + kProcessedBytes, kRest) != kRest) return 0;
  return kProcessed4Bytes;
}

PrescanResult PrescanRecord(const std::string& path) {
  DataFile file;
  if (!file.Open(path, "rb")) {
    PrescanResult r;
    r.outcome = ReplayOpenOutcome::OpenError;
    return r;
  }
  std::uint8_t lead[kPrescanBytes];
  const std::size_t got = file.Read(lead, sizeof lead);
  return PrescanRecordBytes(lead, got, file.Length());
}

PrescanResult PrescanRecordBytes(const std::uint8_t* lead, std::size_t leadSize, long fileLength) {
  PrescanResult r;
  RecordHeaderBytes headerBytes;
  headerBytes.fill(0);
  const std::size_t headerRead = std::min(leadSize, headerBytes.size());
  std::copy_n(lead, headerRead, headerBytes.begin());
  r.header = ParseRecordHeader(headerBytes);
  if (r.header.magic && r.header.hasTime) {
    r.headerLength = kRecordHeaderBytes;
    r.fileStartSec = static_cast<std::uint32_t>(r.header.StartSecondOfDay());
  }

  // Model and rate: a model "V" monitor samples at 128 Hz only, whatever the
  // rate field says; only its engine character is trusted.
  if (r.header.modelChar == 'V') {
    r.monitorModel = 2;
    r.rate256 = false;
    r.engineKind = EngineKindFromChar(r.header.engineChar);
  } else {
    r.monitorModel = MonitorModelFromChar(r.header.modelChar);
    r.rate256 = r.header.rateField == 256;
    r.engineKind = 0;
  }

  // The first packet: a 52, or a four-channel file's longer 1122, by its id.
  const std::uint8_t* packet = lead + kRecordHeaderBytes;
  const std::size_t available = leadSize > kRecordHeaderBytes ? leadSize - kRecordHeaderBytes : 0;
  if (available >= kProcessedBytes) {
    r.firstPacketBytes = GetU16(packet + kOffMsgId) == kMsgProcessed4 ? kProcessed4Bytes : kProcessedBytes;
    if (available < static_cast<std::size_t>(r.firstPacketBytes)) r.firstPacketBytes = 0;
  }
  if (r.firstPacketBytes == 0) {
    r.outcome = ReplayOpenOutcome::TypeError;
    return r;
  }
  r.firstPacketId = GetU16(packet + kOffMsgId);
  if (GetU16(packet + kOffDataLength) == kProcessedBytes - 10) r.engineKind = 1;
  // The calibration comes from the first packet by its own kind: a 1122 keeps
  // its fractions elsewhere than a 52.
  const auto calibration =
      DecodeCalibration(packet, r.firstPacketId == kMsgProcessed4 ? kMsgProcessed4 : kMsgProcessed);
  r.hasCalibration = calibration.has_value();
  if (calibration) r.calibration = *calibration;

  r.bytesPerSecond = BytesPerSecondFor(r.engineKind, r.rate256);
  r.fileLength = fileLength;
  const long data = r.fileLength - kRecordHeaderBytes - r.firstPacketBytes;
  r.fileSeconds = data > 0 ? static_cast<int>(data / r.bytesPerSecond) : 0;
  r.outcome = ReplayOpenOutcome::Ok;
  return r;
}

}  // namespace qs
