#pragma once
// The drawing thread: waits for DrawEvent and handles the queued drawing
// requests one by one, in arrival order, until the queue is empty. The graphs
// plug in through DrawHandlers; a request of an unknown kind is dropped.
#include <cstdint>
#include <memory>

#include "core/AppCore.h"
#include "core/DrawRequestQueue.h"
#include "platform/WorkerThread.h"

namespace qs {

class DrawHandlers {
 public:
  virtual ~DrawHandlers() = default;
  virtual void Handle(const DrawRequest& request) = 0;
};

class TDrawThread final : public WorkerThread {
 public:
  // handlers may be null: requests are then taken from the queue and dropped.
  TDrawThread(AppCore& core, UiBridge& ui, DrawHandlers* handlers = nullptr);
  // The thread owns its handlers (the program's graphs).
  TDrawThread(AppCore& core, UiBridge& ui, std::unique_ptr<DrawHandlers> handlers);
  ~TDrawThread() override;

  // Termination request that also wakes the waiting thread.
  void Stop();
  std::uint32_t Handled() const { return handled_; }

 protected:
  void Execute() override;

 private:
  AppCore& core_;
  std::unique_ptr<DrawHandlers> owned_;
  DrawHandlers* handlers_;
  Relaxed<std::uint32_t> handled_{0};
};

}  // namespace qs
