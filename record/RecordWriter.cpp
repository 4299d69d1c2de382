#include "record/RecordWriter.h"

#include "platform/Clock.h"

namespace qs {

bool RecordWriter::WriteHeader(const RecordHeader& header) {
  SetMonitorInfo(header.info, header.rateHz);
  const unsigned opens = file_.Opens();
  if (began_ && opens == opens_ && headerWritten_) return true;
  if (began_ && opens != opens_) return true;  // a new file: begun at its first processed message
  began_ = true;
  opens_ = opens;
  headerWritten_ = true;
  const RecordHeaderBytes bytes = BuildRecordHeader(header);
  return file_.WriteAt(0, bytes.data(), bytes.size());
}

bool RecordWriter::Append(const std::uint8_t* packet, std::uint16_t id, RawLayout layout, float waveGain) {
  const int length = RecordedBytes(id, layout);
  if (length == 0 || waveGain == 0.0f) return true;
  const unsigned opens = file_.Opens();
  if (!began_ || opens != opens_) {
    if (!began_ && !haveInfo_) {
      // A packet before any monitor information: keep the header's place
      // free, so that the late header can never overwrite recorded packets.
      RecordHeaderBytes blank;
      blank.fill(0x20);
      began_ = true;
      opens_ = opens;
      headerWritten_ = false;
      if (!file_.Write(blank.data(), blank.size())) return false;
    } else {
      // A file opened during the run: it starts with a processed-variables
      // message, as the replay expects, behind a header of its own.
      if (id == kMsgRawEeg) return true;
      const TimeOfDay now = LocalNow();
      const RecordHeaderBytes bytes = BuildRecordHeader(RecordHeader{rateHz_, now.hour, now.minute, now.second, info_});
      began_ = true;
      opens_ = opens;
      headerWritten_ = true;
      if (!file_.Write(bytes.data(), bytes.size())) return false;
    }
  }
  return file_.Write(packet, static_cast<std::size_t>(length));
}

}  // namespace qs
