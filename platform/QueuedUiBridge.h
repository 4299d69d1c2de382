#pragma once
// A UiBridge without a toolkit: the thread that creates it plays the
// user-interface thread and runs the queued steps when it calls RunPending()
// or RunUntil(). The command-line programs run their event loop this way, and
// tests drive it step by step: nothing runs behind the owner's back.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/UiBridge.h"

namespace qs {

class QueuedUiBridge final : public UiBridge {
 public:
  QueuedUiBridge();
  ~QueuedUiBridge() override;

  bool Synchronize(const std::function<void()>& step) override;
  void Post(std::function<void()> step) override;
  void Shutdown() override;
  bool IsShutDown() const override;

  // Runs every step queued so far (and those they queue) on the calling thread,
  // which must be the creating thread. Returns the number run.
  int RunPending();
  // Runs queued steps as they arrive until done() is true or timeoutMs pass.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);
  int Queued() const;
  // Hand-offs spin briefly before they sleep (the default): the fastest for
  // one replay with a core to spare. Processes that share the cores with
  // others (a batch's cases) turn it off before any worker starts.
  void SetSpinning(bool on) { spinning_ = on; }

 private:
  struct Item;
  static void SpinUntil(const std::function<bool()>& ready);
  std::thread::id uiThread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Item>> queue_;
  std::atomic<int> queued_{0};  // queue_.size(), readable without the lock
  bool shutDown_ = false;
  bool spinning_ = true;
};

}  // namespace qs
