#include "net/abort_latch.h"

#include <algorithm>

#include <sys/socket.h>

namespace mevra::net {

void AbortLatch::Trip() {
  std::lock_guard lock(lock_);
  if (tripped_) return;
  tripped_ = true;
  // Plain shutdown, not the stack's: the stack keeps a per-thread error code that this thread's
  // own socket calls may be about to read.
  for (const int descriptor : descriptors_) ::shutdown(descriptor, SHUT_RDWR);
}

bool AbortLatch::Tripped() const {
  std::lock_guard lock(lock_);
  return tripped_;
}

bool AbortLatch::Attach(int descriptor) {
  std::lock_guard lock(lock_);
  if (tripped_) return false;
  descriptors_.push_back(descriptor);
  return true;
}

void AbortLatch::Detach(int descriptor) {
  std::lock_guard lock(lock_);
  std::erase(descriptors_, descriptor);
}

}  // namespace mevra::net
