#include "net/abort_latch.h"

#include <sys/socket.h>

namespace mevra::net {

void AbortLatch::Trip() {
  std::lock_guard lock(lock_);
  if (tripped_) return;
  tripped_ = true;
  // Plain shutdown, not the stack's: the stack keeps a per-thread error code that this thread's
  // own socket calls may be about to read.
  if (descriptor_ >= 0) ::shutdown(descriptor_, SHUT_RDWR);
}

bool AbortLatch::Tripped() const {
  std::lock_guard lock(lock_);
  return tripped_;
}

bool AbortLatch::Attach(int descriptor) {
  std::lock_guard lock(lock_);
  if (tripped_) return false;
  descriptor_ = descriptor;
  return true;
}

void AbortLatch::Detach(int descriptor) {
  std::lock_guard lock(lock_);
  if (descriptor_ == descriptor) descriptor_ = -1;
}

}  // namespace mevra::net
