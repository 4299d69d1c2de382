#include "display/DrawThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/QueuedUiBridge.h"

namespace qs {
namespace {

class RecordingHandlers final : public DrawHandlers {
 public:
  void Handle(const DrawRequest& r) override {
    if (blockFirst && handled.empty()) {
      entered.Set();
      release.Wait(kInfinite);
    }
    std::lock_guard lock(mutex);
    handled.push_back(r);
  }
  std::vector<DrawRequest> Seen() {
    std::lock_guard lock(mutex);
    return handled;
  }
  EventGroup group;
  AutoResetEvent entered{group}, release{group};
  bool blockFirst = false;
  std::mutex mutex;
  std::vector<DrawRequest> handled;
};

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

TEST(DrawThread, HandlesEveryRequestOfOneWakeUpInArrivalOrder) {
  AppCore core;
  QueuedUiBridge ui;
  RecordingHandlers handlers;
  TDrawThread thread(core, ui, &handlers);
  thread.Start();
  core.drawQueue.Push({NextHour, 0, 0});
  core.drawQueue.Push({PrevHour, 0, 0});
  core.drawQueue.Push({WaveSecond, 5, 4});
  ASSERT_TRUE(WaitUntil([&] { return thread.Handled() == 3; }));
  const auto seen = handlers.Seen();
  EXPECT_EQ(seen, (std::vector<DrawRequest>{{NextHour, 0, 0}, {PrevHour, 0, 0}, {WaveSecond, 5, 4}}));
  EXPECT_EQ(core.drawQueue.Size(), 0u) << "each request leaves the queue after its handler";
}

TEST(DrawThread, StopWithAFullQueueEndsAfterTheRequestInProgress) {
  AppCore core;
  QueuedUiBridge ui;
  RecordingHandlers handlers;
  handlers.blockFirst = true;
  TDrawThread thread(core, ui, &handlers);
  thread.Start();
  for (int i = 0; i < 5; ++i) core.drawQueue.Push({WaveSecond, i, 0});
  ASSERT_TRUE(handlers.entered.Wait(5000));
  thread.Stop();
  handlers.release.Set();
  ASSERT_TRUE(thread.WaitFor(2000));
  EXPECT_EQ(handlers.Seen().size(), 1u);
  EXPECT_EQ(core.drawQueue.Size(), 4u) << "requests queued after the stop are never handled";
}

}  // namespace
}  // namespace qs
