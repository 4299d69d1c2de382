#include "platform/QueuedUiBridge.h"

#include <algorithm>
#include <atomic>
#include <cassert>

namespace qs {

struct QueuedUiBridge::Item {
  std::function<void()> posted;                 // a Post: owned copy
  const std::function<void()>* sync = nullptr;  // a Synchronize: the waiting caller's step
  bool running = false;  // popped by the user-interface thread; the caller must wait for it
  std::atomic<bool> done{false};
};

QueuedUiBridge::QueuedUiBridge() : uiThread_(std::this_thread::get_id()) {}

QueuedUiBridge::~QueuedUiBridge() {
  Shutdown();
}

bool QueuedUiBridge::Synchronize(const std::function<void()>& step) {
  if (std::this_thread::get_id() == uiThread_) {
    if (IsShutDown()) return false;
    step();
    return true;
  }
  auto item = std::make_shared<Item>();
  item->sync = &step;
  std::unique_lock lock(mutex_);
  if (shutDown_) return false;
  queue_.push_back(item);
  changed_.notify_all();
  changed_.wait(lock, [&] { return item->done.load() || (shutDown_ && !item->running); });
  return item->done;
}

void QueuedUiBridge::Post(std::function<void()> step) {
  auto item = std::make_shared<Item>();
  item->posted = std::move(step);
  std::lock_guard lock(mutex_);
  if (shutDown_) return;
  queue_.push_back(std::move(item));
  changed_.notify_all();
}

void QueuedUiBridge::Shutdown() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  queue_.clear();
  changed_.notify_all();
}

bool QueuedUiBridge::IsShutDown() const {
  std::lock_guard lock(mutex_);
  return shutDown_;
}

int QueuedUiBridge::Queued() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(queue_.size());
}

int QueuedUiBridge::RunPending() {
  assert(std::this_thread::get_id() == uiThread_);
  int count = 0;
  for (;;) {
    std::shared_ptr<Item> item;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || shutDown_) return count;
      item = std::move(queue_.front());
      queue_.pop_front();
      item->running = true;
    }
    // The step runs without the bridge's lock, as on a real event loop: it may
    // post or synchronize again.
    if (item->sync) {
      (*item->sync)();
      std::lock_guard lock(mutex_);
      item->done = true;
      changed_.notify_all();
    } else {
      item->posted();
    }
    ++count;
  }
}

bool QueuedUiBridge::RunUntil(const std::function<bool()>& done, int timeoutMs, int pollMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    RunPending();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto wakeAt = pollMs > 0 ? std::min(deadline, now + std::chrono::milliseconds(pollMs)) : deadline;
    // Once shut down the queue stays empty: the loop sleeps to its time-out.
    changed_.wait_until(lock, wakeAt, [&] { return !queue_.empty(); });
  }
}

}  // namespace qs
