#pragma once
// Base of every worker thread: one Execute() body on its own thread, a
// terminate request the body polls, and the two hand-offs to the
// user-interface thread.
//
// Life: Start() runs Execute() once. Terminate() only asks; the body notices at
// its next check of Terminated(). A derived class must call TerminateAndJoin()
// (after waking its body, if it waits on an event) in its own destructor, so the
// body never runs on a half-destroyed object; the base destructor joins as a
// last guard.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/UiBridge.h"

namespace qs {

enum class ThreadPriority { Normal, AboveNormal };

class WorkerThread {
 public:
  WorkerThread(UiBridge& ui, ThreadPriority priority);
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void Start();
  void Terminate() noexcept {
    terminated_.store(true, std::memory_order_release);
    WakeForTermination();
  }
  bool Terminated() const noexcept { return terminated_.load(std::memory_order_acquire); }
  // Waits up to timeoutMs for Execute() to return; true when it has.
  bool WaitFor(int timeoutMs);
  bool Finished() const;
  // Requests termination and waits, without limit, for the body to end.
  void TerminateAndJoin();

 protected:
  virtual void Execute() = 0;
  // Called by Terminate(): a body that waits with a time-out may wake itself
  // here so that it notices at once rather than at its next time-out.
  virtual void WakeForTermination() noexcept {}
  // Runs step on the user-interface thread and waits for it; false when the
  // program is shutting down and the step did not run.
  bool Synchronize(const std::function<void()>& step) { return ui_.Synchronize(step); }
  void Post(std::function<void()> step) { ui_.Post(std::move(step)); }
  static void Sleep(int ms);
  UiBridge& Ui() { return ui_; }

 private:
  void Body();

  UiBridge& ui_;
  ThreadPriority priority_;
  std::atomic<bool> terminated_{false};
  mutable std::mutex doneMutex_;
  std::condition_variable doneChanged_;
  bool finished_ = false;
  std::thread thread_;
};

}  // namespace qs
