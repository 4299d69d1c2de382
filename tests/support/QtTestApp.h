#pragma once
// One QApplication for a whole test program, and the event loop run from a
// test.
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

#include "support/TestAppEnvironment.h"

namespace qs::test {

inline ::testing::Environment* const kQtTestApp =
    ::testing::AddGlobalTestEnvironment(new TestAppEnvironment<QApplication>);

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
