#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/connect_race.h"

namespace mevra::net {

// Connects one socket on a thread of its own so the caller can keep pumping messages and give up
// after a time limit. Stop wakes the pending connect; the socket itself is closed by the owner
// only after Join, so the descriptor can never be reused under the thread.
class ConnectThread {
 public:
  ConnectThread(int descriptor, std::string address, int32_t port);
  // Stops and joins a thread still running: it never outlives this object.
  ~ConnectThread();
  ConnectThread(const ConnectThread&) = delete;
  ConnectThread& operator=(const ConnectThread&) = delete;

  // Whether a race can run here: only one that Stop can wake ends in time.
  bool CanRace() const { return wake_descriptor_ >= 0; }
  // The thread runs `race` (its first attempt on this thread's socket) instead of one connect;
  // set before Start.
  void SetRace(std::unique_ptr<ConnectRace> race) { race_ = std::move(race); }
  // The race after a successful run, to take its winner from; null without one.
  ConnectRace* Race() const { return race_.get(); }

  void Start();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // Waits up to `ms` for the thread to finish; true when it has.
  bool WaitFinished(int32_t ms);
  // The failed connect's error message; read only after Finished.
  const std::string& FailureText() const { return failure_text_; }
  bool Stopped() const { return stopped_; }
  // Asks the pending connect to give up; the thread then ends without a failure text.
  void Stop();
  void Join();

 private:
  void Run();

  int descriptor_;
  std::string address_;
  int32_t port_;
  int wake_descriptor_ = -1;
  std::string failure_text_;
  bool stopped_ = false;
  std::atomic<bool> finished_{false};
  std::mutex finish_lock_;
  std::condition_variable finish_signal_;
  // Declared before the thread, so that the thread is joined before the race goes.
  std::unique_ptr<ConnectRace> race_;
  std::thread thread_;
};

}  // namespace mevra::net
