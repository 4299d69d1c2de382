#pragma once
// Auto-reset events, the wake-up mechanism of every worker thread.
//
// An event is either signalled or not. Set() signals it; a wait that sees it
// signalled consumes the signal (the event resets itself), so one Set wakes one
// wait. Setting an already signalled event changes nothing: signals do not count.
//
// Events that are waited on together belong to one EventGroup, which owns the
// mutex and condition variable they share. WaitAny() over several events returns
// the lowest index among those signalled, consuming only that one, like the
// classic wait-for-any-of-several call.
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>

namespace qs {

inline constexpr int kWaitTimeout = -1;
inline constexpr int kInfinite = -1;

class EventGroup {
 public:
  EventGroup() = default;
  EventGroup(const EventGroup&) = delete;
  EventGroup& operator=(const EventGroup&) = delete;

 private:
  friend class AutoResetEvent;
  friend int WaitAny(std::initializer_list<class AutoResetEvent*> events, int timeoutMs);
  std::mutex mutex_;
  std::condition_variable changed_;
};

class AutoResetEvent {
 public:
  explicit AutoResetEvent(EventGroup& group) : group_(group) {}
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  void Reset();
  // Waits until signalled (consuming the signal) or until timeoutMs have passed;
  // kInfinite waits without limit. Returns true when the signal was consumed.
  bool Wait(int timeoutMs);
  // True when signalled; does not consume. For tests and diagnostics only.
  bool IsSet() const;

 private:
  friend int WaitAny(std::initializer_list<AutoResetEvent*> events, int timeoutMs);
  EventGroup& group_;
  bool signalled_ = false;  // guarded by group_.mutex_
};

// Waits for any of up to eight events of one group. Returns the index (in the
// list) of the event whose signal was consumed, or kWaitTimeout.
int WaitAny(std::initializer_list<AutoResetEvent*> events, int timeoutMs);

}  // namespace qs
