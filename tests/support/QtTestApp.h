#pragma once
// One QApplication for a whole test program, made before the first test and
// destroyed after the last. GoogleTest's own main() is linked, so the
// application comes from a global test environment. Tests run off screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>
#include <memory>

namespace qs::test {

class QtTestApp final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "quellscope-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kQtTestApp = ::testing::AddGlobalTestEnvironment(new QtTestApp);

// Runs the event loop of the calling (user-interface) thread until done() holds
// or timeoutMs pass; true when done() held.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// Runs the events queued so far, and those they queue, for about ms.
inline void ProcessEventsFor(int ms) {
  ProcessEventsUntil([] { return false; }, ms);
}

}  // namespace qs::test
