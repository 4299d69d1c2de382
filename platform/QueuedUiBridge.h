#pragma once
// A UiBridge without a toolkit: the thread that creates it plays the
// user-interface thread and runs the queued steps when it calls RunPending()
// or RunUntil(). The command-line programs run their event loop this way, and
// tests drive it step by step: nothing runs behind the owner's back.
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
  // done() is looked at after every step, and every pollMs while no step
  // comes: a condition that only queued steps change needs no polling (0:
  // the loop sleeps until a step or the time-out), one that other threads
  // change is polled.
  static constexpr int kPollMs = 5;
  bool RunUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = kPollMs);
  int Queued() const;

 private:
  struct Item;
  std::thread::id uiThread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Item>> queue_;
  bool shutDown_ = false;
};

}  // namespace qs
