#include "net/managed_buffer.h"

#include "net/limits.h"

namespace mevra::net {

void ManagedBuffer::Consume(int64_t count) {
  CheckAvailable(count);
  if (count == Size()) {
    Empty();
  } else {
    consumed_ += count;
    if (consumed_ >= kCompactThreshold) {
      storage_.erase(0, static_cast<size_t>(consumed_));
      storage_.shrink_to_fit();
      consumed_ = 0;
    }
  }
  FireConsumeHook(count);
}

}  // namespace mevra::net
