#include "platform/WorkerThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

namespace qs {

WorkerThread::WorkerThread(UiBridge& ui, ThreadPriority priority) : ui_(ui), priority_(priority) {}

WorkerThread::~WorkerThread() {
  Terminate();
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Body(); });
}

void WorkerThread::Body() {
  if (priority_ == ThreadPriority::AboveNormal) {
    // One step above normal, best effort: an unprivileged process may not raise
    // its priority, and the link still works at normal priority.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, tid, -1);
  }
  Execute();
  std::lock_guard lock(doneMutex_);
  finished_ = true;
  doneChanged_.notify_all();
}

bool WorkerThread::WaitFor(int timeoutMs) {
  std::unique_lock lock(doneMutex_);
  return doneChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return finished_; });
}

bool WorkerThread::Finished() const {
  std::lock_guard lock(doneMutex_);
  return finished_;
}

void WorkerThread::TerminateAndJoin() {
  Terminate();
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace qs
