#pragma once
// What the link threads of an online run tell the user about the monitor's
// data on their own: that it stopped (no raw EEG for kSilenceMs), that it came
// back, that the device vanished and was opened again, and that the record
// went on in a new file after a gap. The run controller shows and notes them;
// the calls come from a link thread and must only post (never wait), and
// carry the run id so that a late notice never reaches a later run.
#include <cstdint>
#include <string>

namespace qs {

enum class LinkEvent {
  Silent,      // time: the second the last raw EEG arrived
  Resumed,     // time: the second data came back
  DeviceLost,  // detail: the device path
  DeviceBack,  // detail: the device path
  NewPart,     // detail: the record file that continues the recording
  PartFailed,  // detail: the file that could not be created; recording has stopped
};

class LinkNotices {
 public:
  virtual ~LinkNotices() = default;
  // secondOfDay: the local time the event refers to, seconds since midnight.
  virtual void LinkNotice(std::uint32_t runId, LinkEvent event, std::uint32_t secondOfDay,
                          const std::string& detail) = 0;
};

}  // namespace qs
