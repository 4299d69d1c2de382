#include "link/SerialLink.h"

namespace qs {

LinkStartOutcome SerialLink::Start(std::uint32_t runId) {
  EndThreads();
  if (requests_ == nullptr) return LinkStartOutcome::ReceiverSilent;
  SyncObjects& sync = core_.sync;
  // Signals nobody consumed belong to an earlier run: a Stop after an
  // overflow had ended that run's send thread, an answer that came late.
  for (AutoResetEvent* e : {&sync.RxStartedEvent, &sync.TxStartedEvent, &sync.TxStartEvent, &sync.TxStopEvent,
                            &sync.OverflowEvent, &sync.AckEvent, &sync.NakEvent, &sync.MonitorInfoEvent})
    e->Reset();

  devicePath_ = SerialDevicePath(core_.settings.COM_Port, core_.settings.COM_Device);
  startProblem_.clear();
  if (!port_.Open(devicePath_)) {
    startProblem_ = PortOpenReason(port_.OpenError(), devicePath_);
    return LinkStartOutcome::ReceiverSilent;
  }

  rx_ = std::make_unique<TReceiveThread>(core_, port_, runId, ui_, replay_, devicePath_, notices_);
  rx_->Start();
  if (!sync.RxStartedEvent.Wait(kThreadStartMs)) {
    rx_->End();
    return LinkStartOutcome::ReceiverSilent;
  }
  tx_ = std::make_unique<TSendThread>(core_, port_, builder_, *requests_, *rx_, runId, ui_);
  tx_->Start();
  if (!sync.TxStartedEvent.Wait(kThreadStartMs)) {
    tx_->Terminate();
    rx_->End();
    return LinkStartOutcome::SenderSilent;
  }
  return LinkStartOutcome::Started;
}

void SerialLink::EndThreads() {
  // The send thread first: it may still be writing to the port and asking
  // the receive thread to end.
  if (tx_) tx_->Terminate();
  if (rx_) rx_->End();
  tx_.reset();
  rx_.reset();
  port_.Close();
}

bool SerialLink::ThreadsRunning() const {
  return (rx_ && !rx_->Finished()) || (tx_ && !tx_->Finished());
}

}  // namespace qs
