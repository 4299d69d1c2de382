#include "platform/QtUiBridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace qs {

// Everything a queued step and a waiting worker share. Queued steps and
// Shutdown() both run on the user-interface thread, so they never interleave;
// the mutex orders them against the waiters.
struct QtUiBridge::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  bool shutDown = false;
};

namespace {

// The progress of one Synchronize call, guarded by Shared::mutex.
struct PendingCall {
  bool running = false;  // the step has begun: its waiter must stay until it is done
  bool done = false;
};

}  // namespace

QtUiBridge::QtUiBridge(QObject* parent) : QObject(parent), shared_(std::make_shared<Shared>()) {}

QtUiBridge::~QtUiBridge() {
  Shutdown();
}

bool QtUiBridge::OnUiThread() const {
  return QThread::currentThread() == thread();
}

bool QtUiBridge::Synchronize(const std::function<void()>& step) {
  if (OnUiThread()) {
    if (IsShutDown()) return false;
    step();
    return true;
  }

  const std::shared_ptr<Shared> shared = shared_;
  const auto call = std::make_shared<PendingCall>();
  {
    std::lock_guard lock(shared->mutex);
    if (shared->shutDown) return false;
  }
  // The queued step refers to the caller's function without copying it. That
  // is safe because it only runs the function after marking the call as
  // running, and from then on the caller waits for it to finish.
  const std::function<void()>* callerStep = &step;
  QMetaObject::invokeMethod(
      this,
      [shared, call, callerStep] {
        {
          std::lock_guard lock(shared->mutex);
          if (shared->shutDown) return;  // the waiter has been released without the step
          call->running = true;
        }
        // Marks the call done even if the step throws, so the waiter never hangs.
        struct DoneOnExit {
          Shared& s;
          PendingCall& c;
          ~DoneOnExit() {
            {
              std::lock_guard lock(s.mutex);
              c.done = true;
            }
            s.changed.notify_all();
          }
        } doneOnExit{*shared, *call};
        (*callerStep)();  // without the lock: the step may post or synchronize itself
      },
      Qt::QueuedConnection);

  std::unique_lock lock(shared->mutex);
  shared->changed.wait(lock, [&] { return call->done || (shared->shutDown && !call->running); });
  return call->done;
}

void QtUiBridge::Post(std::function<void()> step) {
  const std::shared_ptr<Shared> shared = shared_;
  {
    std::lock_guard lock(shared->mutex);
    if (shared->shutDown) return;
  }
  QMetaObject::invokeMethod(
      this,
      [shared, step = std::move(step)] {
        {
          std::lock_guard lock(shared->mutex);
          if (shared->shutDown) return;
        }
        step();
      },
      Qt::QueuedConnection);
}

void QtUiBridge::Shutdown() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->shutDown = true;
  }
  shared_->changed.notify_all();
  // Free the steps still queued now; one that a worker queues after this point
  // finds the flag set and does nothing.
  QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

bool QtUiBridge::IsShutDown() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->shutDown;
}

}  // namespace qs
