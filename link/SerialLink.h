#pragma once
// The monitor link of the program: the serial port and, for each online run,
// its receive thread and send thread. Owned by the composition root for the
// life of the program; the request counters (RequestBuilder) live as long.
#include <cstdint>
#include <memory>
#include <string>

#include "core/AppCore.h"
#include "link/MonitorLink.h"
#include "link/ReceiveThread.h"
#include "protocol/Requests.h"
#include "link/SendThread.h"
#include "link/SerialPort.h"

namespace qs {

class SerialLink final : public MonitorLink {
 public:
  static constexpr int kThreadStartMs = 3000;

  // replay: the offline input, whose step may still be finishing on the
  // calculation thread when an online run starts right after a replay; the
  // receive thread resets the shared receive ring only between its steps.
  SerialLink(AppCore& core, UiBridge& ui, Replay* replay = nullptr) : core_(core), ui_(ui), replay_(replay) {}
  ~SerialLink() override { EndThreads(); }

  void Attach(RunRequests& requests) override { requests_ = &requests; }
  void AttachNotices(LinkNotices& notices) override { notices_ = &notices; }
  // Clears the send thread's left-over signals, opens the port named by
  // COM_Device (else COM_Port) and starts both threads.
  LinkStartOutcome Start(std::uint32_t runId) override;
  std::string StartProblem() const override { return startProblem_; }
  void EndThreads() override;

  // The device the last Start opened (or tried to).
  const std::string& DevicePath() const { return devicePath_; }
  // Some thread of the last run has not ended yet.
  bool ThreadsRunning() const;
  const TReceiveThread* Receiver() const { return rx_.get(); }

 private:
  AppCore& core_;
  UiBridge& ui_;
  Replay* replay_;
  RunRequests* requests_ = nullptr;
  LinkNotices* notices_ = nullptr;
  SerialPort port_;
  RequestBuilder builder_;
  std::string devicePath_;
  std::string startProblem_;  // why the last start could not open the port
  std::unique_ptr<TReceiveThread> rx_;
  std::unique_ptr<TSendThread> tx_;
};

}  // namespace qs
