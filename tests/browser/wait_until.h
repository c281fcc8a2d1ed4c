#pragma once

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace mevra::browser::test {

// Runs the event loop until `done` holds or `timeout_ms` passed; says whether it holds.
// Unlike a wait that sleeps between rounds of events, the loop stays awake, which the engine's
// many small steps per page load need to finish quickly.
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 20000) {
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
