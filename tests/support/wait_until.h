#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace mevra::test {

// Polls `done` until it holds or `limit` has passed; says whether it holds. For tests without an
// event loop: the condition is set by another thread (a server's, a worker's).
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace mevra::test
