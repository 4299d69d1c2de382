#pragma once
// The production UiBridge: steps from worker threads run on the thread that
// owns this object (the user-interface thread) through Qt's event queue.
//
// Synchronize does not use a blocking queued connection: a worker blocked in
// one at exit would wait for an event loop that no longer runs. Instead the
// worker queues an ordinary event and waits on its own condition variable,
// which Shutdown() wakes. The bookkeeping lives in a shared block that the
// queued steps keep alive, so neither side ever touches freed memory whatever
// the order in which the bridge, the events and the waiters go away.
#include <QObject>
#include <memory>

#include "platform/UiBridge.h"

namespace qs {

class QtUiBridge final : public QObject, public UiBridge {
  Q_OBJECT

 public:
  // Create on the user-interface thread.
  explicit QtUiBridge(QObject* parent = nullptr);
  // Shuts the bridge down: steps still queued are dropped, waiters released.
  ~QtUiBridge() override;

  bool Synchronize(const std::function<void()>& step) override;
  void Post(std::function<void()> step) override;
  // Call on the user-interface thread.
  void Shutdown() override;
  bool IsShutDown() const override;

 private:
  struct Shared;
  bool OnUiThread() const;

  std::shared_ptr<Shared> shared_;
};

}  // namespace qs
