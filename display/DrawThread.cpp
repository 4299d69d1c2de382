#include "display/DrawThread.h"

namespace qs {

TDrawThread::TDrawThread(AppCore& core, UiBridge& ui, DrawHandlers* handlers)
    : WorkerThread(ui, ThreadPriority::Normal), core_(core), handlers_(handlers) {}

TDrawThread::TDrawThread(AppCore& core, UiBridge& ui, std::unique_ptr<DrawHandlers> handlers)
    : WorkerThread(ui, ThreadPriority::Normal), core_(core), owned_(std::move(handlers)), handlers_(owned_.get()) {}

TDrawThread::~TDrawThread() {
  Stop();
  TerminateAndJoin();
}

void TDrawThread::Stop() {
  Terminate();
  core_.sync.DrawEvent.Set();
}

void TDrawThread::Execute() {
  DrawRequestQueue& queue = core_.drawQueue;
  for (;;) {
    core_.sync.DrawEvent.Wait(kInfinite);
    if (Terminated()) return;
    // Producers signal only when they fill an empty queue, so the queue is
    // emptied completely before the next wait.
    DrawRequest request;
    while (queue.Front(request)) {
      if (Terminated()) return;
      if (handlers_ != nullptr) handlers_->Handle(request);
      ++handled_;
      queue.PopFront();
    }
  }
}

}  // namespace qs
