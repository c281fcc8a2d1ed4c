#pragma once

// How the app and browser tests, and the benchmarks that drive the window, wait for a condition.
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace mevra::browser::test {

// Runs the event loop until `done` holds or `timeout_ms` passed; says whether it holds.
// Unlike a wait that sleeps between rounds of events (QTest::qWaitFor sleeps the thread), the
// loop stays awake, which the engine's many small steps per page load need to finish quickly;
// unlike spinning processEvents, it leaves the CPU to the engine's processes meanwhile.
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 30000) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start(5);
  deadline.start(timeout_ms);
  loop.exec();
  return done();
}

}  // namespace mevra::browser::test
