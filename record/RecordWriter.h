#pragma once
// Writes an online run's record file: the 128-byte header at offset 0 when the
// run's first monitor information arrives, and every handled raw EEG or
// processed-variables message, as many bytes as its kind is recorded with.
// Nothing is written while the calibration is unknown (gain 0), so the first
// packet behind the header is always a processed-variables message.
#include <cstdint>

#include "protocol/MonitorMessages.h"
#include "platform/DataFile.h"
#include "record/RecordHeader.h"

namespace qs {

class RecordWriter {
 public:
  explicit RecordWriter(DataFile& file) : file_(file) {}

  // A new run: the next header and packets start a new file.
  void Reset() {
    headerWritten_ = false;
    bytes_ = 0;
  }
  // The run's first monitor information: the header at offset 0. Later ones
  // write nothing.
  bool WriteHeader(const RecordHeader& header);
  // Appends a handled message (id 50, 52 or 1122; a 53 arrives as a 52);
  // other ids and a zero gain write nothing.
  bool Append(const std::uint8_t* packet, std::uint16_t id, RawLayout layout, float waveGain);

 private:
  DataFile& file_;
  bool headerWritten_ = false;
  long bytes_ = 0;
};

}  // namespace qs
