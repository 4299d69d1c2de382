#include "link/SendThread.h"

#include "link/ReceiveThread.h"

#include <utility>

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
        // The first start comes from Start; later ones from the receive
        // thread, which has opened a vanished device again.
        if (!StartSequence(std::exchange(started_, true))) return;
        break;
      case 1:
        StopSequence();
        return;
      case 2:
        // The calculation thread fell a whole buffer behind: acquisition
        // ends without requests and without a message.
        receiver_.End();
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
  if (DeviceChanged()) return Sent::Vanished;
  return Sent::NoAnswer;
}

TSendThread::Sent TSendThread::SendUntilAcked(const Request& request, bool watchStop, int maxTries) {
  // An answer to an earlier request must not count for this one.
  core_.sync.AckEvent.Reset();
  core_.sync.NakEvent.Reset();
  for (int tries = 1;; ++tries) {
    const Sent sent = SendOnce(request, watchStop);
    if (sent != Sent::NoAnswer || tries == maxTries) return sent;
  }
}

bool TSendThread::DeviceChanged() const {
  // Gone, or gone and opened again (its monitor needs the whole sequence).
  return port_.Vanished() || !port_.IsOpen() || receiver_.Reopens() != sequenceReopens_;
}

void TSendThread::GiveUp() {
  receiver_.End();
  requests_.RequestStopNoMonitor(runId_);
}

bool TSendThread::StartSequence(bool resume) {
  SyncObjects& sync = core_.sync;
  RunState& run = core_.run;

  sequenceReopens_ = receiver_.Reopens();
  const Request info = builder_.Build(kMsgRequestInfo);
  if (resume) {
    // The device is back: ask until the monitor answers; Stop ends it.
    switch (SendUntilAcked(info, /*watchStop=*/true)) {
      case Sent::Acked:
        break;
      case Sent::Stop:
        StopSequence();
        return false;
      case Sent::Vanished:
        return true;  // gone again: the receive thread reopens it
      default:
        return false;  // asked to terminate
    }
  } else {
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
  }

  for (;;) {
    const int woken = WaitAny({&sync.MonitorInfoEvent, &sync.TxStopEvent}, kInfoWaitMs);
    if (woken == 0) break;
    if (woken == 1) {
      StopSequence();
      return false;
    }
    if (Terminated()) {
      GiveUp();
      return false;
    }
    // The monitor has answered: a device that vanishes now is opened again.
    if (DeviceChanged()) return true;
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
        return true;  // the receive thread opens it again and asks for a new start
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
    // A silent monitor is asked a few times only: it may never answer.
    const int tries = receiver_.Silent() ? kSilentStopTries : 0;
    const Sent sent = SendUntilAcked(builder_.Build(id), /*watchStop=*/false, tries);
    if (sent == Sent::Ended) return;    // a new Start or the exit ends this run's link
    if (sent == Sent::Vanished) break;  // nobody left to ask
  }
  receiver_.End();
  requests_.RequestStopAfterLink(runId_);
}

}  // namespace qs
