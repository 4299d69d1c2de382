#include "link/SendThread.h"

#include "link/ReceiveThread.h"

namespace qs {

TSendThread::TSendThread(AppCore& core, SerialPort& port, RequestBuilder& builder, RunRequests& requests,
                         TReceiveThread& receiver, std::uint32_t runId, UiBridge& ui)
    : WorkerThread(ui, ThreadPriority::Normal),
      core_(core),
      port_(port),
      builder_(builder),
      requests_(requests),
      receiver_(receiver),
      runId_(runId) {}

TSendThread::~TSendThread() {
  TerminateAndJoin();
}

void TSendThread::Execute() {
  SyncObjects& sync = core_.sync;
  sync.TxStartedEvent.Set();
  while (!Terminated()) {
    switch (WaitAny({&sync.TxStartEvent, &sync.TxStopEvent, &sync.OverflowEvent}, kIdleWaitMs)) {
      case 0:
        if (!StartSequence()) return;
        break;
      case 1:
        StopSequence();
        return;
      case 2:
        // The calculation thread fell a whole buffer behind: acquisition
        // ends without requests and without a message.
        receiver_.Terminate();
        return;
      default:
        break;  // look at the terminate flag again
    }
  }
}

TSendThread::Sent TSendThread::SendOnce(const Request& request, bool watchStop) {
  SyncObjects& sync = core_.sync;
  port_.Write(request.bytes.data(), request.length);
  const int answer = watchStop ? WaitAny({&sync.AckEvent, &sync.NakEvent, &sync.TxStopEvent}, kAnswerWaitMs)
                               : WaitAny({&sync.AckEvent, &sync.NakEvent}, kAnswerWaitMs);
  if (answer == 0) return Sent::Acked;
  if (answer == 2) return Sent::Stop;
  if (Terminated()) return Sent::Ended;
  if (port_.Vanished() || !port_.IsOpen()) return Sent::Vanished;
  return Sent::NoAnswer;
}

TSendThread::Sent TSendThread::SendUntilAcked(const Request& request, bool watchStop) {
  // An answer to an earlier request must not count for this one.
  core_.sync.AckEvent.Reset();
  core_.sync.NakEvent.Reset();
  for (;;) {
    const Sent sent = SendOnce(request, watchStop);
    if (sent != Sent::NoAnswer) return sent;
  }
}

void TSendThread::GiveUp() {
  receiver_.Terminate();
  requests_.RequestStopNoMonitor(runId_);
}

bool TSendThread::StartSequence() {
  SyncObjects& sync = core_.sync;
  RunState& run = core_.run;

  const Request info = builder_.Build(kMsgRequestInfo);
  sync.AckEvent.Reset();
  sync.NakEvent.Reset();
  bool answered = false;
  for (int i = 0; i < kInfoTries && !answered; ++i) {
    const Sent sent = SendOnce(info, /*watchStop=*/false);
    if (sent == Sent::Acked) answered = true;
    if (sent == Sent::Ended) break;  // give up at once
  }
  if (!answered) {
    GiveUp();
    return false;
  }
  requests_.RequestEnableStop(runId_);

  for (;;) {
    const int woken = WaitAny({&sync.MonitorInfoEvent, &sync.TxStopEvent}, kInfoWaitMs);
    if (woken == 0) break;
    if (woken == 1) {
      StopSequence();
      return false;
    }
    if (Terminated() || port_.Vanished()) {
      GiveUp();
      return false;
    }
  }

  // The 1102 just handled may have switched the run to 128 Hz or to the
  // four-channel engine. Each request is built when it is first sent, so the
  // request counter numbers only requests that went out.
  for (const std::uint16_t id :
       {run.EngineKind == 2 ? kMsgRequestVars4 : kMsgRequestVars, kMsgRequestStream}) {
    switch (SendUntilAcked(builder_.Build(id, run.Rate256 ? 256 : 128), /*watchStop=*/true)) {
      case Sent::Acked:
        break;
      case Sent::Stop:
        StopSequence();
        return false;
      case Sent::Vanished:
        GiveUp();
        return false;
      default:
        return false;  // asked to terminate
    }
  }
  return true;
}

void TSendThread::StopSequence() {
  // Built one after the other, as they are sent: each takes the next packet
  // number.
  for (const std::uint16_t id : {kMsgStopStream, kMsgStopVars}) {
    const Sent sent = SendUntilAcked(builder_.Build(id), /*watchStop=*/false);
    if (sent == Sent::Ended) return;    // a new Start or the exit ends this run's link
    if (sent == Sent::Vanished) break;  // nobody left to ask
  }
  receiver_.Terminate();
  requests_.RequestStopAfterLink(runId_);
}

}  // namespace qs
