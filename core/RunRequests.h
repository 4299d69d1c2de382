#pragma once
// Requests that worker threads make of the run controller. They are carried out
// later on the user-interface thread; the worker does not wait. Each carries the
// id of the run the worker belongs to: a request from an earlier run is
// dropped, so the threads of one run can never stop or change a later one.
#include <cstdint>

namespace qs {

struct IntervalTexts;

class RunRequests {
 public:
  virtual ~RunRequests() = default;
  virtual void RequestStop(std::uint32_t runId) = 0;             // StopSub
  virtual void RequestStopNoMonitor(std::uint32_t runId) = 0;    // StopSub1
  virtual void RequestStopAfterLink(std::uint32_t runId) = 0;    // StopSub2
  virtual void RequestEnableStop(std::uint32_t runId) = 0;       // the monitor answered

  // Steps the calculation thread runs on the user-interface thread inside a
  // synchronized call (it waits for them): the log header at Start, and the
  // values and log line of each closed interval.
  virtual void ShowLogHeader() = 0;
  virtual void ShowInterval(const IntervalTexts& texts) = 0;
};

}  // namespace qs
