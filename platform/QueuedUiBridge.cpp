#include "platform/QueuedUiBridge.h"

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
  queued_.store(static_cast<int>(queue_.size()), std::memory_order_release);
  changed_.notify_all();
  // A short spin before sleeping: a loop that is already running answers
  // within microseconds, while a sleep and wake-up costs far more, once per
  // interval of a Calculation Only replay.
  if (spinning_) {
    lock.unlock();
    SpinUntil([&] { return item->done.load(std::memory_order_acquire); });
    lock.lock();
  }
  changed_.wait(lock, [&] { return item->done.load() || (shutDown_ && !item->running); });
  return item->done;
}

void QueuedUiBridge::Post(std::function<void()> step) {
  auto item = std::make_shared<Item>();
  item->posted = std::move(step);
  std::lock_guard lock(mutex_);
  if (shutDown_) return;
  queue_.push_back(std::move(item));
  queued_.store(static_cast<int>(queue_.size()), std::memory_order_release);
  changed_.notify_all();
}

void QueuedUiBridge::Shutdown() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  queue_.clear();
  queued_.store(0, std::memory_order_release);
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
      queued_.store(static_cast<int>(queue_.size()), std::memory_order_release);
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

void QueuedUiBridge::SpinUntil(const std::function<bool()>& ready) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
  while (!ready() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
}

bool QueuedUiBridge::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int ran = RunPending();
    if (done()) return true;
    // A loop that has just run a step spins briefly before it sleeps: the
    // next hand-off of a Calculation Only replay comes within microseconds.
    // An idle loop sleeps at once: an online run at real time hands over once
    // per interval, and spinning after every 5 ms wake-up would cost a few
    // per cent of a core for nothing.
    if (ran > 0 && spinning_) SpinUntil([&] { return queued_.load(std::memory_order_acquire) > 0; });
    std::unique_lock lock(mutex_);
    if (std::chrono::steady_clock::now() >= deadline) return false;
    changed_.wait_until(lock,
                        std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)),
                        [&] { return !queue_.empty() || shutDown_; });
  }
}

}  // namespace qs
