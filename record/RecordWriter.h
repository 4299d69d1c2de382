#pragma once
// Writes an online run's record file: the 128-byte header at offset 0 when the
// run's first monitor information arrives, and every handled raw EEG or
// processed-variables message, as many bytes as its kind is recorded with.
// Nothing is written while the calibration is unknown (gain 0), so the first
// packet behind the header is always a processed-variables message.
//
// A file opened anew during the run (the next part after a gap in the data,
// or a record file chosen from the Save menu) is begun the same way: its
// header carries the monitor information already received and the time its
// first packet arrived, and its first packet is the next processed-variables
// message. The replay reads a file's first packet as that message and starts
// its clock at the header's time, so each such file replays on its own with
// its own start time. The writer notices a new file by the handle's open
// count; raw EEG messages that come before the new file's first
// processed-variables message are not written to it.
#include <cstdint>

#include "protocol/MonitorMessages.h"
#include "platform/DataFile.h"
#include "record/RecordHeader.h"

namespace qs {

class RecordWriter {
 public:
  explicit RecordWriter(DataFile& file) : file_(file) {}

  // A new run: the next header and packets start a new file, and the monitor
  // information of an earlier run is forgotten.
  void Reset() {
    began_ = false;
    headerWritten_ = false;
    haveInfo_ = false;
  }
  // The monitor information of the current connection: the header of every
  // file begun from now on. Called for every 1102 that starts a connection,
  // whether or not a file is open.
  void SetMonitorInfo(const MonitorInfo& info, std::int32_t rateHz) {
    info_ = info;
    rateHz_ = rateHz;
    haveInfo_ = true;
  }
  // The run's first monitor information: the header at offset 0 of the file
  // open at Start (and the information for later files). Later ones write
  // nothing.
  bool WriteHeader(const RecordHeader& header);
  // Appends a handled message (id 50, 52 or 1122; a 53 arrives as a 52);
  // other ids and a zero gain write nothing.
  bool Append(const std::uint8_t* packet, std::uint16_t id, RawLayout layout, float waveGain);

 private:
  DataFile& file_;
  bool began_ = false;         // this writer has begun the file now open
  unsigned opens_ = 0;         // the handle's open count when it began it
  bool headerWritten_ = false;  // that file's header holds the monitor information
  bool haveInfo_ = false;
  MonitorInfo info_;
  std::int32_t rateHz_ = 128;
};

}  // namespace qs
