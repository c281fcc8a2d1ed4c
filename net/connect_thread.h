#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

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
  std::thread thread_;
};

}  // namespace mevra::net
