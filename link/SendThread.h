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
// ends the sequence in progress: during the start as a monitor that does not
// respond, during the stop as if it had acknowledged.
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

  TSendThread(AppCore& core, SerialPort& port, RequestBuilder& builder, RunRequests& requests,
              TReceiveThread& receiver, std::uint32_t runId, UiBridge& ui);
  ~TSendThread() override;

 protected:
  void Execute() override;

 private:
  enum class Sent { Acked, Stop, NoAnswer, Ended, Vanished };
  // One send and one wait for the answer (Stop only when watchStop).
  Sent SendOnce(const Request& request, bool watchStop);
  Sent SendUntilAcked(const Request& request, bool watchStop);
  // False when the thread is to end.
  bool StartSequence();
  void StopSequence();
  void GiveUp();

  AppCore& core_;
  SerialPort& port_;
  RequestBuilder& builder_;
  RunRequests& requests_;
  TReceiveThread& receiver_;
  const std::uint32_t runId_;
};

}  // namespace qs
