#pragma once
// What the run controller needs from the monitor link at an online Start:
// open the port and bring up the receive thread and the send thread, each of
// which must report its start within 3000 ms. Stopping goes through
// TxStopEvent, which the send thread waits for.
#include <cstdint>

namespace qs {

enum class LinkStartOutcome {
  Started,         // both link threads run; TxStartEvent may be set
  ReceiverSilent,  // port not opened or receive thread did not start: "COM port open error"
  SenderSilent,    // the send thread did not start: the start ends without a message
};

class MonitorLink {
 public:
  virtual ~MonitorLink() = default;
  // runId identifies the run; the link's threads act on that run only.
  virtual LinkStartOutcome Start(std::uint32_t runId) = 0;
};

// Stand-in until the serial link exists: the port never opens.
class NoMonitorLink final : public MonitorLink {
 public:
  LinkStartOutcome Start(std::uint32_t) override { return LinkStartOutcome::ReceiverSilent; }
};

}  // namespace qs
