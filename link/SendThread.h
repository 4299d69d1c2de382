#pragma once
// TSendThread: one per online run; carries out the request dialogue.
//
// It waits for TxStartEvent, TxStopEvent or OverflowEvent:
//  * start: 1004 at most ten times (150 ms each) -> no answer: "BIS monitor
//    did not respond..." (StopSub1); answered: Stop is enabled, then the wait
//    for message 1102 (500 ms steps), 115 (1025 for the four-channel engine)
//    and 111 with the run's rate, each repeated until acknowledged;
//  * stop: 112 and 116, each until acknowledged, then the receive thread is
//    ended and StopSub2 requested;
//  * overflow: the receive thread is ended, silently.
// Stop pressed while the start sequence is still waiting (for 1102 or an
// acknowledgement) goes straight to the stop sequence. A device that vanishes
// ends the sequence in progress: before the monitor's first answer as a
// monitor that does not respond, during the stop as if it had acknowledged,
// and otherwise the thread waits for the receive thread to open the device
// again. When it has, TxStartEvent comes again and the start sequence is
// redone without a limit on the tries of 1004 (the monitor may be switched on
// later) and without a message; Stop ends it at any step. A silent monitor
// gets each stop request kSilentStopTries times only, so that Stop during an
// outage ends the link within a second.
//
// Every wait is bounded (at most 500 ms) so that a terminate request, from a
// new Start or from the exit, ends the thread at once; its requests carry its
// run id and are dropped once a later run has started.
#include <cstdint>

#include "core/AppCore.h"
#include "core/RunRequests.h"
#include "protocol/Requests.h"
#include "link/SerialPort.h"
#include "platform/WorkerThread.h"

namespace qs {

class TReceiveThread;

class TSendThread final : public WorkerThread {
 public:
  static constexpr int kAnswerWaitMs = 150;
  static constexpr int kInfoWaitMs = 500;
  static constexpr int kIdleWaitMs = 200;
  static constexpr int kInfoTries = 10;
  static constexpr int kSilentStopTries = 2;

  TSendThread(AppCore& core, SerialPort& port, RequestBuilder& builder, RunRequests& requests,
              TReceiveThread& receiver, std::uint32_t runId, UiBridge& ui);
  ~TSendThread() override;

 protected:
  void Execute() override;

 private:
  enum class Sent { Acked, Stop, NoAnswer, Ended, Vanished };
  // One send and one wait for the answer (Stop only when watchStop).
  Sent SendOnce(const Request& request, bool watchStop);
  // maxTries 0: no limit.
  Sent SendUntilAcked(const Request& request, bool watchStop, int maxTries = 0);
  // False when the thread is to end. resume: the device was opened again.
  bool StartSequence(bool resume);
  void StopSequence();
  void GiveUp();
  bool DeviceChanged() const;

  AppCore& core_;
  SerialPort& port_;
  RequestBuilder& builder_;
  RunRequests& requests_;
  TReceiveThread& receiver_;
  const std::uint32_t runId_;
  bool started_ = false;  // the run's first start sequence has begun
  std::uint32_t sequenceReopens_ = 0;  // the device's reopen count when the sequence began
};

}  // namespace qs
