#pragma once
// What the run controller needs from the monitor link at an online Start:
// open the port and bring up the receive thread and the send thread, each of
// which must report its start within 3000 ms. Stopping goes through
// TxStopEvent, which the send thread waits for.
//
// A new Start while the previous run's link threads are still sending their
// stop requests ends those threads first (EndThreads): their requests carry
// the old run id and are dropped, and the port is closed before it is opened
// again, so an old thread can neither block nor touch the new run.
#include <cstdint>
#include <string>

namespace qs {

class RunRequests;
class LinkNotices;

enum class LinkStartOutcome {
  Started,         // both link threads run; TxStartEvent may be set
  ReceiverSilent,  // port not opened or receive thread did not start: "COM port open error"
  SenderSilent,    // the send thread did not start: the start ends without a message
};

class MonitorLink {
 public:
  virtual ~MonitorLink() = default;
  // Where the link threads post their requests (StopSub1, StopSub2, enabling
  // Stop); the run controller attaches itself at window creation.
  virtual void Attach(RunRequests& /*requests*/) {}
  // Where they report the monitor's silence, a vanished device and new
  // record parts (LinkNotices).
  virtual void AttachNotices(LinkNotices& /*notices*/) {}
  // runId identifies the run; the link's threads act on that run only.
  virtual LinkStartOutcome Start(std::uint32_t runId) = 0;
  // After a ReceiverSilent start: why the port did not open (a line for the
  // user under "COM port open error"), empty when there is nothing to add.
  virtual std::string StartProblem() const { return {}; }
  // Ends link threads of an earlier run that are still finishing (a send
  // thread repeating its stop requests to a monitor that no longer answers)
  // and closes the port. Every Start calls it first, online or offline: those
  // threads share the receive ring, the sample rings and the run state with
  // whatever runs next. Window destruction calls it too, before what the
  // threads use goes away. Returns within about half a second: every wait of
  // the link threads is bounded.
  virtual void EndThreads() {}
};

// Stand-in until the serial link exists: the port never opens.
class NoMonitorLink final : public MonitorLink {
 public:
  LinkStartOutcome Start(std::uint32_t) override { return LinkStartOutcome::ReceiverSilent; }
};

}  // namespace qs
