#pragma once
// The hand-off from worker threads to the user-interface thread. Workers never
// touch a window: they either run a short step on the user-interface thread and
// wait for it (Synchronize), or leave a request there and carry on (Post).
//
// Rules for callers: never call Synchronize while holding a lock; the step runs
// while the worker waits, and the user-interface thread may need that lock.
//
// At exit the owner calls Shutdown() on the user-interface thread before it joins
// the workers. From then on Synchronize returns false at once without running
// its step, so a worker can never block the exit or run a step on a window that
// is being destroyed; posted requests are dropped.
#include <functional>

namespace qs {

class UiBridge {
 public:
  virtual ~UiBridge() = default;
  // Runs step on the user-interface thread and returns when it has run (true),
  // or returns false without running it once the bridge is shut down. Called on
  // the user-interface thread itself, the step runs at once.
  virtual bool Synchronize(const std::function<void()>& step) = 0;
  // Queues step to run later on the user-interface thread.
  virtual void Post(std::function<void()> step) = 0;
  virtual void Shutdown() = 0;
  virtual bool IsShutDown() const = 0;
};

}  // namespace qs
