#include "record/RecordWriter.h"

namespace qs {

bool RecordWriter::WriteHeader(const RecordHeader& header) {
  if (headerWritten_) return true;
  headerWritten_ = true;
  const RecordHeaderBytes bytes = BuildRecordHeader(header);
  if (bytes_ < kRecordHeaderBytes) bytes_ = kRecordHeaderBytes;
  return file_.WriteAt(0, bytes.data(), bytes.size());
}

bool RecordWriter::Append(const std::uint8_t* packet, std::uint16_t id, RawLayout layout, float waveGain) {
  const int length = RecordedBytes(id, layout);
  if (length == 0 || waveGain == 0.0f) return true;
  if (bytes_ == 0 && !headerWritten_) {
    // A packet before any monitor information: keep the header's place free,
    // so that a late header can never overwrite recorded packets.
    const RecordHeaderBytes blank = [] {
      RecordHeaderBytes b;
      b.fill(0x20);
      return b;
    }();
    if (!file_.Write(blank.data(), blank.size())) return false;
    bytes_ = kRecordHeaderBytes;
  }
  bytes_ += length;
  return file_.Write(packet, static_cast<std::size_t>(length));
}

}  // namespace qs
