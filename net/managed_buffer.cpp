#include "net/managed_buffer.h"

#include "net/limits.h"

namespace mevra::net {

void ManagedBuffer::Consume(int64_t count) {
  CheckAvailable(count);
  if (count == Size()) {
    Drained();
  } else {
    consumed_ += count;
    if (consumed_ >= kCompactThreshold) Compact();
  }
  FireConsumeHook(count);
}

}  // namespace mevra::net
