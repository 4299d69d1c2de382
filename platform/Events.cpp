#include "platform/Events.h"

#include <cassert>
#include <chrono>

namespace qs {

void AutoResetEvent::Set() {
  {
    std::lock_guard lock(group_.mutex_);
    signalled_ = true;
  }
  group_.changed_.notify_all();
}

void AutoResetEvent::Reset() {
  std::lock_guard lock(group_.mutex_);
  signalled_ = false;
}

bool AutoResetEvent::IsSet() const {
  std::lock_guard lock(group_.mutex_);
  return signalled_;
}

bool AutoResetEvent::Wait(int timeoutMs) { return WaitAny({this}, timeoutMs) == 0; }

int WaitAny(std::initializer_list<AutoResetEvent*> events, int timeoutMs) {
  assert(events.size() > 0);
  EventGroup& group = (*events.begin())->group_;
  for ([[maybe_unused]] AutoResetEvent* e : events) assert(&e->group_ == &group);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lock(group.mutex_);
  for (;;) {
    int index = 0;
    for (AutoResetEvent* e : events) {
      if (e->signalled_) {
        e->signalled_ = false;
        return index;
      }
      ++index;
    }
    if (timeoutMs == kInfinite) {
      group.changed_.wait(lock);
    } else if (group.changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      // One last look: a Set may have landed together with the time-out.
      index = 0;
      for (AutoResetEvent* e : events) {
        if (e->signalled_) {
          e->signalled_ = false;
          return index;
        }
        ++index;
      }
      return kWaitTimeout;
    }
  }
}

}  // namespace qs
