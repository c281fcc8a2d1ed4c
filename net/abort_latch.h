#pragma once

#include <mutex>
#include <vector>

namespace mevra::net {

// Lets another thread end a connection's blocking calls at once. The connection's socket is
// attached while it is open (while a connect tries several addresses, each attempt's socket);
// tripping the latch shuts it down both ways, which wakes a wait for data, a receive, a send and a
// connect in progress, and refuses every socket attached later. The descriptor is shut down only
// under the lock that its owner takes to detach it before closing, so a number the system has
// already handed to another socket is never touched.
class AbortLatch {
 public:
  // Thread-safe; later calls do nothing more.
  void Trip();
  bool Tripped() const;

  // Called by the socket's owner right after it got the descriptor: false, and nothing attached,
  // when the latch is tripped already.
  bool Attach(int descriptor);
  // Called by the socket's owner right before it closes the descriptor.
  void Detach(int descriptor);

 private:
  mutable std::mutex lock_;
  bool tripped_ = false;
  std::vector<int> descriptors_;
};

}  // namespace mevra::net
